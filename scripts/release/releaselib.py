"""What the release scripts share: archives written the same way on every
build (fixed order, times and modes), the PE header fields that packaging and
signing touch, and the one fixed time of a release."""
import hashlib
import os
import struct
import subprocess
import sys
import time
import zipfile
from pathlib import Path

PE_SUFFIXES = (".exe", ".dll")
# The earliest time a ZIP entry can carry.
ZIP_EPOCH_MIN = 315532800


def fail(message):
    print(f"{Path(sys.argv[0]).name}: {message}", file=sys.stderr)
    sys.exit(1)


def source_date_epoch(source_dir):
    """The release's one time: SOURCE_DATE_EPOCH when given, else the time of
    the checked-out commit, else the time of the top CMakeLists.txt (which an
    unpacked `git archive` carries as the commit's)."""
    given = os.environ.get("SOURCE_DATE_EPOCH")
    if given:
        if not given.isdigit():
            fail(f"SOURCE_DATE_EPOCH is not a number of seconds: {given!r}")
        return int(given)
    if (Path(source_dir) / ".git").exists():
        proc = subprocess.run(["git", "-C", str(source_dir), "log", "-1", "--format=%ct"],
                              capture_output=True, text=True)
        if proc.returncode == 0 and proc.stdout.strip().isdigit():
            return int(proc.stdout.strip())
    return int((Path(source_dir) / "CMakeLists.txt").stat().st_mtime)


def utc_text(epoch):
    return time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(epoch))


def zip_date_time(epoch):
    """The ZIP entry time (UTC) of a time in seconds."""
    return time.gmtime(max(epoch, ZIP_EPOCH_MIN))[:6]


def write_zip(path, entries, date_time):
    """Writes (name, bytes) entries sorted by name, each with the one given
    time, mode 0644 and the same compression, and nothing else that varies."""
    path = Path(path)
    path.parent.mkdir(parents=True, exist_ok=True)
    partial = path.with_name(path.name + ".partial")
    with zipfile.ZipFile(partial, "w") as archive:
        for name, data in sorted(entries, key=lambda entry: entry[0]):
            info = zipfile.ZipInfo(name, date_time)
            info.create_system = 3
            info.external_attr = 0o100644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compresslevel=9)
    partial.replace(path)


def read_zip(path):
    """(name, bytes) of every file entry, in the archive's order."""
    with zipfile.ZipFile(path) as archive:
        return [(info.filename, archive.read(info)) for info in archive.infolist() if not info.is_dir()]


def folder_entries(root, prefix):
    """(prefix/relative name, bytes) of every file under root."""
    root = Path(root)
    return [(f"{prefix}/{p.relative_to(root).as_posix()}", p.read_bytes())
            for p in sorted(root.rglob("*")) if p.is_file()]


def is_pe(name):
    return name.lower().endswith(PE_SUFFIXES)


def _checksum_offset(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE image")
    return pe + 4 + 20 + 64


def pe_checksum(data):
    """The image checksum as the Windows loader and signing tools compute it."""
    skip = _checksum_offset(data)
    padded = data + b"\0" * (len(data) % 2)
    total = 0
    for (word,) in struct.iter_unpack("<H", padded):
        total += word
    for byte_at in (skip, skip + 2):
        total -= struct.unpack_from("<H", padded, byte_at)[0]
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def prepared_for_signing(data):
    """The image padded to 8 bytes and with its checksum set, as signing pads
    and sets them, so that a signature removed again gives back these very
    bytes."""
    data = data + b"\0" * (-len(data) % 8)
    at = _checksum_offset(data)
    return data[:at] + struct.pack("<I", pe_checksum(data)) + data[at + 4:]


def sha256_hex(data):
    return hashlib.sha256(data).hexdigest()


def sha1_hex(data):
    return hashlib.sha1(data).hexdigest()
