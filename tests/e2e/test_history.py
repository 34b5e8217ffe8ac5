"""Support.GetHistory: the console starts the history worker inside a job and
waits for it; the worker writes the agent's session history. Checked through
the worker's output file and the command line the console logged."""
import json
import re
import time
from pathlib import Path

import pytest

from conftest import wait_for, windows_path
from helpers.json_output import document, envelope

FUNCTION = "CommandGetHistory::CreateWorkerProcess"
LINE = re.compile(r"^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) \[(\d+):(\d+)\] (\S+) +(\S+) (\S+): (.*)$")

SESSIONS = [
    {"id": "18c0a1f2e4b-1a2c", "kind": "troubleshoot", "scenarios": ["network", "update"],
     "started": "2026-12-10T09:30:00Z", "ended": "2026-12-10T09:41:12Z", "status": "finished",
     "deliveredTo": ["C:\\ProgramData\\ProductAgent\\SupportDeliveries\\SupportSession_18c0a1f2e4b-1a2c"]},
    {"id": "18c0a2b0c11-2b3d", "kind": "collect", "scenarios": [],
     "started": "2026-12-10T10:00:00Z", "ended": "2026-12-10T10:00:05Z", "status": "aborted",
     "deliveredTo": []},
]

TABLE = (
    b"Session           Kind          Scenarios        Started (UTC)        Ended (UTC)          Status    Delivered to\r\n"
    b"18c0a1f2e4b-1a2c  troubleshoot  network, update  2026-12-10 09:30:00  2026-12-10 09:41:12  finished  "
    b"C:\\ProgramData\\ProductAgent\\SupportDeliveries\\SupportSession_18c0a1f2e4b-1a2c\r\n"
    b"18c0a2b0c11-2b3d  collect       -                2026-12-10 10:00:00  2026-12-10 10:00:05  aborted   -\r\n")

CSV = (
    b"id,kind,scenarios,started,ended,status,deliveredTo\r\n"
    b"18c0a1f2e4b-1a2c,troubleshoot,network;update,2026-12-10T09:30:00Z,2026-12-10T09:41:12Z,finished,"
    b"C:\\ProgramData\\ProductAgent\\SupportDeliveries\\SupportSession_18c0a1f2e4b-1a2c\r\n"
    b"18c0a2b0c11-2b3d,collect,,2026-12-10T10:00:00Z,2026-12-10T10:00:05Z,aborted,\r\n")


class Log:
    """The diagnostics log that the log.dll stand-in writes for the console."""

    def __init__(self, folder):
        self.folder = Path(folder)

    @property
    def path(self):
        return self.folder / "Product.Console.log"

    def lines(self):
        """(level, function, message) of every line, in order."""
        if not self.path.exists():
            return []
        lines = []
        for text in self.path.read_bytes().decode("utf-8").split("\r\n")[:-1]:
            match = LINE.match(text)
            assert match, f"not a log line: {text!r}"
            lines.append((match[4], match[6], match[7]))
        return lines

    def of(self, function):
        """(level, message) of the lines one function wrote."""
        return [(level, message) for level, name, message in self.lines() if name == function]


class History:
    """The agent's data folder with a seeded session history, and the log."""

    def __init__(self, install, root):
        self.install = install
        self.folder = root / "agent"
        self.folder.mkdir()
        self.log = Log(root / "logs")
        install.env.update({"PRODUCT_AGENT_STATE_DIR": windows_path(self.folder),
                            "PRODUCT_LOG_DIR": windows_path(self.log.folder),
                            "PRODUCT_TELEMETRY_DIR": windows_path(root / "telemetry")})

    def seed(self, sessions):
        with open(self.folder / "support-history.jsonl", "w", encoding="utf-8", newline="\n") as store:
            for session in sessions:
                store.write(json.dumps(session) + "\n")

    def start_process(self, extra=""):
        worker = windows_path(self.install.root / "telowprivilegeworker.exe")
        return f'StartProcess ["{worker}" /process /runner "Product.Support.dll" {extra}]'

    def worker_lines(self):
        return self.log.of(FUNCTION)


def live_workers(install):
    """Linux pids of the worker processes started from this installation."""
    needle = (windows_path(install.root) + "\\telowprivilegeworker.exe").lower()
    pids = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            command = (entry / "cmdline").read_bytes().replace(b"\0", b" ").decode("utf-8", "replace")
        except OSError:
            continue
        if needle in command.lower():
            pids.append(int(entry.name))
    return pids


@pytest.fixture
def history(install, tmp_path):
    seeded = History(install, tmp_path)
    seeded.seed(SESSIONS)
    return seeded


def test_no_parameters_run_the_worker_with_the_runner_options_only(install, history):
    result = install.run("/c", "Support.GetHistory")
    assert (result.stdout, result.returncode) == (b"", 0)
    assert history.worker_lines() == [("INFO", history.start_process()), ("INFO", "Worker finished job")]
    # Without an output path the worker keeps the history in its default file.
    assert (history.folder / "SupportHistory.txt").read_bytes() == TABLE


@pytest.mark.parametrize("argument, extra, output_file, content", [
    ("format=CSV", "", "SupportHistory.txt", TABLE),
    ("format=csv", "--format=csv ", "SupportHistory.csv", CSV),
])
def test_only_the_exact_csv_format_is_passed_on(install, history, argument, extra, output_file, content):
    result = install.run("/c", "Support.GetHistory", argument)
    assert (result.stdout, result.returncode) == (b"", 0)
    assert history.worker_lines()[0] == ("INFO", history.start_process(extra))
    assert (history.folder / output_file).read_bytes() == content


def test_a_path_with_spaces_and_quotes_is_passed_quoted_without_its_quotes(install, history, tmp_path):
    folder = tmp_path / "out dir"
    folder.mkdir()
    result = install.run("/c", "Support.GetHistory", f'path={windows_path(folder)}\\"my" history.csv', "format=csv")
    assert (result.stdout, result.returncode) == (b"", 0)
    target = f"{windows_path(folder)}\\my history.csv"
    assert history.worker_lines() == [("INFO", history.start_process(f'--format=csv --output="{target}"')),
                                      ("INFO", "Worker finished job")]
    assert (folder / "my history.csv").read_bytes() == CSV


@pytest.mark.parametrize("spelling", ["--path", "/path", "-path"])
def test_prefixed_path_spellings_are_accepted(install, history, tmp_path, spelling):
    target = windows_path(tmp_path / "history.txt")
    result = install.run("/c", "Support.GetHistory", f"{spelling}={target}")
    assert (result.stdout, result.returncode) == (b"", 0)
    assert history.worker_lines()[0] == ("INFO", history.start_process(f'--output="{target}"'))
    assert (tmp_path / "history.txt").read_bytes() == TABLE


def test_the_interactive_shell_keeps_a_quoted_path_together(install, history, tmp_path):
    folder = tmp_path / "shell out"
    folder.mkdir()
    target = f"{windows_path(folder)}\\h.csv"
    result = install.run(stdin=f'Support.GetHistory "path={target}" --format=csv\nexit\n')
    assert history.worker_lines() == [("INFO", history.start_process(f'--format=csv --output="{target}"')),
                                      ("INFO", "Worker finished job")]
    assert b"error" not in result.stdout
    assert (folder / "h.csv").read_bytes() == CSV


def test_an_empty_history_is_written_as_such(install, history, tmp_path):
    history.seed([])
    install.run("/c", "Support.GetHistory", f"path={windows_path(tmp_path / 'h.txt')}")
    install.run("/c", "Support.GetHistory", f"path={windows_path(tmp_path / 'h.csv')}", "format=csv")
    assert (tmp_path / "h.txt").read_bytes() == b"No support sessions recorded.\r\n"
    assert (tmp_path / "h.csv").read_bytes() == b"id,kind,scenarios,started,ended,status,deliveredTo\r\n"


def test_a_missing_worker_gives_1067_and_no_output_of_the_command(install, history):
    install.remove("telowprivilegeworker.exe")
    result = install.run("/c", "Support.GetHistory")
    # "error 1067" is the shell's line for the result; the command prints nothing.
    assert (result.stdout, result.returncode) == (b"error 1067", 0)
    assert history.worker_lines() == [("INFO", history.start_process()),
                                      ("ERROR", "Failed to create worker process [error = 2]")]


@pytest.mark.parametrize("missing, path, worker_code", [
    # The runner library is missing: the worker cannot run it.
    ("Product.Support.dll", "{tmp}\\h.txt", 4),
    # The output folder does not exist: the worker cannot write the file.
    (None, "C:\\NoSuchDir\\h.csv", 3),
])
def test_a_worker_that_fails_fails_the_command(install, history, tmp_path, missing, path, worker_code):
    if missing:
        install.remove(missing)
    path = path.replace("{tmp}", windows_path(tmp_path))
    text = install.run("/c", "Support.GetHistory", f"path={path}", "format=csv")
    assert (text.stdout, text.returncode) == (b"error 1627", 0)
    failed = [("INFO", "Worker finished job"), ("ERROR", f"Worker failed [exit code = {worker_code}]")]
    assert history.worker_lines()[1:] == failed
    as_json = install.run("/json", "/c", "Support.GetHistory", f"path={path}", "format=csv")
    assert document(as_json) == envelope("Support.GetHistory", [f"path={path}", "format=csv"], 1627, "command failed",
                                         {"workerExitCode": worker_code})
    assert history.worker_lines()[4:] == failed
    assert not (tmp_path / "h.txt").exists()


def test_json_mode_names_the_workers_code_on_success_and_nothing_it_never_reached(install, history, tmp_path):
    target = windows_path(tmp_path / "h.csv")
    assert document(install.run("/json", "/c", "Support.GetHistory", f"path={target}", "format=csv")) == envelope(
        "Support.GetHistory", [f"path={target}", "format=csv"], 0, "success", {"workerExitCode": 0})
    assert (tmp_path / "h.csv").read_bytes() == CSV
    install.remove("telowprivilegeworker.exe")
    assert document(install.run("/json", "/c", "Support.GetHistory")) == envelope(
        "Support.GetHistory", [], 1067, "1067", {})


def test_without_the_log_library_nothing_changes_for_the_user(install, history, tmp_path):
    install.remove("log.dll")
    result = install.run("/c", "Support.GetHistory", f"path={windows_path(tmp_path / 'h.txt')}")
    assert (result.stdout, result.returncode) == (b"", 0)
    assert (tmp_path / "h.txt").read_bytes() == TABLE
    assert not history.log.folder.exists()
    install.remove("telowprivilegeworker.exe")
    assert install.run("/c", "Support.GetHistory").stdout == b"error 1067"


def test_no_worker_outlives_a_console_that_is_killed(install, history):
    running = install.start("/c", "Support.GetHistory", env={"PRODUCT_WORKER_HANG_MS": "30000"})
    try:
        assert wait_for(lambda: live_workers(install), timeout=30)
        # The console puts the worker into its job right after starting it.
        time.sleep(2)
    finally:
        running.proc.kill()
        running.proc.wait()
    # Closing the job (here: with the console's end) ends the worker.
    assert wait_for(lambda: not live_workers(install), timeout=20)
    assert not (history.folder / "SupportHistory.txt").exists()
