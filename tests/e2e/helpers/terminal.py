"""A pseudo-terminal as a person's console: Wine shows a console program's
screen through it, so what the terminal receives is the text a person sees,
wrapped in the terminal's escape sequences."""
import os
import re
import select
import subprocess
import termios
import time

from conftest import WINE_RUN

# CSI and OSC sequences, and the two-character escapes.
_ESCAPES = re.compile(rb"\x1b\[[0-?]*[ -/]*[@-~]|\x1b\][^\x07\x1b]*(?:\x07|\x1b\\)|\x1b[@-Z\\-_]")


def visible_text(raw):
    """What the screen shows, line by line: escape sequences dropped and each
    line end (however many CRs the terminal adds) as one "\\n"."""
    text = _ESCAPES.sub(b"", raw)
    return re.sub(rb"\r*\n", b"\n", text).decode("utf-8")


def pipe_text(raw):
    """A pipe's bytes in the same form."""
    return raw.decode("utf-8").replace("\r\n", "\n")


class Terminal:
    """The console running with standard output (and, with typing=True,
    standard input) on a pseudo-terminal; standard error stays a pipe."""

    def __init__(self, install, *args, typing=False, stdin=b"", env=None):
        self.master, slave = os.openpty()
        try:
            self.proc = subprocess.Popen([WINE_RUN, str(install.exe), *args],
                                         stdin=slave if typing else subprocess.PIPE,
                                         stdout=slave, stderr=subprocess.PIPE,
                                         env=install._env(env), cwd=install.root)
        finally:
            os.close(slave)
        if not typing:
            self.proc.stdin.write(stdin)
            self.proc.stdin.close()
        self.raw = b""

    def _read(self, timeout):
        """Adds what arrives within `timeout`; None once the terminal is
        closed, else the bytes read (empty on time-out)."""
        ready, _, _ = select.select([self.master], [], [], timeout)
        if not ready:
            return b""
        try:
            data = os.read(self.master, 4096)
        except OSError:  # the last writer has gone
            return None
        self.raw += data
        return data or None

    def wait_for_text(self, text, timeout=30):
        """Reads until the screen shows `text` at its end; false on time-out."""
        deadline = time.monotonic() + timeout
        while not visible_text(self.raw).endswith(text):
            if time.monotonic() > deadline or self._read(0.1) is None:
                return visible_text(self.raw).endswith(text)
        return True

    def type(self, keys):
        """Types on the keyboard ("\r" is Enter). Keys typed before the console
        has switched the terminal to raw input would be taken by the terminal
        driver's own line editing, so that is waited for first."""
        deadline = time.monotonic() + 30
        while termios.tcgetattr(self.master)[3] & termios.ICANON and time.monotonic() < deadline:
            self._read(0.05)
        os.write(self.master, keys.encode("utf-8"))

    def finish(self, timeout=60):
        """Reads to the end of the process; returns (screen text, exit code)."""
        deadline = time.monotonic() + timeout
        try:
            while self.proc.poll() is None and time.monotonic() < deadline:
                self._read(0.1)
            self.proc.wait(timeout=max(0.1, deadline - time.monotonic()))
            # Whatever the terminal still holds.
            while self._read(0.3):
                pass
        finally:
            if self.proc.poll() is None:
                self.proc.kill()
                self.proc.wait()
            os.close(self.master)
            self.proc.stderr.close()
        return visible_text(self.raw), self.proc.returncode
