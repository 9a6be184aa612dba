#!/usr/bin/env python3
"""Runs Debian's nginx on 127.0.0.1 serving one folder, with a private prefix (config, pid, logs, temp files).

Usage as a program (runs until SIGTERM or Ctrl-C):
    nginx_server.py --root DIR --prefix DIR [--port 80] [--limit-rate 125m] [--ready-file FILE]
Usage as a module (from a test driver or benchmark):
    from nginx_server import NginxServer
    with NginxServer(root, prefix, port=80, limit_rate="0"):
        ...
    with NginxServer(root, prefix, tls=(cert_pem, key_pem), redirect="all"):   # also TLS on 127.0.0.1:443
        ...
With tls, a second server answers TLS on tls_port (443) with the given certificate and key, serving the same
folder. redirect sends plain HTTP requests there: "all" answers every request on the plain port with a 301 to
the same path over https; a path prefix such as "/to-https/" does so only below it (the prefix is dropped).
The configuration is tools/nginx/nginx.conf.in with its @NAMES@ filled in; nothing of the system's nginx
configuration is read. The server runs as one foreground process and is stopped by the caller.
Before it starts, the port must be free or held only by a server of ours (tools/nginx/port_owner.py): a
stranger on the port is an error that names the port. Once started, the listener must be our nginx itself.
"""
import argparse
import os
import shutil
import signal
import socket
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TEMPLATE = os.path.join(HERE, "nginx.conf.in")
sys.path.insert(0, HERE)

from port_owner import PortTakenError, claim_port, listeners  # noqa: E402


def find_nginx():
    return shutil.which("nginx") or ("/usr/sbin/nginx" if os.path.exists("/usr/sbin/nginx") else None)


class NginxServer:
    def __init__(self, root, prefix, port=80, limit_rate="0", access_log=False, tls=None, tls_port=443,
                 redirect=None):
        self.root = os.path.abspath(root)
        self.prefix = os.path.abspath(prefix)
        self.port = int(port)
        self.limit_rate = str(limit_rate)
        self.access_log = access_log
        self.tls = tls
        self.tls_port = int(tls_port)
        self.redirect = redirect
        self.proc = None

    def _tls_server(self):
        if not self.tls:
            return ""
        cert, key = (os.path.abspath(p) for p in self.tls)
        return """    server {
        listen 127.0.0.1:%d ssl;
        server_name localhost;
        ssl_certificate %s;
        ssl_certificate_key %s;
        root %s;
        limit_rate %s;
        location / {
        }
    }""" % (self.tls_port, cert, key, self.root, self.limit_rate)

    def _redirect(self):
        target = "https://127.0.0.1%s" % ("" if self.tls_port == 443 else ":%d" % self.tls_port)
        if self.redirect == "all":
            return "return 301 %s$request_uri;" % target
        if self.redirect:
            prefix = self.redirect.rstrip("/")
            return "rewrite ^%s(/.*)$ %s$1 permanent;" % (prefix, target)
        return ""

    def _write_config(self):
        os.makedirs(os.path.join(self.prefix, "tmp"), exist_ok=True)
        with open(TEMPLATE) as f:
            text = f.read()
        values = {
            "PREFIX": self.prefix,
            "ROOT": self.root,
            "PORT": str(self.port),
            "LIMIT_RATE": self.limit_rate,
            "ACCESS_LOG": os.path.join(self.prefix, "access.log") if self.access_log else "off",
            "REDIRECT": self._redirect(),
            "TLS_SERVER": self._tls_server(),
        }
        for k, v in values.items():
            text = text.replace("@%s@" % k, v)
        path = os.path.join(self.prefix, "nginx.conf")
        with open(path, "w") as f:
            f.write(text)
        return path

    def start(self, timeout=10.0, wait_for_port=60.0):
        exe = find_nginx()
        if not exe:
            raise RuntimeError("nginx is not installed (Debian package nginx-light)")
        claim_port(self.port, wait_for_port, log=lambda m: print("nginx_server: " + m, file=sys.stderr))
        if self.tls:
            claim_port(self.tls_port, wait_for_port, log=lambda m: print("nginx_server: " + m, file=sys.stderr))
        conf = self._write_config()
        log = open(os.path.join(self.prefix, "stderr.log"), "w")
        # -e: the error log used before the configuration is read; -p: the prefix for relative paths.
        self.proc = subprocess.Popen([exe, "-p", self.prefix + "/", "-e", os.path.join(self.prefix, "error.log"),
                                      "-c", conf], stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        log.close()
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                raise RuntimeError("nginx exited (see %s/error.log and stderr.log)" % self.prefix)
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=0.2):
                    pass
            except OSError:
                time.sleep(0.02)
                continue
            holders = listeners(self.port)
            if holders and holders != [self.proc.pid]:
                self.stop()
                raise PortTakenError("port %d on 127.0.0.1 is answered by another program too (pids %s)"
                                     % (self.port, holders))
            return self
        self.stop()
        raise RuntimeError("nginx did not start listening on 127.0.0.1:%d" % self.port)

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


def main():
    ap = argparse.ArgumentParser(description="nginx serving a folder on 127.0.0.1 with a private prefix")
    ap.add_argument("--root", required=True)
    ap.add_argument("--prefix", required=True)
    ap.add_argument("--port", type=int, default=80)
    ap.add_argument("--limit-rate", default="0")
    ap.add_argument("--ready-file")
    opts = ap.parse_args()
    try:
        srv = NginxServer(opts.root, opts.prefix, opts.port, opts.limit_rate).start()
    except RuntimeError as e:  # PortTakenError among them
        print("nginx_server: %s" % e, file=sys.stderr, flush=True)
        return 1
    done = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: done.set())
    signal.signal(signal.SIGINT, lambda *_: done.set())
    print("nginx_server: serving %s on 127.0.0.1:%d" % (srv.root, srv.port), flush=True)
    if opts.ready_file:
        with open(opts.ready_file, "w") as f:
            f.write("%d\n" % srv.port)
    while not done.wait(0.5) and srv.proc.poll() is None:
        pass
    srv.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
