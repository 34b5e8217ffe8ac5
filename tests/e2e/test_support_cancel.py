"""The consoles' machine-wide cancel event (set by ConsoleCancel.exe) against
a waiting support command. Every console of the Wine prefix hears the event,
so this module runs alone."""
# ctest: SERIAL
import subprocess
import time

from conftest import BIN_DIR, WINE_RUN, answer

WAITING = b"Waiting for operation to complete...\r\n"
INTERRUPTED = b"The wait was interrupted. Exiting...\r\n"
FAIL = b"Operation completed.\r\nStatus: fail\r\n"


def console_cancel():
    result = subprocess.run([WINE_RUN, str(BIN_DIR / "ConsoleCancel.exe")], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, timeout=60)
    assert (result.stdout, result.returncode) == (b"Cancel requested.\r\n", 0)


def test_cancel_event_ends_the_wait_once_and_only_the_first_time(install, agent):
    ended = {"name": "Product.Support.SessionEnded", "data": {"status": "error"}, "delay_ms": 4000}
    agent.script({"answers": {"Product.Support/EndTroubleshoot": [answer({}), answer({}, notifications=[ended])]}})
    console = install.start()
    console.send("Support.EndSession\n")
    assert agent.wait_for("request")
    time.sleep(0.5)
    interrupted = time.monotonic()
    console_cancel()
    # The observer cancels the command once. The Ctrl+C it raises afterwards
    # needs a console, which a process without a terminal lacks under Wine,
    # so there is no second cancel and no second message.
    time.sleep(1.5)
    assert time.monotonic() - interrupted < 3

    # The observer has done its one job: a second setting changes nothing,
    # and the next wait ends on the agent's event.
    console.send("Support.EndSession\n")
    assert agent.wait_for("request", count=2)
    time.sleep(0.5)
    console_cancel()
    console.send("exit\n")
    result = console.finish(timeout=30)
    assert result.stdout == (b"Support.EndSession\r\n" + WAITING + INTERRUPTED + b"\r\n" +
                             b"Support.EndSession\r\n" + WAITING + FAIL + b"\r\nexit\r\n")
    assert result.returncode == 0
