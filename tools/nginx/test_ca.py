#!/usr/bin/env python3
"""A throw-away certificate authority for the TLS tests: made once per build tree with openssl, trusted only
inside that tree's Wine prefix, never by the machine.

Usage as a module (from a test driver):
    from test_ca import ensure_test_ca, trust_in_prefix
    ca = ensure_test_ca(build_dir)          # ca.ca_der, ca.ca_pem, ca.cert, ca.key (files under BUILD/test-ca)
    trust_in_prefix(ca, trust_tool_exe, env) # adds the authority to the prefix's Root store (Wine's crypt32)
Usage as a program:
    test_ca.py BUILD_DIR                    # makes the files if missing and prints their folder

The server certificate names only the address 127.0.0.1 (no other host name), so that a request for
"localhost" meets a certificate for another name. Both are valid for 30 days; a folder older than 20 days is made anew.
"""
import collections
import os
import shutil
import subprocess
import sys
import time

TestCa = collections.namedtuple("TestCa", "folder ca_der ca_pem cert key")
MAX_AGE_S = 20 * 86400


def _run(args, cwd):
    p = subprocess.run(args, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if p.returncode != 0:
        raise RuntimeError("openssl failed: %s\n%s" % (" ".join(args), p.stdout))


def ensure_test_ca(build_dir):
    folder = os.path.join(os.path.abspath(build_dir), "test-ca")
    ca = TestCa(folder, *(os.path.join(folder, n) for n in ("ca.der", "ca.pem", "server.pem", "server.key")))
    if all(os.path.exists(p) for p in ca[1:]) and time.time() - os.path.getmtime(ca.cert) < MAX_AGE_S:
        return ca
    if shutil.which("openssl") is None:
        raise RuntimeError("openssl is not installed (tools/setup.sh installs it)")
    work = folder + ".tmp"
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    _run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem",
          "-days", "30", "-subj", "/CN=Veltara throw-away test authority",
          "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign"], work)
    _run(["openssl", "x509", "-in", "ca.pem", "-outform", "DER", "-out", "ca.der"], work)
    _run(["openssl", "req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out", "server.csr",
          "-subj", "/CN=127.0.0.1"], work)
    with open(os.path.join(work, "server.ext"), "w") as f:
        # Windows matches an address host against the IP entry; Wine's crypt32 only against name entries.
        f.write("subjectAltName=IP:127.0.0.1,DNS:127.0.0.1\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n")
    _run(["openssl", "x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
          "-days", "30", "-sha256", "-extfile", "server.ext", "-out", "server.pem"], work)
    shutil.rmtree(folder, ignore_errors=True)
    os.replace(work, folder)
    return ca


def trust_in_prefix(ca, trust_tool, env):
    """Adds the authority to the Root store of the Wine prefix that env names (WINEPREFIX)."""
    p = subprocess.run(["wine", trust_tool, "Z:" + ca.ca_der.replace("/", "\\")], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    if p.returncode != 0:
        raise RuntimeError("the test authority could not be added to the prefix: %s" % p.stdout.strip())


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print("usage: test_ca.py BUILD_DIR", file=sys.stderr)
        sys.exit(2)
    print(ensure_test_ca(sys.argv[1]).folder)
