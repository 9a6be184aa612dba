#!/usr/bin/env python3
"""Makes sure that a local TCP port is free, or held only by a server of our own, before a server is started.

Usage as a module:
    from port_owner import claim_port, PortTakenError
    claim_port(80)          # returns when the port is free; raises PortTakenError naming the port otherwise
Usage as a program (exit code 0 when the port can be used, 1 otherwise, with the reason on stderr):
    port_owner.py [--wait SECONDS] PORT

A listener on the port is "ours" when it is an nginx started from tools/nginx/nginx.conf.in or a Python process
running one of our server scripts or test drivers. An nginx of ours whose starter (one of those Python
programs) is gone is a leftover of an interrupted run and is stopped by its process id; any other server of
ours belongs to a run in progress, so claim_port waits for it (up to the given time) and then gives up. Anything else
holding the port is a stranger: claim_port gives up at once, naming the port and the program, so that nobody
mistakes the stranger's answers for ours. Listeners are found through /proc (root sees every process).
"""
import argparse
import os
import signal
import socket
import sys
import time

# The first line that tools/nginx/nginx_server.py writes into every configuration it makes.
CONFIG_MARKER = "# nginx configuration template"
OUR_SCRIPTS = ("nginx_server.py", "fault_server.py", "run_http_tests.py", "run_e2e.py", "bench_install.py")


class PortTakenError(RuntimeError):
    pass


def _listening_inodes(port):
    inodes = set()
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        try:
            with open(table) as f:
                next(f)
                for line in f:
                    fields = line.split()
                    local, state, inode = fields[1], fields[3], fields[9]
                    if state == "0A" and int(local.rsplit(":", 1)[1], 16) == port:
                        inodes.add(inode)
        except OSError:
            pass
    return inodes


def listeners(port):
    """Process ids that hold a listening socket on the port (any address)."""
    inodes = _listening_inodes(port)
    if not inodes:
        return []
    wanted = {"socket:[%s]" % i for i in inodes}
    pids = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        fd_dir = "/proc/%s/fd" % pid
        try:
            for fd in os.listdir(fd_dir):
                try:
                    if os.readlink(os.path.join(fd_dir, fd)) in wanted:
                        pids.append(int(pid))
                        break
                except OSError:
                    continue
        except OSError:
            continue
    return pids


def _cmdline(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return [a.decode("utf-8", "replace") for a in f.read().split(b"\0") if a]
    except OSError:
        return []


def _parent(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return int(f.read().rsplit(")", 1)[1].split()[1])
    except (OSError, ValueError, IndexError):
        return 0


def _is_nginx(pid):
    args = _cmdline(pid)
    return bool(args) and os.path.basename(args[0]).startswith("nginx")


def is_ours(pid):
    args = _cmdline(pid)
    if not args:
        return False
    exe = os.path.basename(args[0])
    if exe.startswith("nginx"):
        conf = args[args.index("-c") + 1] if "-c" in args[:-1] else ""
        try:
            with open(conf) as f:
                return f.readline().startswith(CONFIG_MARKER)
        except OSError:
            return False
    if exe.startswith("python"):
        return any(os.path.basename(a) in OUR_SCRIPTS or os.path.basename(a).startswith(OUR_SCRIPTS) for a in args[1:])
    return False


def _answers(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.5):
            return True
    except OSError:
        return False


def describe(pid):
    return "pid %d: %s" % (pid, " ".join(_cmdline(pid)) or "?")


def claim_port(port, wait=60.0, log=None):
    """Returns once nothing listens on the port; stops leftovers of ours, waits for busy servers of ours."""
    deadline = time.monotonic() + wait
    told = False
    while True:
        pids = [p for p in listeners(port) if p != os.getpid()]
        if not pids and not _answers(port):
            return
        if not pids:
            raise PortTakenError("port %d on 127.0.0.1 answers, but its program cannot be seen; stop it and "
                                 "run again" % port)
        strangers = [p for p in pids if not is_ours(p)]
        if strangers:
            raise PortTakenError("port %d on 127.0.0.1 is held by another program (%s); stop it and run again"
                                 % (port, "; ".join(describe(p) for p in strangers)))
        leftovers = [p for p in pids if _is_nginx(p) and not is_ours(_parent(p))]
        for p in leftovers:
            if log:
                log("port %d: stopping a leftover server of ours (%s)" % (port, describe(p)))
            try:
                os.kill(p, signal.SIGTERM)
            except OSError:
                pass
        if not leftovers and not told and log:
            log("port %d: another run of ours serves there (%s); waiting for it" %
                (port, "; ".join(describe(p) for p in pids)))
            told = True
        if time.monotonic() > deadline:
            raise PortTakenError("port %d on 127.0.0.1 is still held by another run of ours after %.0f s (%s)"
                                 % (port, wait, "; ".join(describe(p) for p in pids)))
        time.sleep(0.2)


def main():
    ap = argparse.ArgumentParser(description="checks that a port is free or held only by a server of ours")
    ap.add_argument("port", type=int)
    ap.add_argument("--wait", type=float, default=60.0)
    opts = ap.parse_args()
    try:
        claim_port(opts.port, opts.wait, log=lambda m: print("port_owner: " + m, file=sys.stderr))
    except PortTakenError as e:
        print("port_owner: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
