"""Shared pieces of the DLL load guard's end-to-end tests: the probe program
(guard_probe.cpp) copied under a name of the test's own, so that its report
file and Image File Execution Options key are the test's alone; the guard's
switches; and reports read back through guard-report."""
import csv
import io
import os
import shutil
import subprocess
import uuid
from pathlib import Path

import pytest

from conftest import BIN_DIR, CONSOLE_FILES, WINE_RUN, Install, windows_path

SWITCH_PREFIX = "BDC4ADF5_0D7C_42BD_BB5B_F3E3241E1B77_"
REPORT_FOLDER_NAME = "48C4687D-9760-4F5B-BAB3-60351B0841E4"
IFEO_KEY = r"HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Image File Execution Options"
# What the probe sets the last error to before each load.
UNTOUCHED_ERROR = 4660
PLAIN = "guard_probe_plain.dll"
RECURSIVE = "guard_probe_recursive.dll"


def switches(*names):
    """Environment entries for the named switches ("teInterDll", ...)."""
    return {SWITCH_PREFIX + name: "1" for name in names}


REPORT = switches("teInterDll")
BLOCK = switches("teInterDll_block")


def wine(*args, check=True):
    proc = subprocess.run([WINE_RUN, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    if check and proc.returncode != 0:
        raise AssertionError(f"{args} failed: {proc.returncode} {proc.stderr!r}")
    return proc


def linux_path(windows):
    """The Linux view of a path on a drive of the Wine prefix."""
    return Path(wine("winepath", "-u", windows).stdout.decode().strip())


def read_report(windows_file):
    """The records of a report file as dicts (guard-report's CSV columns);
    [] when there is no file."""
    if not linux_path(windows_file).exists():
        return []
    proc = wine(str(BIN_DIR / "guard-report.exe"), "--csv", windows_file)
    rows = list(csv.DictReader(io.StringIO(proc.stdout.decode("utf-8"), newline="")))
    assert all(row["status"] == "valid" for row in rows), rows
    return rows


class Probe:
    """guard_probe.exe under its own name in a folder of its own, with the
    test libraries beside it."""

    def __init__(self, folder):
        self.folder = Path(folder)
        self.folder.mkdir(parents=True, exist_ok=True)
        self.name = f"guard_probe_{uuid.uuid4().hex[:10]}.exe"
        for library in (PLAIN, RECURSIVE):
            (self.folder / library).write_bytes((BIN_DIR / library).read_bytes())
        (self.folder / self.name).write_bytes((BIN_DIR / "guard_probe.exe").read_bytes())

    @property
    def exe(self):
        return self.folder / self.name

    def library(self, name=PLAIN):
        """The Windows path of a library beside the probe."""
        return windows_path(self.folder / name)

    def run(self, *steps, env=None, cwd=None):
        """Runs the steps; returns the output lines (the first is "started: N")."""
        merged = dict(os.environ)
        merged.update(env or {})
        proc = subprocess.run([WINE_RUN, str(self.exe), *steps], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              env=merged, timeout=120, cwd=cwd or self.folder)
        assert proc.returncode == 0, proc
        return proc.stdout.decode("utf-8").splitlines()

    def report_file(self, env):
        """The report file the guard uses under `env` (a Windows path)."""
        lines = self.run("report", env=env)
        assert lines[1].startswith("report: "), lines
        return lines[1][len("report: "):]

    def prepare_report(self, env):
        """The report file the guard uses under `env` (a Windows path), its
        folder made and any earlier file of that name removed."""
        report = self.report_file(env)
        path = linux_path(report)
        path.parent.mkdir(parents=True, exist_ok=True)
        path.unlink(missing_ok=True)
        return report


@pytest.fixture
def probe(tmp_path):
    """A probe in a folder of the test's own; its report file (probe.report)
    ready to be written and removed again afterwards."""
    probe = Probe(tmp_path / "probe")
    probe.report = probe.prepare_report(REPORT)
    yield probe
    linux_path(probe.report).unlink(missing_ok=True)


@pytest.fixture
def console_report():
    """The console's report file (its folder made), emptied before and after.
    Every console run with the guard on writes there: a module using it
    takes the lock guard_console_report."""
    program_data = wine("cmd", "/c", "echo", "%ProgramData%").stdout.decode().strip()
    report = f"{program_data}\\{REPORT_FOLDER_NAME}\\dllReport.Product.Console.exe.V2"
    path = linux_path(report)
    path.parent.mkdir(parents=True, exist_ok=True)
    path.unlink(missing_ok=True)
    yield report
    path.unlink(missing_ok=True)


class LoadingConsole:
    """Product.Console.exe (or another build of it) installed under Program
    Files, where the libraries beside it are trusted, with
    guard_loading_agent.dll as its agent library: each run loads the named
    libraries inside the console, as the agent's library would, and ends."""

    def __init__(self, log, console=BIN_DIR / "Product.Console.exe"):
        self.root = linux_path(r"C:\Program Files") / f"GuardTest-{uuid.uuid4().hex[:10]}"
        self.install = Install(self.root, CONSOLE_FILES)
        shutil.copy2(console, self.install.exe)
        shutil.copy2(BIN_DIR / "guard_loading_agent.dll", self.root / "tesdk.dll")
        self.log = Path(log)

    def load(self, names, env):
        """{name: "loaded <path>" or "null, error <n>"} for each name."""
        self.log.unlink(missing_ok=True)
        result = self.install.run(env={**env, "GUARD_AGENT_LOADS": "|".join(names),
                                       "GUARD_AGENT_LOG": windows_path(self.log)})
        assert (result.stdout, result.returncode) == (b"", 1), result
        lines = self.log.read_text(encoding="utf-8").splitlines()
        return dict(line.split(": ", 1) for line in lines)

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)
