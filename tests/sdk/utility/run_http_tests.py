#!/usr/bin/env python3
"""Runs the download engine's tests under Wine against real servers that it starts and stops itself.

Usage: run_http_tests.py --build BUILD_DIR --exe test_http_request_manager.exe --trust-tool trust_test_ca.exe
                         [gtest args...]
nginx (Debian's) serves a generated folder on 127.0.0.1:80, the engine's no-port path, and over TLS on 443
with a certificate of a throw-away authority (tools/nginx/test_ca.py) that only the build tree's Wine prefix
trusts; below /to-https/ its port 80 redirects to 443. The fault server (tools/fault_server.py) listens on a
free port, which test URLs name so that the engine uses it as its proxy. Both servers are stopped afterwards,
also when the run fails. Needs root for ports 80 and 443.
"""
import argparse
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools"))
sys.path.insert(0, os.path.join(ROOT, "tools", "nginx"))

from fault_server import FaultServer, pattern  # noqa: E402
from nginx_server import NginxServer  # noqa: E402
from test_ca import ensure_test_ca  # noqa: E402

FILE_SIZE = 300000  # kFileSize of the test program


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--exe", required=True)
    ap.add_argument("--trust-tool", required=True)
    opts, rest = ap.parse_known_args()
    work = os.path.join(os.path.abspath(opts.build), "http-test")
    www = os.path.join(work, "www")
    os.makedirs(os.path.join(www, "files"), exist_ok=True)
    with open(os.path.join(www, "files", "pattern.bin"), "wb") as f:
        f.write(pattern(0, FILE_SIZE))

    env = dict(os.environ)
    for name in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
                 "no_proxy", "NO_PROXY"):
        env.pop(name, None)
    wine_run = os.path.join(ROOT, "tools", "wine-run.sh")
    ca = ensure_test_ca(opts.build)
    trust = subprocess.run([wine_run, "--build", opts.build, opts.trust_tool, "Z:" + ca.ca_der.replace("/", "\\")],
                           env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, text=True)
    if trust.returncode != 0:
        print("==> the test authority could not be trusted in the prefix: %s" % trust.stdout.strip(), flush=True)
        return 1
    with NginxServer(www, os.path.join(work, "nginx"), port=80, tls=(ca.cert, ca.key), redirect="/to-https/"), \
            FaultServer(ports=[0]) as fault:
        cmd = [wine_run, "--build", opts.build, opts.exe, "--fault-port=%d" % fault.ports[0]] + rest
        print("==> " + " ".join(cmd), flush=True)
        rc = subprocess.call(cmd, env=env, stdin=subprocess.DEVNULL)
    return 1 if rc != 0 else 0


if __name__ == "__main__":
    sys.exit(main())
