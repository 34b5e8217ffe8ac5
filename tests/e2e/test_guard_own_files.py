"""The guard's own files, with links planted where it writes them: the
console in report mode with tracing on, and a ProgramData of the test's own
in which another user has planted a link before the console runs. Whatever
the link names is left exactly as it was; the console still runs its
command; without a link, the report and the trace are written as before.

Under Wine a Unix symbolic link stands for the links of Windows: CreateFileW
follows one of a file even with FILE_FLAG_OPEN_REPARSE_POINT and names its
target as the final path; a hard link shows two links; a linked folder is
followed, and names its target as the final path."""
import hashlib
import os
import re
import subprocess
from pathlib import Path

import pytest

from conftest import AGENT_FILES, BIN_DIR, CONSOLE_FILES, WINE_RUN, Agent, Install, answer, windows_path
from helpers.guard_rig import REPORT, REPORT_FOLDER_NAME, read_report

STATUS = {"Locations": {"Product": {"Version": "1.2.3.4"}}}
REPORT_NAME = "dllReport.Product.Console.exe.V2"
LINKED_FILE_SIZE = 10485760 + 1
LINKED_FILE_HEAD = b"a file the guard must never touch\n"


class Console:
    """Product.Console.exe outside Program Files (so that the agent's
    libraries are reported), tracing to its log file, with a ProgramData of
    its own."""

    def __init__(self, tmp_path):
        self.install = Install(tmp_path / "install", CONSOLE_FILES + AGENT_FILES)
        self.agent = Agent(tmp_path / "agent")
        self.agent.script({"answers": {"Product/GetStatus": answer(STATUS)}})
        self.install.env.update(self.agent.env)
        (self.install.root / "dbg_trace.ini").write_bytes(b"DLLPROTECT=2\r\n")
        self.program_data = tmp_path / "ProgramData"
        self.program_data.mkdir()

    @property
    def report_folder(self):
        return self.program_data / REPORT_FOLDER_NAME

    @property
    def report(self):
        return self.report_folder / REPORT_NAME

    @property
    def trace_folder(self):
        return self.program_data / "CVLogging" / "CstLogs" / "Product.Console.exe"

    def run(self):
        """One command in report mode; the records of the report file (none
        when it is not a file of its own)."""
        env = {**os.environ, **self.install.env, **REPORT}
        proc = subprocess.run([WINE_RUN, str(BIN_DIR / "with_environment.exe"),
                               "ProgramData=" + windows_path(self.program_data), "--",
                               windows_path(self.install.exe), "/c", "GetVersion", "product"],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env, timeout=120,
                              cwd=self.install.root)
        assert (proc.stdout, proc.returncode) == (b"1.2.3.4", 0), proc
        own = self.report.is_file() and not self.report.is_symlink() and self.report.stat().st_nlink == 1
        return read_report(windows_path(self.report)) if own else []

    def trace_logs(self):
        """Every DLLPROTECT.log under the console's ProgramData."""
        return sorted(self.program_data.rglob("DLLPROTECT.log"))


def trace_lines(log):
    """The lines of a trace log, unscrambled: every line starts with "[", which
    gives the byte each character was combined with."""
    data = log.read_bytes()
    banner_end = data.index(b" ----------------------------- \n", 1) + 32
    body = data[banner_end:]
    key = body[0] ^ ord("[")
    return bytes(b ^ key for b in body).decode("utf-8", "replace").split("\n")


def snapshot(path):
    """What a planted link names, to compare before and after: each file's
    size and digest, each folder's names."""
    path = Path(path)

    def state(p):
        info = p.stat()
        digest = hashlib.sha256(p.read_bytes()).hexdigest() if p.is_file() else "folder"
        return info.st_size if p.is_file() else None, info.st_mtime_ns, digest

    return {str(p.relative_to(path)): state(p) for p in [path, *sorted(path.rglob("*"))]}


@pytest.fixture
def console(tmp_path):
    return Console(tmp_path)


@pytest.fixture
def linked_file(tmp_path):
    """Another file: 10 MiB and one byte, its first bytes known."""
    path = tmp_path / "elsewhere" / "precious.bin"
    path.parent.mkdir()
    with open(path, "wb") as f:
        f.write(LINKED_FILE_HEAD)
        f.truncate(LINKED_FILE_SIZE)
    return path


@pytest.fixture
def linked_folder(tmp_path):
    """Another folder, with a file in it."""
    path = tmp_path / "elsewhere_folder"
    path.mkdir()
    (path / "kept.txt").write_bytes(b"kept\n")
    return path


def test_without_a_planted_link_the_report_and_the_trace_are_written(console):
    console.report_folder.mkdir()
    records = console.run()
    assert "tesdk.dll" in [Path(r["library"].replace("\\", "/")).name for r in records]
    assert {r["result"] for r in records} == {"VULNERABLE_PATH"}

    logs = console.trace_logs()
    assert len(logs) == 1
    assert logs[0].parent.parent == console.trace_folder
    assert re.fullmatch(r"\d{4}-\d{2}-\d{2}_\d{2}_\d{2}_\d{2}__\d{4,}", logs[0].parent.name)
    data = logs[0].read_bytes()
    assert data.startswith(b" ----------------------------- \n>Started at : ")
    assert b">Closed  at : " in data
    lines = trace_lines(logs[0])
    assert any("[DLLPROTECT] :: DumpEventToFile -> " in line for line in lines)
    assert not any("refused" in line for line in lines)
    # The folders the console made let no other user in (Wine keeps the
    # descriptor as Unix modes: nothing for others).
    for folder in (console.program_data / "CVLogging", console.trace_folder, logs[0].parent):
        assert folder.stat().st_mode & 0o007 == 0, oct(folder.stat().st_mode)


def plant_file_link(console, linked_file, kind):
    console.report_folder.mkdir()
    if kind == "symbolic":
        console.report.symlink_to(linked_file)
    else:
        os.link(linked_file, console.report)


@pytest.mark.parametrize("kind", ["symbolic", "hard"])
def test_report_file_planted_as_a_link_to_another_file(console, linked_file, kind):
    plant_file_link(console, linked_file, kind)
    before = snapshot(linked_file)
    assert console.run() == []
    assert snapshot(linked_file) == before
    assert linked_file.read_bytes()[:len(LINKED_FILE_HEAD)] == LINKED_FILE_HEAD
    # The trace says why the events were dropped.
    lines = trace_lines(console.trace_logs()[0])
    assert any("DumpEventToFile() - report file refused" in line for line in lines), lines


# The folder a planted link replaces, below the console's ProgramData.
FOLDER_PLANTINGS = {
    "report-folder": REPORT_FOLDER_NAME,
    "trace-root": "CVLogging",
    "trace-executable-folder": "CVLogging/CstLogs/Product.Console.exe",
}


@pytest.mark.parametrize("planting", FOLDER_PLANTINGS)
def test_folder_planted_as_a_link_to_another_folder(console, linked_folder, planting):
    link = console.program_data / FOLDER_PLANTINGS[planting]
    link.parent.mkdir(parents=True, exist_ok=True)
    link.symlink_to(linked_folder, target_is_directory=True)
    if planting != "report-folder":
        console.report_folder.mkdir()
    before = snapshot(linked_folder)

    records = console.run()

    assert snapshot(linked_folder) == before
    assert link.is_symlink() and Path(os.readlink(link)) == linked_folder
    if planting == "report-folder":
        assert records == []
        lines = trace_lines(console.trace_logs()[0])
        assert any("DumpEventToFile() - report file refused" in line for line in lines), lines
    else:
        # The report is written as before; the trace log has no safe place.
        assert "tesdk.dll" in [Path(r["library"].replace("\\", "/")).name for r in records]
        assert console.trace_logs() == []
