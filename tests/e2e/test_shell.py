"""The shell as a script or a management tool drives it: lines on standard
input, exact bytes back."""
import os
import select
import subprocess
import time
import tty

import pytest

from conftest import WINE_RUN, windows_path

CRLF = b"\r\n"


@pytest.mark.parametrize("encode", [
    pytest.param(lambda text: text.encode("utf-8"), id="utf8"),
    pytest.param(lambda text: b"\xef\xbb\xbf" + text.encode("utf-8"), id="utf8-bom"),
    pytest.param(lambda text: b"\xff\xfe" + text.encode("utf-16-le"), id="utf16le-bom"),
])
def test_piped_lines_are_echoed_and_unknown_commands_reported(install, encode):
    result = install.run(stdin=encode("Nope\r\n\nsupport.getstate\nexit\nNever\n"))
    assert result.stdout == (b"Nope" + CRLF + b"invalid command" + CRLF +
                             CRLF + CRLF +
                             b"support.getstate" + CRLF + b"invalid command" + CRLF +
                             b"exit" + CRLF)


def test_end_of_input_without_line_end_runs_the_last_line(install):
    result = install.run(stdin="Nope\nexit ")
    assert result.stdout == (b"Nope" + CRLF + b"invalid command" + CRLF +
                             b"exit " + CRLF + b"invalid command" + CRLF)


def test_non_ascii_lines_survive_the_echo(install):
    line = "Caf\u00e9 \u20ac \U0001F600"
    result = install.run(stdin=line + "\n")
    assert result.stdout == line.encode("utf-8") + CRLF + b"invalid command" + CRLF


def test_invalid_bytes_do_not_end_the_shell(install):
    result = install.run(stdin=b"a\xffb\nNope\n")
    assert result.stdout == ("a\ufffdb".encode("utf-8") + CRLF + b"invalid command" + CRLF +
                             b"Nope" + CRLF + b"invalid command" + CRLF)


@pytest.mark.parametrize("first, reply", [
    pytest.param(b"\n", b"\r\n\r\n", id="lf"),
    pytest.param(b"\r\n", b"\r\n\r\n", id="crlf"),
    pytest.param(b"x\n", b"x\r\ninvalid command\r\n", id="one-letter"),
])
def test_short_first_line_is_answered_while_the_pipe_stays_open(install, first, reply):
    console = install.start()
    console.send(first)
    received = console.read_until(reply, timeout=15)
    console.send("exit\n")
    result = console.finish(timeout=30)
    assert received == reply
    assert result.returncode == 0


def run_from_device(install, device, feed=b""):
    """Runs the console through cmd with standard input redirected from a
    device, feeding `feed` to the device's other end meanwhile."""
    proc = subprocess.Popen([WINE_RUN, "cmd", "/c", windows_path(install.exe), "<", device],
                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                            env=install._env(None), cwd=install.root)
    deadline = time.monotonic() + 60
    master = feed.fileno() if feed else None
    data = feed.data if feed else b""
    while proc.poll() is None and time.monotonic() < deadline:
        _, writable, _ = select.select([], [master] if master is not None and data else [], [], 0.1)
        if writable:
            data = data[os.write(master, data[:1024]):]
    if proc.poll() is None:
        proc.kill()
    return proc.stdout.read(), proc.wait()


class TerminalLine:
    """A terminal's device that is opened as a plain file, not as a console:
    a character device like a serial line. Reads of it return only once
    enough bytes are there, so blank lines follow what is meant."""

    def __init__(self, lines):
        self.master, self.slave = os.openpty()
        tty.setraw(self.slave)
        self.data = lines + b"\n" * 300000
        self.path = windows_path(os.ttyname(self.slave))

    def fileno(self):
        return self.master

    def close(self):
        os.close(self.slave)
        os.close(self.master)


def test_input_from_a_character_device_is_not_echoed(install):
    line = TerminalLine(b"Nope\nexit\n")
    try:
        assert run_from_device(install, line.path, line) == (b"invalid command" + CRLF, 0)
    finally:
        line.close()
    assert run_from_device(install, "NUL") == (b"", 0)
