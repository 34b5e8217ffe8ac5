"""End-to-end rig: runs the real Product.Console.exe under Wine from a fresh
install folder per test, with the agent stand-ins that the test asks for."""
import json
import os
import select
import shutil
import signal
import subprocess
import time
from pathlib import Path

import pytest

BIN_DIR = Path(os.environ.get("PRODUCT_BIN_DIR", "build/bin")).resolve()
WINE_RUN = str(Path(os.environ.get("PRODUCT_WINE_RUN", "build/wine-run")).resolve())

# What a complete agent installation holds beside the console.
CONSOLE_FILES = ["Product.Console.exe", "TesJson.dll"]
AGENT_FILES = ["tesdk.dll", "log.dll", "cvch.dll", "product.matrix.comm.dll",
               "telowprivilegeworker.exe", "Product.Support.dll"]


def windows_path(path):
    """The Windows view of a Linux path under Wine (drive Z: is /)."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


class Result:
    def __init__(self, stdout, stderr, returncode):
        self.stdout = stdout
        self.stderr = stderr
        self.returncode = returncode

    @property
    def text(self):
        return self.stdout.decode("utf-8")

    def __repr__(self):
        return f"Result(rc={self.returncode}, stdout={self.stdout!r})"


class Install:
    """A folder laid out like an agent installation."""

    def __init__(self, root, files):
        self.root = Path(root)
        self.root.mkdir(parents=True, exist_ok=True)
        for name in files:
            source = BIN_DIR / name
            if source.exists():
                shutil.copy2(source, self.root / name)
        self.env = {}

    @property
    def exe(self):
        return self.root / "Product.Console.exe"

    def remove(self, name):
        (self.root / name).unlink(missing_ok=True)

    def _env(self, env):
        merged = dict(os.environ)
        merged.update(self.env)
        if env:
            merged.update(env)
        return merged

    def run(self, *args, stdin=b"", env=None, timeout=120, cwd=None):
        """Runs the console to its end; stdin is bytes (or str, sent as UTF-8)."""
        if isinstance(stdin, str):
            stdin = stdin.encode("utf-8")
        proc = subprocess.run([WINE_RUN, str(self.exe), *args], input=stdin,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              env=self._env(env), timeout=timeout, cwd=cwd or self.root)
        return Result(proc.stdout, proc.stderr, proc.returncode)

    def run_batch(self, batch, env=None, timeout=120):
        """Runs a batch file with cmd, in this installation's environment."""
        proc = subprocess.run([WINE_RUN, "cmd", "/c", "call", windows_path(batch)], stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=self._env(env), timeout=timeout,
                              cwd=self.root)
        return Result(proc.stdout, proc.stderr, proc.returncode)

    def start(self, *args, env=None, cwd=None):
        """Starts the console with piped standard streams; see Running."""
        proc = subprocess.Popen([WINE_RUN, str(self.exe), *args], stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                env=self._env(env), cwd=cwd or self.root)
        return Running(proc)


class Running:
    """A console process under test: feed it, interrupt it, collect it."""

    def __init__(self, proc):
        self.proc = proc

    def send(self, data):
        if isinstance(data, str):
            data = data.encode("utf-8")
        self.proc.stdin.write(data)
        self.proc.stdin.flush()

    def read_until(self, expected, timeout=30):
        """Reads standard output as it arrives until it holds `expected` (or
        the time is up, or output ends); returns what was read. Standard
        input stays open meanwhile."""
        received = b""
        deadline = time.monotonic() + timeout
        fd = self.proc.stdout.fileno()
        while expected not in received and time.monotonic() < deadline:
            ready, _, _ = select.select([fd], [], [], 0.1)
            if ready:
                data = os.read(fd, 4096)
                if not data:
                    break
                received += data
        return received

    def interrupt(self):
        """Ctrl+C: SIGINT to the wine process arrives as CTRL_C_EVENT."""
        self.proc.send_signal(signal.SIGINT)

    def finish(self, timeout=120, close_input=True):
        """Waits for the end. With close_input the console sees the end of its
        input; without, standard input stays open (the process must end by
        itself)."""
        try:
            if close_input:
                stdout, stderr = self.proc.communicate(timeout=timeout)
            else:
                self.proc.wait(timeout=timeout)
                stdout, stderr = self.proc.stdout.read(), self.proc.stderr.read()
                self.proc.stdin.close()
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.communicate()
            raise
        return Result(stdout, stderr, self.proc.returncode)


def wait_for(predicate, timeout=30, step=0.05):
    """Polls until predicate() is true; returns its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(step)


@pytest.fixture
def install(tmp_path):
    """A full installation: the console and every stand-in that is built."""
    return Install(tmp_path / "install", CONSOLE_FILES + AGENT_FILES)


@pytest.fixture
def bare_install(tmp_path):
    """The console alone, without any agent component."""
    return Install(tmp_path / "install", CONSOLE_FILES)


class Agent:
    """The scripted tesdk.dll stand-in: a script to answer with, and the
    request log to check what the console sent."""

    def __init__(self, folder):
        self.folder = Path(folder)
        self.folder.mkdir(parents=True, exist_ok=True)
        self.script_path = self.folder / "script.json"
        self.log_path = self.folder / "requests.jsonl"
        self.script({})

    def script(self, script):
        """Sets the script (a dict, written as JSON) for the next console run."""
        self.script_path.write_text(json.dumps(script))

    @property
    def env(self):
        return {"PRODUCT_TESDK_SCRIPT": windows_path(self.script_path),
                "PRODUCT_TESDK_LOG": windows_path(self.log_path)}

    def entries(self, event=None):
        """Logged entries in arrival order, optionally of one kind."""
        if not self.log_path.exists():
            return []
        entries = [json.loads(line) for line in self.log_path.read_text(encoding="utf-8").splitlines() if line]
        return [e for e in entries if event is None or e["event"] == event]

    def calls(self, kind="request"):
        """(module, method, input) of every method sent with Request (or
        posted, with kind="post"), in order."""
        calls = []
        for entry in self.entries(kind):
            for module, methods in entry["document"].get("data", {}).items():
                for method in methods:
                    calls.append((module, method.get("@name"), method.get("input")))
        return calls

    def wait_for(self, event, count=1, timeout=30):
        return wait_for(lambda: len(self.entries(event)) >= count, timeout=timeout)


@pytest.fixture
def agent(tmp_path, install):
    """A scripted agent wired into the `install` fixture's environment."""
    scripted = Agent(tmp_path / "agent")
    install.env.update(scripted.env)
    return scripted


def answer(output=None, error=0, **extra):
    """One scripted method answer."""
    result = {"error": error, **extra}
    if output is not None:
        result["output"] = output
    return result
