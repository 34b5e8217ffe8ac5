"""The consoles' machine-wide cancel event (set by ConsoleCancel.exe) against
a waiting support command. Every console of the Wine prefix hears the event,
so this module runs alone."""
# ctest: SERIAL
import subprocess
import threading
import time

from conftest import BIN_DIR, WINE_RUN, answer

WAITING = b"Waiting for operation to complete...\r\n"
INTERRUPTED = b"The wait was interrupted. Exiting...\r\n"
FAIL = b"Operation completed.\r\nStatus: fail\r\n"


def console_cancel():
    result = subprocess.run([WINE_RUN, str(BIN_DIR / "ConsoleCancel.exe")], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, timeout=60)
    assert (result.stdout, result.returncode) == (b"Cancel requested.\r\n", 0)


class OutputClock:
    """Reads the console's standard output as it arrives and notes when."""

    def __init__(self, stream):
        self.stream = stream
        self.pieces = []  # (arrival time, bytes)
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        for line in iter(self.stream.readline, b""):
            self.pieces.append((time.monotonic(), line))

    def arrival(self, text, timeout=30):
        """When the output first held `text`, or None."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            received = b""
            for when, piece in list(self.pieces):
                received += piece
                if text in received:
                    return when
            time.sleep(0.02)
        return None

    def text(self):
        self.thread.join(timeout=30)
        return b"".join(piece for _, piece in self.pieces)


def test_cancel_event_ends_the_wait_once_and_only_the_first_time(install, agent):
    ended = {"name": "Product.Support.SessionEnded", "data": {"status": "error"}, "delay_ms": 4000}
    agent.script({"answers": {"Product.Support/EndTroubleshoot": [answer({}), answer({}, notifications=[ended])]}})
    console = install.start()
    output = OutputClock(console.proc.stdout)
    console.send("Support.EndSession\n")
    assert agent.wait_for("request")
    time.sleep(0.5)
    before_cancel = time.monotonic()
    console_cancel()
    after_cancel = time.monotonic()
    # The first answer brings no notification: only the cancel can end this
    # wait. The shell's line end after the message shows that the command has
    # returned. The tool sets the event and keeps it set for half a second
    # before it returns; the wait sleeps in one-second steps.
    wait_ended = output.arrival(b"Support.EndSession\r\n" + WAITING + INTERRUPTED + b"\r\n")
    assert wait_ended is not None
    assert before_cancel < wait_ended < after_cancel + 1.0
    # The observer cancels the command once. The Ctrl+C it raises afterwards
    # needs a console, which a process without a terminal lacks under Wine,
    # so there is no second cancel and no second message.

    # The observer has done its one job: a second setting changes nothing,
    # and the next wait ends on the agent's event.
    console.send("Support.EndSession\n")
    assert agent.wait_for("request", count=2)
    time.sleep(0.5)
    console_cancel()
    console.send("exit\n")
    console.proc.stdin.close()
    assert console.proc.wait(timeout=30) == 0
    assert output.text() == (b"Support.EndSession\r\n" + WAITING + INTERRUPTED + b"\r\n" +
                             b"Support.EndSession\r\n" + WAITING + FAIL + b"\r\nexit\r\n")
