"""The release archives: what they hold, and the one with the simulated agent
unpacked into a clean Wine prefix and registered with its own scripts, as an
administrator would try it."""
# ctest: TIMEOUT=600 FIXTURES=package SLOW
import os
import re
import struct
import subprocess
import zipfile
import zlib
from pathlib import Path

import pytest

from conftest import BIN_DIR

VERSION = os.environ.get("PRODUCT_VERSION", "")
PACKAGES = BIN_DIR.parent / "packages"
BASE = f"Product.Console-{VERSION}-win64"
CONSOLE_ARCHIVE = f"{BASE}.zip"
AGENT_ARCHIVE = f"{BASE}-with-simulated-agent.zip"
RIG = Path(__file__).resolve().parents[1] / "rig"
WINE = "/usr/lib/wine/wine64" if os.path.exists("/usr/lib/wine/wine64") else "wine"
OBJCOPY = "x86_64-w64-mingw32-objcopy"
OBJDUMP = "x86_64-w64-mingw32-objdump"

UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
AGENT_KEY = UNINSTALL + r"\Tessaro Security"

CONSOLE_FILES = [
    "ConsoleCancel.exe", "Product.Console.exe", "README.txt", "TesJson.dll", "commands.md",
    "console-output.schema.json", "guard-report.exe",
    "licenses/GCC-runtime.txt", "licenses/JsonCpp.txt", "licenses/MinGW-w64-runtime.txt",
    "licenses/Zycore.txt", "licenses/Zydis.txt", "licenses/fmt.txt"]
AGENT_FILES = [
    "Product.Support.dll", "cvch.dll", "install-demo.cmd", "log.dll", "product.matrix.comm.dll",
    "telowprivilegeworker.exe", "tesdk.dll", "uninstall-demo.cmd"]
# JsonCpp's library keeps its own (lack of a) version.
UNVERSIONED = {"TesJson.dll"}


def archive_files(name):
    """The file names of an archive, relative to its one top folder."""
    with zipfile.ZipFile(PACKAGES / name) as archive:
        names = [n for n in archive.namelist() if not n.endswith("/")]
    top = name[:-len(".zip")] + "/"
    assert all(n.startswith(top) for n in names), names
    return sorted(n[len(top):] for n in names)


def unpack(name, folder):
    """Unpacks an archive into a new folder; returns the archive's top folder
    (a debug archive's is the one of the archive it belongs to)."""
    folder.mkdir(parents=True)
    with zipfile.ZipFile(PACKAGES / name) as archive:
        archive.extractall(folder)
    return folder / name[:-len(".zip")].removesuffix("-debug")


def file_version(data):
    """The fixed file version of a version resource, as "a.b.c.d"; None without one."""
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None
    ms, ls = struct.unpack_from("<II", data, at + 8)
    return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"


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


def test_the_console_archive_holds_exactly_the_console_files():
    assert archive_files(CONSOLE_ARCHIVE) == sorted(CONSOLE_FILES)


def test_the_demo_archive_adds_the_agent_stand_ins_and_the_demo_scripts():
    assert archive_files(AGENT_ARCHIVE) == sorted(CONSOLE_FILES + AGENT_FILES)


def test_binaries_are_stripped_carry_the_version_and_link_their_debug_information(tmp_path):
    for name in (CONSOLE_ARCHIVE, AGENT_ARCHIVE):
        folder = unpack(name, tmp_path / name)
        debug = unpack(name[:-len(".zip")] + "-debug.zip", tmp_path / ("debug-" + name))
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
            expected = None if binary.name in UNVERSIONED else VERSION
            assert file_version(binary.read_bytes()) == expected, binary.name


def test_windows_texts_have_crlf_line_ends_and_the_readme_names_the_version(tmp_path):
    folder = unpack(AGENT_ARCHIVE, tmp_path / "unpacked")
    texts = [folder / "README.txt", folder / "commands.md", folder / "install-demo.cmd",
             folder / "uninstall-demo.cmd", *(folder / "licenses").iterdir()]
    for text in texts:
        data = text.read_bytes()
        assert data.count(b"\n") > 0 and data.count(b"\n") == data.count(b"\r\n"), text.name
    readme = (folder / "README.txt").read_bytes().decode("utf-8")
    assert readme.startswith(f"Product.Console {VERSION} for Windows x64\r\n")
    assert AGENT_ARCHIVE in readme
    # It points to the reference beside it.
    assert "commands.md" in readme


class Prefix:
    """A Wine prefix of its own, with a persistent server started with detached
    streams (see tests/rig/wine-start)."""

    def __init__(self, root):
        self.root = root
        self.drive_c = root / "drive_c"
        self.env = dict(os.environ, WINEPREFIX=str(root), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")

    def run(self, *args, cwd=None):
        proc = subprocess.run([WINE, *args], stdin=subprocess.DEVNULL, capture_output=True,
                              env=self.env, cwd=cwd or self.drive_c, timeout=120)
        return proc.returncode, proc.stdout

    def script(self, path, from_its_folder=False):
        """A batch file through Wine's cmd, started in its own folder or from C:\\
        ("call" keeps the quotes that cmd /c strips from a path with parentheses)."""
        if from_its_folder:
            return self.run("cmd", "/c", path.name, cwd=path.parent)
        return self.run("cmd", "/c", "call", windows_path_in(self, path))

    def export(self, key):
        out = self.drive_c / "export.reg"
        assert self.run("reg", "export", key, windows_path_in(self, out), "/y")[0] == 0
        text = out.read_bytes().decode("utf-16")
        out.unlink()
        return text

    def install_location(self):
        rc, out = self.run("reg", "query", AGENT_KEY, "/v", "InstallLocation")
        if rc != 0:
            return None
        for line in out.decode("utf-8", "replace").splitlines():
            words = line.split(None, 2)
            if words[:2] == ["InstallLocation", "REG_SZ"]:
                return words[2]
        return ""


def windows_path_in(prefix, path):
    """C:\\... for a path inside the prefix's drive C."""
    return "C:\\" + str(path.relative_to(prefix.drive_c)).replace("/", "\\")


@pytest.fixture(scope="module")
def prefix(tmp_path_factory):
    root = tmp_path_factory.mktemp("prefix")
    subprocess.run([str(RIG / "wine-start"), str(root), WINE], check=True, timeout=300,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        yield Prefix(root)
    finally:
        subprocess.run([str(RIG / "wine-stop"), str(root)], timeout=120,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def test_install_demo_registers_its_folder_and_uninstall_demo_restores_the_registry(prefix):
    demo = unpack(AGENT_ARCHIVE, prefix.drive_c / "Program Files (x86)" / "Agent Demo")
    # Elsewhere, without stand-ins: reaches an agent only through the registration.
    elsewhere = unpack(CONSOLE_ARCHIVE, prefix.drive_c / "Console Only")
    before = prefix.export(UNINSTALL)
    assert prefix.install_location() is None

    assert prefix.script(demo / "install-demo.cmd")[0] == 0
    assert prefix.install_location() == windows_path_in(prefix, demo)
    assert prefix.run(windows_path_in(prefix, demo / "Product.Console.exe"), "/c", "GetVersion", "product",
                      cwd=demo) == (0, b"1.0.0.1")
    assert prefix.run(windows_path_in(prefix, elsewhere / "Product.Console.exe"), "/c", "GetVersion", "product",
                      cwd=elsewhere) == (0, b"1.0.0.1")

    assert prefix.script(demo / "uninstall-demo.cmd")[0] == 0
    assert prefix.export(UNINSTALL) == before
    # ERROR_MOD_NOT_FOUND: no agent any more, and the console says nothing.
    assert prefix.run(windows_path_in(prefix, elsewhere / "Product.Console.exe"), "/c", "GetVersion", "product",
                      cwd=elsewhere) == (126, b"")


def test_the_demo_scripts_leave_another_agents_registration_alone(prefix):
    demo = unpack(AGENT_ARCHIVE, prefix.drive_c / "Second Demo")
    agent = r"C:\Program Files\Tessaro Security"
    assert prefix.run("reg", "add", AGENT_KEY, "/v", "InstallLocation", "/t", "REG_SZ", "/d", agent, "/f")[0] == 0
    try:
        before = prefix.export(AGENT_KEY)
        for script in ("install-demo.cmd", "uninstall-demo.cmd"):
            rc, out = prefix.script(demo / script, from_its_folder=True)
            assert rc == 1, script
            assert agent.encode() in out, script
            assert prefix.export(AGENT_KEY) == before, script
    finally:
        prefix.run("reg", "delete", AGENT_KEY, "/f")
