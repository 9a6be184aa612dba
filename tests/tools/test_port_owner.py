#!/usr/bin/env python3
"""Tests of tools/nginx/port_owner.py: a server is started on a port only when the port is free or ours.

Runs on a free high port, so it needs neither root nor port 80.
"""
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools", "nginx"))

from nginx_server import NginxServer, find_nginx  # noqa: E402
from port_owner import PortTakenError, claim_port, listeners  # noqa: E402

NGINX_SERVER = os.path.join(ROOT, "tools", "nginx", "nginx_server.py")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_listening(port, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if listeners(port):
            return True
        time.sleep(0.05)
    return False


class PortOwnerTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.procs = []

    def tearDown(self):
        for p in self.procs:
            if p.poll() is None:
                p.kill()
                p.wait()
        self.tmp.cleanup()

    def stranger(self, port):
        """A program that is none of ours listening on the port."""
        code = "import socket,time;s=socket.socket();s.bind(('127.0.0.1',%d));s.listen();time.sleep(60)" % port
        p = subprocess.Popen([sys.executable, "-c", code])
        self.procs.append(p)
        self.assertTrue(wait_listening(port))
        return p

    def leftover_nginx(self, port):
        """An nginx of ours whose starter was killed: a leftover of an interrupted run."""
        ready = os.path.join(self.tmp.name, "ready")
        starter = subprocess.Popen([sys.executable, NGINX_SERVER, "--root", self.tmp.name, "--prefix",
                                    os.path.join(self.tmp.name, "ng"), "--port", str(port), "--ready-file", ready],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.procs.append(starter)
        deadline = time.monotonic() + 20
        while not os.path.exists(ready) and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertTrue(os.path.exists(ready))
        held = listeners(port)
        starter.send_signal(signal.SIGKILL)
        starter.wait()
        return held

    def test_claiming_a_port(self):
        if not find_nginx():
            self.skipTest("nginx is not installed")
        # case, what holds the port, claim succeeds, the holder is still there afterwards
        rows = [
            ("free port", None, True, False),
            ("stranger", self.stranger, False, True),
            ("leftover nginx of ours", self.leftover_nginx, True, False),
        ]
        for case, setup, ok, kept in rows:
            with self.subTest(case):
                port = free_port()
                if setup:
                    setup(port)
                holders = listeners(port)
                if ok:
                    claim_port(port, wait=10)
                    self.assertEqual(listeners(port), [])
                else:
                    with self.assertRaises(PortTakenError) as raised:
                        claim_port(port, wait=10)
                    self.assertIn("port %d" % port, str(raised.exception))
                self.assertEqual(bool(holders) and listeners(port) == holders, kept)

    def test_nginx_refuses_to_start_beside_a_stranger(self):
        if not find_nginx():
            self.skipTest("nginx is not installed")
        port = free_port()
        self.stranger(port)
        started = time.monotonic()
        with self.assertRaises(PortTakenError) as raised:
            NginxServer(self.tmp.name, os.path.join(self.tmp.name, "ng"), port=port).start(wait_for_port=30)
        self.assertLess(time.monotonic() - started, 5)  # at once, not after the wait for a server of ours
        self.assertIn("port %d" % port, str(raised.exception))


if __name__ == "__main__":
    unittest.main()
