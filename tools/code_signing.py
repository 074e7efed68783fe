"""Authenticode signing of the released updater with osslsigncode.

The certificate is a PKCS#12 file (.pfx) holding the signer's certificate,
its private key and, usually, the chain above it. It is checked before
anything is built: readable, the password right, a private key in it, the
certificate valid now and meant for code signing. The signed file is then
read back with osslsigncode verify against the certificate's own chain (the
certificates in the file, and the system's roots for a chain that ends in
one of them); the signer named there is what the release reports.
"""
import re
import ssl
import subprocess
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path

from whole_file import read_named

DESCRIPTION = "Zelmoria updater"
SYSTEM_ROOTS = Path("/etc/ssl/certs/ca-certificates.crt")


class SigningError(Exception):
    pass


@dataclass
class SigningKey:
    path: Path
    password_file: Path | None
    chain: bytes  # every certificate in the file, PEM


@dataclass
class Signature:
    subject: str
    expires: str


def _run(command):
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)


def _pkcs12(key_path, password_file, *options):
    """openssl pkcs12 on the certificate file, its output in PEM."""
    password = f"file:{password_file}" if password_file else "pass:"
    return _run(["openssl", "pkcs12", "-in", str(key_path), "-passin", password, *options])


def _refusal(shown, output):
    if re.search(r"mac verify failure|invalid password|bad decrypt", output, re.IGNORECASE):
        return SigningError(f"the password for the certificate {shown} is wrong")
    # OpenSSL's error lines end in the reason: "...:error:code:library:function:reason:file:line:".
    reasons = re.findall(r":error:[0-9A-F]+:[^:]*:[^:]*:([^:]+)", output)
    return SigningError(f"the certificate {shown} is not a PKCS#12 (.pfx) file that can be read"
                        + (f" ({reasons[0]})" if reasons else ""))


def read_key(path, password_file=None):
    """The SigningKey for the certificate file; SigningError when it cannot
    sign code now."""
    read_named(path, "certificate", SigningError)
    if password_file:
        read_named(password_file, "password file", SigningError)
    key_path, password = Path(path), Path(password_file) if password_file else None
    private_key = _pkcs12(key_path, password, "-nocerts", "-nodes")
    if private_key.returncode != 0:
        raise _refusal(path, private_key.stdout)
    if "PRIVATE KEY" not in private_key.stdout:
        raise SigningError(f"the certificate file {path} holds no private key: export it with its key")
    # The signer's own certificate is the one that belongs to the key.
    certificate = _pkcs12(key_path, password, "-nokeys", "-clcerts")
    if "BEGIN CERTIFICATE" not in certificate.stdout:
        raise SigningError(f"the certificate file {path} holds no certificate for its private key")
    _check_use(path, certificate.stdout)
    chain = _pkcs12(key_path, password, "-nokeys")
    return SigningKey(key_path, password, chain.stdout.encode())


def _check_use(shown, certificate):
    """SigningError when the certificate is outside its validity or not
    meant for code signing."""
    def x509(*options):
        return subprocess.run(["openssl", "x509", "-noout", *options], input=certificate,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True).stdout

    dates = dict(re.findall(r"(notBefore|notAfter)=(.*)", x509("-startdate", "-enddate")))
    if ssl.cert_time_to_seconds(dates["notAfter"]) <= time.time():
        raise SigningError(f"the certificate {shown} expired on {dates['notAfter']}")
    if ssl.cert_time_to_seconds(dates["notBefore"]) > time.time():
        raise SigningError(f"the certificate {shown} is valid only from {dates['notBefore']}")
    uses = x509("-ext", "keyUsage,extendedKeyUsage")
    for heading, needed in (("Extended Key Usage", "Code Signing"), ("Key Usage", "Digital Signature")):
        listed = re.search(rf"X509v3 {heading}:.*\n\s*(.*)", uses)
        if listed and needed not in listed.group(1):
            raise SigningError(f"the certificate {shown} is not valid for code signing "
                               f"({heading.lower()}: {listed.group(1).strip()})")


def sign(key, unsigned, signed, url=None, timestamp_url=None):
    """Signs the file: Authenticode, SHA-256 digest, the updater's
    description and the product URL; a time stamp from the server given."""
    command = ["osslsigncode", "sign", "-pkcs12", str(key.path), "-h", "sha256", "-n", DESCRIPTION]
    command += ["-readpass", str(key.password_file)] if key.password_file else ["-pass", ""]
    if url:
        command += ["-i", url]
    if timestamp_url:
        command += ["-ts", timestamp_url]
    Path(signed).unlink(missing_ok=True)
    done = _run(command + ["-in", str(unsigned), "-out", str(signed)])
    if done.returncode != 0:
        raise SigningError(f"osslsigncode could not sign the updater:\n{done.stdout.strip()}")


def verify(key, signed):
    """The Signature that osslsigncode reads back from the signed file;
    SigningError when it does not verify."""
    with tempfile.NamedTemporaryFile(prefix="zelmoria-chain-", suffix=".pem") as chain:
        chain.write(key.chain)
        if SYSTEM_ROOTS.exists():
            chain.write(SYSTEM_ROOTS.read_bytes())
        chain.flush()
        done = _run(["osslsigncode", "verify", "-in", str(signed), "-CAfile", chain.name])
    signer = re.search(r"Signer's certificate:.*?Subject: (.*?)\n.*?notAfter : (.*?)\n", done.stdout, re.DOTALL)
    if done.returncode != 0 or "Signature verification: ok" not in done.stdout or not signer:
        if "MISMATCH" in done.stdout:
            raise SigningError("the signed updater does not verify: its contents do not match the signed digest")
        reasons = [line.strip() for line in done.stdout.splitlines() if re.search(r"failed|error", line, re.I)]
        raise SigningError("the signed updater does not verify: " + ("; ".join(reasons) or done.stdout.strip()))
    return Signature(signer.group(1).strip(), signer.group(2).strip())


def remove_signature(signed, unsigned):
    """Writes the signed file without its signature."""
    Path(unsigned).unlink(missing_ok=True)
    done = _run(["osslsigncode", "remove-signature", "-in", str(signed), "-out", str(unsigned)])
    if done.returncode != 0:
        raise SigningError(f"osslsigncode could not remove the signature again:\n{done.stdout.strip()}")
