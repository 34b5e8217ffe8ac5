#!/usr/bin/env python3
"""Signs the release: every .exe and .dll of every archive in <unsigned>
gets an Authenticode signature (SHA-256, osslsigncode), and the archives are
written again into <output> with the same entries, order and times. Beside
them: their debug archives and bills of materials as they are, the signing
certificate (signing-certificate.pem) and SHA256SUMS of every file there.

    sign_archives.py <unsigned> <output>

The key: PRODUCT_SIGNING_PKCS12 names a PKCS#12 file, PRODUCT_SIGNING_PASSWORD
holds its password; PRODUCT_SIGNING_TIMESTAMP_URL, if set, names a time-stamp
server. Without PRODUCT_SIGNING_PKCS12 a throw-away code-signing certificate
is made on the spot and its key destroyed after signing; the archive with the
demo scripts then carries that certificate (demo-certificate.cer, and its
SHA-1 thumbprint in demo-certificate.sha1) for install-demo.cmd /trust."""
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile
from pathlib import Path

import releaselib as lib

SUMS = "SHA256SUMS"
CERTIFICATE = "signing-certificate.pem"
DEMO_SCRIPT = "install-demo.cmd"
DEMO_CERTIFICATE = "demo-certificate.cer"
DEMO_THUMBPRINT = "demo-certificate.sha1"


def run(args, what):
    proc = subprocess.run(args, capture_output=True, text=True)
    if proc.returncode != 0:
        lib.fail(f"{what}: {(proc.stdout + proc.stderr).strip()}")
    return proc.stdout


def throw_away_key(work):
    """A self-signed code-signing certificate valid for 30 days, as PKCS#12."""
    key, cert, p12, password = work / "key.pem", work / "cert.pem", work / "signing.p12", work / "password"
    password.write_text("throw-away\n")
    run(["openssl", "req", "-x509", "-newkey", "rsa:3072", "-nodes", "-sha256", "-days", "30",
         "-keyout", str(key), "-out", str(cert),
         "-subj", "/CN=Product.Console throw-away code signing",
         "-addext", "basicConstraints=critical,CA:FALSE",
         "-addext", "keyUsage=critical,digitalSignature",
         "-addext", "extendedKeyUsage=codeSigning"], "cannot make a throw-away certificate")
    run(["openssl", "pkcs12", "-export", "-inkey", str(key), "-in", str(cert), "-out", str(p12),
         "-passout", f"file:{password}"], "cannot make a throw-away certificate")
    return p12, password


def given_key(work):
    p12 = Path(os.environ["PRODUCT_SIGNING_PKCS12"])
    if not p12.is_file():
        lib.fail(f"PRODUCT_SIGNING_PKCS12 names no file: {p12}")
    password = work / "password"
    fd = os.open(password, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    with os.fdopen(fd, "w") as out:
        out.write(os.environ.get("PRODUCT_SIGNING_PASSWORD", "") + "\n")
    return p12, password


def signer_certificate(p12, password):
    """The PEM of the certificate that signs (the key's own, not its chain)."""
    pem = run(["openssl", "pkcs12", "-in", str(p12), "-passin", f"file:{password}", "-nokeys", "-clcerts"],
              "cannot read the signing certificate")
    begin, end = "-----BEGIN CERTIFICATE-----", "-----END CERTIFICATE-----"
    start = pem.find(begin)
    stop = pem.find(end, start)
    if start < 0 or stop < 0:
        lib.fail("the PKCS#12 file holds no certificate")
    return pem[start:stop + len(end)] + "\n"


def sign(data, name, p12, password, work):
    unsigned, signed = work / ("unsigned-" + name), work / ("signed-" + name)
    unsigned.write_bytes(data)
    signed.unlink(missing_ok=True)
    args = ["osslsigncode", "sign", "-pkcs12", str(p12), "-readpass", str(password), "-h", "sha256",
            "-n", name, "-in", str(unsigned), "-out", str(signed)]
    url = os.environ.get("PRODUCT_SIGNING_TIMESTAMP_URL")
    if url:
        args[2:2] = ["-ts", url]
    run(args, f"cannot sign {name}")
    result = signed.read_bytes()
    # Nothing but the signature may change: removing it gives the input back.
    removed = work / ("removed-" + name)
    removed.unlink(missing_ok=True)
    run(["osslsigncode", "remove-signature", "-in", str(signed), "-out", str(removed)],
        f"cannot check the signature of {name}")
    if removed.read_bytes() != data:
        lib.fail(f"signing changed more than the signature of {name}")
    return result


def sign_archive(path, out, p12, password, demo_certificate, work):
    entries = []
    date_time = None
    with zipfile.ZipFile(path) as archive:
        for info in archive.infolist():
            data = archive.read(info)
            if lib.is_pe(info.filename):
                data = sign(data, Path(info.filename).name, p12, password, work)
            entries.append((info.filename, data))
            date_time = info.date_time
    top = entries[0][0].split("/", 1)[0]
    if demo_certificate and any(n == f"{top}/{DEMO_SCRIPT}" for n, _ in entries):
        der, thumbprint = demo_certificate
        entries += [(f"{top}/{DEMO_CERTIFICATE}", der), (f"{top}/{DEMO_THUMBPRINT}", thumbprint)]
    lib.write_zip(out / path.name, entries, date_time)


def main():
    if len(sys.argv) != 3:
        lib.fail("usage: sign_archives.py <unsigned> <output>")
    unsigned, out = Path(sys.argv[1]), Path(sys.argv[2])
    archives = sorted(p for p in unsigned.glob("*.zip") if not p.name.endswith("-debug.zip"))
    if not archives:
        lib.fail(f"no archives in {unsigned}")
    out.mkdir(parents=True, exist_ok=True)
    for stale in out.iterdir():
        if stale.is_file():
            stale.unlink()
    with tempfile.TemporaryDirectory(prefix="product-signing-") as scratch:
        work = Path(scratch)
        os.chmod(work, 0o700)
        throw_away = not os.environ.get("PRODUCT_SIGNING_PKCS12")
        p12, password = throw_away_key(work) if throw_away else given_key(work)
        pem = signer_certificate(p12, password)
        demo_certificate = None
        if throw_away:
            der = run_bytes(["openssl", "x509", "-outform", "DER"], pem.encode())
            demo_certificate = (der, (lib.sha1_hex(der).upper() + "\r\n").encode())
        for path in archives:
            sign_archive(path, out, p12, password, demo_certificate, work)
        # The throw-away key goes with the scratch folder: nothing can be signed with it again.
    for path in sorted(unsigned.iterdir()):
        if path.is_file() and path not in archives:
            shutil.copyfile(path, out / path.name)
    (out / CERTIFICATE).write_text(pem)
    published = sorted(p for p in out.iterdir() if p.is_file() and p.name != SUMS)
    (out / SUMS).write_text("".join(f"{lib.sha256_hex(p.read_bytes())}  {p.name}\n" for p in published))
    for path in archives:
        print(out / path.name)


def run_bytes(args, data):
    proc = subprocess.run(args, input=data, capture_output=True)
    if proc.returncode != 0:
        lib.fail(f"{args[0]}: {proc.stderr.decode(errors='replace').strip()}")
    return proc.stdout


if __name__ == "__main__":
    main()
