"""The release archives: what they hold, their signatures, checksums and bills
of materials, and the one with the simulated agent unpacked into a clean Wine
prefix and registered with its own scripts, as an administrator would try it."""
# ctest: TIMEOUT=900 FIXTURES=package SLOW
import hashlib
import json
import os
import re
import shutil
import struct
import subprocess
import zipfile
import zlib
from pathlib import Path

import pytest

from conftest import BIN_DIR

VERSION = os.environ.get("PRODUCT_VERSION", "")
PACKAGES = BIN_DIR.parent / "packages"
UNSIGNED = PACKAGES / "unsigned"
SOURCE = Path(__file__).resolve().parents[2]
BASE = f"Product.Console-{VERSION}-win64"
CONSOLE_ARCHIVE = f"{BASE}.zip"
AGENT_ARCHIVE = f"{BASE}-with-simulated-agent.zip"
ARCHIVES = (CONSOLE_ARCHIVE, AGENT_ARCHIVE)
CERTIFICATE = PACKAGES / "signing-certificate.pem"
RIG = Path(__file__).resolve().parents[1] / "rig"
WINE = "/usr/lib/wine/wine64" if os.path.exists("/usr/lib/wine/wine64") else "wine"
OBJCOPY = "x86_64-w64-mingw32-objcopy"
OBJDUMP = "x86_64-w64-mingw32-objdump"

UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
AGENT_KEY = UNINSTALL + r"\Tessaro Security"
STORES = r"HKLM\Software\Microsoft\SystemCertificates"

CONSOLE_FILES = [
    "ConsoleCancel.exe", "Product.Console.exe", "README.txt", "TesJson.dll", "commands.md",
    "console-output.schema.json", "guard-report.exe",
    "licenses/GCC-runtime.txt", "licenses/JsonCpp.txt", "licenses/MinGW-w64-runtime.txt",
    "licenses/Zycore.txt", "licenses/Zydis.txt", "licenses/fmt.txt"]
AGENT_FILES = [
    "Product.Support.dll", "cvch.dll", "install-demo.cmd", "log.dll", "product.matrix.comm.dll",
    "telowprivilegeworker.exe", "tesdk.dll", "uninstall-demo.cmd"]
# What signing with a throw-away certificate adds to the demo archive.
DEMO_CERTIFICATE_FILES = ["demo-certificate.cer", "demo-certificate.sha1"]


def top(name):
    return name[:-len(".zip")]


def archive_files(path):
    """The file names of an archive, relative to its one top folder."""
    with zipfile.ZipFile(path) as archive:
        names = [n for n in archive.namelist() if not n.endswith("/")]
    prefix = top(path.name) + "/"
    assert all(n.startswith(prefix) for n in names), names
    return sorted(n[len(prefix):] for n in names)


def unpack(path, folder):
    """Unpacks an archive into a new folder; returns the archive's top folder
    (a debug archive's is the one of the archive it belongs to)."""
    folder.mkdir(parents=True)
    with zipfile.ZipFile(path) as archive:
        archive.extractall(folder)
    return folder / top(path.name).removesuffix("-debug")


def pe_entries(path):
    """(file name, bytes) of every binary in an archive."""
    with zipfile.ZipFile(path) as archive:
        return {Path(n).name: archive.read(n) for n in archive.namelist() if n.endswith((".exe", ".dll"))}


def file_version(data):
    """The fixed file version of a version resource, as "a.b.c.d"; None without one."""
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None
    ms, ls = struct.unpack_from("<II", data, at + 8)
    return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"


def version_string(data, key):
    """A value of the version resource's string table (UTF-16, 4-byte aligned)."""
    at = data.find(key.encode("utf-16-le") + b"\0\0")
    if at < 0:
        return None
    at += len(key) * 2 + 2
    at += -at % 4
    end = at
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[at:end].decode("utf-16-le")


def section_names(path):
    out = subprocess.run([OBJDUMP, "-h", str(path)], capture_output=True, text=True, check=True).stdout
    return set(re.findall(r"^\s*\d+ (\S+)", out, re.MULTILINE))


def debug_link(path, scratch):
    """(file name, CRC) of a binary's .gnu_debuglink section."""
    out = scratch / (path.name + ".link")
    subprocess.run([OBJCOPY, f"--dump-section=.gnu_debuglink={out}", str(path), str(scratch / "dump.tmp")],
                   check=True, capture_output=True)
    data = out.read_bytes()
    name = data[:data.index(b"\0")].decode()
    return name, struct.unpack_from("<I", data, len(data) - 4)[0]


def test_the_archives_hold_exactly_their_files_signed_or_not():
    sbom = [f"{top(a)}.spdx.json" for a in ARCHIVES]
    assert archive_files(UNSIGNED / CONSOLE_ARCHIVE) == sorted(CONSOLE_FILES + sbom[:1])
    assert archive_files(PACKAGES / CONSOLE_ARCHIVE) == sorted(CONSOLE_FILES + sbom[:1])
    assert archive_files(UNSIGNED / AGENT_ARCHIVE) == sorted(CONSOLE_FILES + AGENT_FILES + sbom[1:])
    assert archive_files(PACKAGES / AGENT_ARCHIVE) == sorted(
        CONSOLE_FILES + AGENT_FILES + sbom[1:] + DEMO_CERTIFICATE_FILES)


def test_archive_entries_are_sorted_with_one_time_and_mode():
    for folder in (UNSIGNED, PACKAGES):
        for path in folder.glob("*.zip"):
            with zipfile.ZipFile(path) as archive:
                infos = archive.infolist()
            assert [i.filename for i in infos] == sorted(i.filename for i in infos), path
            assert len({i.date_time for i in infos}) == 1, path
            assert {i.external_attr >> 16 for i in infos} == {0o100644}, path


def test_binaries_are_stripped_carry_their_version_resource_and_link_their_debug_information(tmp_path):
    for name in ARCHIVES:
        folder = unpack(PACKAGES / name, tmp_path / name)
        debug = unpack(PACKAGES / (top(name) + "-debug.zip"), tmp_path / ("debug-" + name))
        binaries = [p for p in folder.iterdir() if p.suffix in (".exe", ".dll")]
        assert sorted(p.name + ".debug" for p in binaries) == sorted(p.name for p in debug.iterdir())
        for binary in binaries:
            sections = section_names(binary)
            assert not [s for s in sections if s.startswith(".debug")], binary.name
            link, crc = debug_link(binary, tmp_path)
            assert link == binary.name + ".debug"
            kept = (debug / link).read_bytes()
            assert zlib.crc32(kept) == crc, binary.name
            assert any(s.startswith(".debug_info") for s in section_names(debug / link)), link
            data = binary.read_bytes()
            assert file_version(data) == VERSION, binary.name
            assert {k: version_string(data, k) for k in ("FileVersion", "ProductVersion", "ProductName",
                                                         "OriginalFilename")} == {
                "FileVersion": VERSION, "ProductVersion": VERSION, "ProductName": "Product.Console",
                "OriginalFilename": binary.name}, binary.name
            assert version_string(data, "FileDescription"), binary.name


def header_time(data):
    """The time stamp of a PE file's header."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[pe:pe + 4] == b"PE\0\0"
    return struct.unpack_from("<I", data, pe + 8)[0]


def test_binaries_and_their_debug_information_hold_no_time_stamp_and_no_build_path():
    build = str(BIN_DIR.parent).encode()
    for name in ARCHIVES:
        files = dict(pe_entries(UNSIGNED / name))
        with zipfile.ZipFile(UNSIGNED / (top(name) + "-debug.zip")) as archive:
            files.update((entry, archive.read(entry)) for entry in archive.namelist())
        for file, data in files.items():
            assert header_time(data) == 0, file
            assert build not in data and str(SOURCE).encode() not in data, file


def osslsigncode(*args):
    return subprocess.run(["osslsigncode", *args], capture_output=True, text=True)


def verify(path):
    return osslsigncode("verify", "-in", str(path), "-CAfile", str(CERTIFICATE))


def signer_certificates(path, scratch):
    """The certificates in a file's signature, as PEM text."""
    signature = path.with_name(path.name + ".p7")
    assert osslsigncode("extract-signature", "-in", str(path), "-out", str(signature)).returncode == 0
    out = subprocess.run(["openssl", "pkcs7", "-inform", "DER", "-in", str(signature), "-print_certs"],
                         capture_output=True, text=True, check=True).stdout
    return re.findall(r"-----BEGIN CERTIFICATE-----.*?-----END CERTIFICATE-----\n", out, re.DOTALL)


def test_every_binary_of_both_archives_is_signed_with_the_release_certificate(tmp_path):
    certificate = CERTIFICATE.read_text()
    for name in ARCHIVES:
        unsigned = pe_entries(UNSIGNED / name)
        signed = pe_entries(PACKAGES / name)
        assert sorted(signed) == sorted(unsigned)
        for binary, data in signed.items():
            path = tmp_path / name / binary
            path.parent.mkdir(exist_ok=True)
            path.write_bytes(data)
            result = verify(path)
            assert result.returncode == 0, (binary, result.stdout, result.stderr)
            assert "Message digest algorithm  : SHA256" in result.stdout, binary
            assert signer_certificates(path, tmp_path) == [certificate], binary
            # Signing changed nothing else.
            removed = tmp_path / name / ("removed-" + binary)
            assert osslsigncode("remove-signature", "-in", str(path), "-out", str(removed)).returncode == 0
            assert removed.read_bytes() == unsigned[binary], binary


def altered(data):
    """The image with one byte of its code changed."""
    at = 0x1000 + 0x100
    return data[:at] + bytes([data[at] ^ 0xFF]) + data[at + 1:]


def signed_by_a_stranger(data, scratch):
    key, cert, p12 = scratch / "stranger.key", scratch / "stranger.pem", scratch / "stranger.p12"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-keyout", str(key),
                    "-out", str(cert), "-subj", "/CN=Product.Console throw-away code signing",
                    "-addext", "extendedKeyUsage=codeSigning"], check=True, capture_output=True)
    subprocess.run(["openssl", "pkcs12", "-export", "-inkey", str(key), "-in", str(cert), "-out", str(p12),
                    "-passout", "pass:x"], check=True, capture_output=True)
    unsigned, signed = scratch / "stranger-in.exe", scratch / "stranger-out.exe"
    unsigned.write_bytes(data)
    assert osslsigncode("sign", "-pkcs12", str(p12), "-pass", "x", "-h", "sha256", "-in", str(unsigned),
                        "-out", str(signed)).returncode == 0
    return signed.read_bytes()


@pytest.mark.parametrize("case", ["unsigned", "altered after signing", "signed by another certificate"])
def test_verification_fails_on_a_binary_that_is_not_the_signed_one(case, tmp_path):
    signed = pe_entries(PACKAGES / AGENT_ARCHIVE)["tesdk.dll"]
    unsigned = pe_entries(UNSIGNED / AGENT_ARCHIVE)["tesdk.dll"]
    data = {"unsigned": lambda: unsigned,
            "altered after signing": lambda: altered(signed),
            "signed by another certificate": lambda: signed_by_a_stranger(unsigned, tmp_path)}[case]()
    path = tmp_path / "tesdk.dll"
    path.write_bytes(data)
    result = verify(path)
    assert result.returncode != 0, result.stdout


def test_sha256sums_cover_every_published_file():
    lines = (PACKAGES / "SHA256SUMS").read_text().splitlines()
    listed = dict(reversed(line.split("  ", 1)) for line in lines)
    published = sorted(p.name for p in PACKAGES.iterdir() if p.is_file() and p.name != "SHA256SUMS")
    assert sorted(listed) == published
    assert {f"{top(a)}{suffix}" for a in ARCHIVES for suffix in (".zip", "-debug.zip", ".spdx.json")} <= set(listed)
    for name, digest in listed.items():
        assert hashlib.sha256((PACKAGES / name).read_bytes()).hexdigest() == digest, name


def sbom_of(archive):
    path = PACKAGES / archive
    beside = (PACKAGES / f"{top(archive)}.spdx.json").read_bytes()
    with zipfile.ZipFile(path) as zipped:
        inside = zipped.read(f"{top(archive)}/{top(archive)}.spdx.json")
        licences = {n[len(top(archive)) + 1:]: zipped.read(n) for n in zipped.namelist()
                    if n.startswith(f"{top(archive)}/licenses/")}
    assert inside == beside, archive
    return json.loads(inside), licences


@pytest.mark.parametrize("archive", ARCHIVES)
def test_the_bill_of_materials_names_every_component_and_every_licence_file(archive):
    document, licences = sbom_of(archive)
    assert document["spdxVersion"] == "SPDX-2.3" and document["dataLicense"] == "CC0-1.0"
    assert document["name"] == top(archive) and document["documentNamespace"].startswith("https://")
    assert re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ", document["creationInfo"]["created"])
    elements = {p["SPDXID"]: p for p in document["packages"] + document["files"]}
    assert len(elements) == len(document["packages"]) + len(document["files"])
    relations = [(r["spdxElementId"], r["relationshipType"], r["relatedSpdxElement"])
                 for r in document["relationships"]]
    assert all(a in elements or a == "SPDXRef-DOCUMENT" for a, _, _ in relations)
    assert all(b in elements for _, _, b in relations)
    (product,) = [b for a, kind, b in relations if (a, kind) == ("SPDXRef-DOCUMENT", "DESCRIBES")]
    contained = [elements[b] for a, kind, b in relations if (a, kind) == (product, "CONTAINS")]

    # Our binaries: every one in the archive, with the one version.
    binaries = {p["packageFileName"]: p for p in contained if "sourceInfo" not in p}
    assert sorted(binaries) == sorted(pe_entries(PACKAGES / archive))
    assert {p["versionInfo"] for p in binaries.values()} == {VERSION}

    # Third-party components: each documented by exactly one licence file of
    # the archive, and each licence file documenting exactly one of them.
    third_party = {p["SPDXID"]: p for p in contained if "sourceInfo" in p}
    documented = {}
    for a, kind, b in relations:
        if kind == "DOCUMENTATION_OF":
            assert b in third_party and b not in documented.values(), b
            documented[elements[a]["fileName"].removeprefix("./")] = b
    assert sorted(documented) == sorted(licences)
    assert sorted(documented.values()) == sorted(third_party)
    for name, data in licences.items():
        checksums = {c["algorithm"]: c["checksumValue"] for c in elements[f"SPDXRef-File-{name.replace('/', '-')}"]
                     ["checksums"]}
        assert checksums == {"SHA1": hashlib.sha1(data).hexdigest(), "SHA256": hashlib.sha256(data).hexdigest()}
    assert sorted(p["name"] for p in third_party.values()) == sorted(
        ["JsonCpp", "fmt", "Zydis", "Zycore", "MinGW-w64-runtime", "GCC-runtime"])
    extracted = {e["licenseId"] for e in document.get("hasExtractedLicensingInfos", [])}
    for package in third_party.values():
        # Debian versions: upstream version, optional revision.
        assert re.fullmatch(r"[0-9][A-Za-z0-9.+~]*(-[A-Za-z0-9.+~]+)?", package["versionInfo"]), package
        source = package["sourceInfo"].removeprefix("Debian source package ").split()[0]
        assert package["externalRefs"][0]["referenceLocator"] == \
            f"pkg:deb/debian/{source}@{package['versionInfo']}?arch=source"
        assert set(re.findall(r"LicenseRef-[A-Za-z0-9.\-]+", package["licenseDeclared"])) <= extracted


def test_windows_texts_have_crlf_line_ends_and_the_readme_names_the_version_and_exit_code_577(tmp_path):
    folder = unpack(PACKAGES / AGENT_ARCHIVE, tmp_path / "unpacked")
    texts = [folder / "README.txt", folder / "commands.md", folder / "install-demo.cmd",
             folder / "uninstall-demo.cmd", folder / "demo-certificate.sha1", *(folder / "licenses").iterdir()]
    for text in texts:
        data = text.read_bytes()
        assert data.count(b"\n") > 0 and data.count(b"\n") == data.count(b"\r\n"), text.name
    readme = (folder / "README.txt").read_bytes().decode("utf-8")
    assert readme.startswith(f"Product.Console {VERSION} for Windows x64\r\n")
    assert AGENT_ARCHIVE in readme
    assert "577" in readme and "install-demo.cmd /trust" in readme
    # It points to the reference beside it.
    assert "commands.md" in readme


class Prefix:
    """A Wine prefix of its own, with a persistent server started with detached
    streams (see tests/rig/wine-start)."""

    def __init__(self, root):
        self.root = root
        self.drive_c = root / "drive_c"
        # Wine's own certutil.exe is a stub: the stand-in in system32 runs instead.
        self.env = dict(os.environ, WINEPREFIX=str(root), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=;certutil.exe=n")

    def run(self, *args, cwd=None):
        proc = subprocess.run([WINE, *args], stdin=subprocess.DEVNULL, capture_output=True,
                              env=self.env, cwd=cwd or self.drive_c, timeout=120)
        self.last_stderr = proc.stderr  # what Wine said, for a failure's message
        return proc.returncode, proc.stdout

    def script(self, path, *args, from_its_folder=False):
        """A batch file through Wine's cmd, started in its own folder or from C:\\
        ("call" keeps the quotes that cmd /c strips from a path with parentheses)."""
        if from_its_folder:
            return self.run("cmd", "/c", path.name, *args, cwd=path.parent)
        return self.run("cmd", "/c", "call", windows_path_in(self, path), *args)

    def export(self, key):
        out = self.drive_c / "export.reg"
        rc, _ = self.run("reg", "export", key, windows_path_in(self, out), "/y")
        if rc != 0:
            return None
        text = out.read_bytes().decode("utf-16")
        out.unlink()
        return text

    def value(self, name, key=AGENT_KEY):
        rc, out = self.run("reg", "query", key, "/v", name)
        if rc != 0:
            return None
        for line in out.decode("utf-8", "replace").splitlines():
            words = line.split(None, 2)
            if words[:2] == [name, "REG_SZ"]:
                return words[2] if len(words) > 2 else ""
        return None

    def add(self, name, data, key=AGENT_KEY):
        assert self.run("reg", "add", key, "/v", name, "/t", "REG_SZ", "/d", data, "/f")[0] == 0

    def certificates(self):
        """Every certificate of the local machine's stores, as (store, thumbprint, data)."""
        rc, out = self.run("reg", "query", STORES, "/s")
        text = out.decode("utf-8", "replace")
        return sorted(re.findall(r"SystemCertificates\\([^\\\r\n]+)\\Certificates\\([0-9A-F]{40})\r?\n"
                                 r"\s+Blob\s+REG_BINARY\s+([0-9A-F]*)", text))

    def trusted(self, store, thumbprint):
        return self.run("reg", "query", rf"{STORES}\{store}\Certificates\{thumbprint}")[0] == 0


def windows_path_in(prefix, path):
    """C:\\... for a path inside the prefix's drive C."""
    return "C:\\" + str(path.relative_to(prefix.drive_c)).replace("/", "\\")


@pytest.fixture(scope="module")
def prefix(tmp_path_factory):
    root = tmp_path_factory.mktemp("prefix")
    subprocess.run([str(RIG / "wine-start"), str(root), WINE], check=True, timeout=300,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        prefix = Prefix(root)
        # Wine has no certutil: the stand-in keeps the stores as the system does.
        shutil.copyfile(BIN_DIR / "certutil_standin.exe", prefix.drive_c / "windows" / "system32" / "certutil.exe")
        yield prefix
    finally:
        subprocess.run([str(RIG / "wine-stop"), str(root)], timeout=120,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


@pytest.fixture
def clean(prefix):
    """The agent's key absent before and after each test."""
    prefix.run("reg", "delete", AGENT_KEY, "/f")
    yield prefix
    prefix.run("reg", "delete", AGENT_KEY, "/f")


# Folders an administrator may well unpack into.
AWKWARD_FOLDERS = ["Program Files (x86)/Agent Demo", "Demo & Test (1)", "Demo (100%) sure", "Demo%PATH%x"]


@pytest.mark.parametrize("folder", [f for f in AWKWARD_FOLDERS if "%" not in f])
def test_install_demo_registers_its_folder_and_uninstall_demo_restores_the_registry(clean, folder):
    prefix = clean
    demo = unpack(PACKAGES / AGENT_ARCHIVE, prefix.drive_c / folder)
    # Elsewhere, without stand-ins: reaches an agent only through the registration.
    elsewhere = unpack(PACKAGES / CONSOLE_ARCHIVE, prefix.drive_c / (folder + " console"))
    before = prefix.export(UNINSTALL)
    stores = prefix.certificates()

    # A second run finds its own key and leaves it as the first run made it.
    assert prefix.script(demo / "install-demo.cmd")[0] == 0
    registered = prefix.export(AGENT_KEY)
    assert prefix.script(demo / "install-demo.cmd", from_its_folder=True)[0] == 0
    assert prefix.export(AGENT_KEY) == registered
    assert prefix.value("InstallLocation") == windows_path_in(prefix, demo)
    assert prefix.run(windows_path_in(prefix, demo / "Product.Console.exe"), "/c", "GetVersion", "product",
                      cwd=demo) == (0, b"1.0.0.1")
    assert prefix.run(windows_path_in(prefix, elsewhere / "Product.Console.exe"), "/c", "GetVersion", "product",
                      cwd=elsewhere) == (0, b"1.0.0.1")

    assert prefix.script(demo / "uninstall-demo.cmd")[0] == 0
    assert prefix.export(UNINSTALL) == before
    assert prefix.certificates() == stores
    # ERROR_MOD_NOT_FOUND: no agent any more, and the console says nothing.
    assert prefix.run(windows_path_in(prefix, elsewhere / "Product.Console.exe"), "/c", "GetVersion", "product",
                      cwd=elsewhere) == (126, b""), prefix.last_stderr
    # Nothing left to remove.
    assert prefix.script(demo / "uninstall-demo.cmd")[0] == 0
    assert prefix.export(UNINSTALL) == before


@pytest.mark.parametrize("folder", [f for f in AWKWARD_FOLDERS if "%" in f])
def test_the_demo_scripts_change_nothing_where_they_cannot_tell_their_folder(clean, folder):
    # Wine's cmd drops the "%" signs of the folder's name from %~dp0 (Windows
    # keeps them): the scripts then find no copy of themselves there and stop.
    prefix = clean
    demo = unpack(PACKAGES / AGENT_ARCHIVE, prefix.drive_c / folder)
    before = prefix.export(UNINSTALL)
    for script in ("install-demo.cmd", "uninstall-demo.cmd"):
        rc, out = prefix.script(demo / script, from_its_folder=True)
        assert (rc, b"cannot tell the folder of this script" in out) == (1, True), out
        assert prefix.export(UNINSTALL) == before, script


FOREIGN_KEYS = {
    "a real agent": {"InstallLocation": r"C:\Program Files\Tessaro Security", "DisplayName": "Agent"},
    "a key without InstallLocation": {"DisplayName": "Agent"},
    "a key naming the demo's own folder": {"InstallLocation": "<demo>"},
    "another demo's": {"InstallLocation": r"C:\Other Demo", "SimulatedAgentDemo": r"C:\Other Demo"},
}


@pytest.mark.parametrize("case", FOREIGN_KEYS)
def test_the_demo_scripts_leave_a_key_they_did_not_make_as_it_was(clean, case):
    prefix = clean
    demo = unpack(PACKAGES / AGENT_ARCHIVE, prefix.drive_c / f"Foreign Demo {list(FOREIGN_KEYS).index(case)}")
    for name, data in FOREIGN_KEYS[case].items():
        prefix.add(name, data.replace("<demo>", windows_path_in(prefix, demo)))
    before = prefix.export(AGENT_KEY)
    stores = prefix.certificates()
    for script, args in (("install-demo.cmd", ()), ("install-demo.cmd", ("/trust",)), ("uninstall-demo.cmd", ())):
        rc, out = prefix.script(demo / script, *args, from_its_folder=True)
        assert rc == 1, (script, out)
        assert b"nothing was changed" in out.lower(), (script, out)
        assert prefix.export(AGENT_KEY) == before, script
        assert prefix.certificates() == stores, script


def thumbprint_of(demo):
    return (demo / "demo-certificate.sha1").read_text().strip()


def test_install_demo_trusts_the_throw_away_certificate_only_when_asked_and_uninstall_demo_removes_it(clean):
    prefix = clean
    demo = unpack(PACKAGES / AGENT_ARCHIVE, prefix.drive_c / "Trust & Demo (1)")
    thumbprint = thumbprint_of(demo)
    der = (demo / "demo-certificate.cer").read_bytes()
    assert thumbprint == hashlib.sha1(der).hexdigest().upper()
    pem = subprocess.run(["openssl", "x509", "-inform", "DER"], input=der, capture_output=True, check=True).stdout
    assert pem.decode() == CERTIFICATE.read_text()
    # A certificate of somebody else's in the store stays.
    other = "00" * 20
    assert prefix.run("reg", "add", rf"{STORES}\Root\Certificates\{other}", "/v", "Blob", "/t", "REG_BINARY",
                      "/d", "00", "/f")[0] == 0
    stores = prefix.certificates()
    assert ("Root", other, "00") in stores

    assert prefix.script(demo / "install-demo.cmd")[0] == 0
    assert prefix.certificates() == stores
    assert prefix.script(demo / "uninstall-demo.cmd")[0] == 0

    rc, out = prefix.script(demo / "install-demo.cmd", "/trust")
    assert rc == 0, out
    assert b"Trusted Root Certification Authorities" in out
    assert prefix.trusted("Root", thumbprint) and prefix.trusted("TrustedPublisher", thumbprint)
    assert prefix.value("DemoCertificate") == thumbprint
    # A second run trusts nothing more and forgets nothing.
    registered = prefix.export(AGENT_KEY)
    assert prefix.script(demo / "install-demo.cmd", "/trust")[0] == 0
    assert prefix.script(demo / "install-demo.cmd")[0] == 0
    assert prefix.export(AGENT_KEY) == registered

    assert prefix.script(demo / "uninstall-demo.cmd")[0] == 0
    assert prefix.certificates() == stores
    assert prefix.value("InstallLocation") is None


def test_a_certificate_trusted_before_the_demo_stays_trusted_after_it(clean):
    prefix = clean
    demo = unpack(PACKAGES / AGENT_ARCHIVE, prefix.drive_c / "Trusted Before")
    thumbprint = thumbprint_of(demo)
    certutil = r"C:\windows\system32\certutil.exe"
    assert prefix.run(certutil, "-addstore", "Root", windows_path_in(prefix, demo / "demo-certificate.cer"))[0] == 0
    stores = prefix.certificates()

    assert prefix.script(demo / "install-demo.cmd", "/trust")[0] == 0
    assert prefix.trusted("TrustedPublisher", thumbprint)
    assert prefix.value("DemoCertificateStores") == "TrustedPublisher"
    assert prefix.script(demo / "uninstall-demo.cmd")[0] == 0
    assert prefix.certificates() == stores
    assert prefix.trusted("Root", thumbprint)
    prefix.run(certutil, "-delstore", "Root", thumbprint)


def test_install_demo_trusts_nothing_in_a_build_without_a_throw_away_certificate(clean):
    prefix = clean
    demo = unpack(PACKAGES / AGENT_ARCHIVE, prefix.drive_c / "Own Certificate")
    for name in DEMO_CERTIFICATE_FILES:
        (demo / name).unlink()
    before = prefix.export(UNINSTALL)
    stores = prefix.certificates()
    rc, out = prefix.script(demo / "install-demo.cmd", "/trust")
    assert rc == 1 and b"Nothing was changed" in out, out
    assert prefix.export(UNINSTALL) == before and prefix.certificates() == stores
    rc, out = prefix.script(demo / "install-demo.cmd", "/bogus", from_its_folder=True)
    assert rc == 2 and b"usage" in out, out
    assert prefix.export(UNINSTALL) == before
