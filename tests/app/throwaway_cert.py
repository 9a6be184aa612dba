"""A throw-away code-signing certificate for the signing checks (check_signing.py, check_reproducible.py):
self-signed, valid for two days, made with openssl in a folder of the caller's."""
import os
import shutil
import subprocess


def missing_tools():
    """Text naming the signing tools that are not installed, or ""."""
    missing = [tool for tool in ("openssl", "osslsigncode") if shutil.which(tool) is None]
    return "%s not installed (tools/setup.sh installs them)" % ", ".join(missing) if missing else ""


def make_certificate(folder, name="signer"):
    """(certificate, key) PEM files in folder."""
    cert, key = os.path.join(folder, name + ".pem"), os.path.join(folder, name + ".key")
    p = subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                        "-days", "2", "-subj", "/CN=Veltara throw-away test signer " + name,
                        "-addext", "extendedKeyUsage=codeSigning", "-addext", "keyUsage=digitalSignature"],
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if p.returncode != 0:
        raise RuntimeError("openssl could not make a certificate:\n" + p.stdout)
    return cert, key
