"""The console against an agent library that is not our stand-in: it grants a
number of instances and refuses every further one, after writing a poisoned
object into the out-pointer. Every call it sees is logged, one per line."""
# ctest: TIMEOUT=120
import shutil

from conftest import BIN_DIR, wait_for, windows_path


class RefusingAgent:
    def __init__(self, install, folder, grants):
        shutil.copy2(BIN_DIR / "refusing_agent.dll", install.root / "tesdk.dll")
        self.log = folder / "refusing-agent.log"
        install.env.update({"REFUSING_AGENT_LOG": windows_path(self.log), "REFUSING_AGENT_GRANTS": str(grants)})

    def calls(self):
        return self.log.read_text().splitlines() if self.log.exists() else []


def test_a_refused_instance_at_start_is_never_touched(install, tmp_path):
    agent = RefusingAgent(install, tmp_path, grants=0)
    result = install.run("/c", "GetVersion", "product")
    # The start ends with the library's code; the host sees its low byte.
    assert (result.stdout, result.returncode) == (b"", 1359 & 0xFF)
    assert agent.calls() == ["refused"]


def test_a_refused_reload_leaves_the_runner_without_an_instance(install, tmp_path):
    agent = RefusingAgent(install, tmp_path, grants=1)
    console = install.start()
    # The answer comes with an update event asking for a reload, which the
    # library then refuses.
    console.send("GetVersion product\n")
    assert wait_for(lambda: "refused" in agent.calls())
    console.send("GetVersion product\nexit\n")
    result = console.finish(timeout=60)
    assert result.stdout == (b"GetVersion product\r\n1.0\r\n"
                             b"GetVersion product\r\nerror 2250\r\n"
                             b"exit\r\n")
    assert agent.calls() == ["granted", "request", "released", "refused"]


def test_callbacks_still_running_when_the_library_unregisters(install, tmp_path):
    # A library whose UnregisterCallbacks returns while a callback still runs
    # in the console. Every delivery asks the runner to reload behind 4 MiB of
    # padding, so the runner reloads all the time; each support command opens
    # and closes a listening connection of its own.
    shutil.copy2(BIN_DIR / "late_callback_agent.dll", install.root / "tesdk.dll")
    log = tmp_path / "late-agent.log"
    install.env.update({"LATE_AGENT_LOG": windows_path(log), "LATE_AGENT_PAD": str(4 << 20)})
    result = install.run(stdin="GetVersion product\nSupport.AbortSession\n" * 25 + "exit\n", timeout=240)
    assert result.returncode == 0
    # The library answers every request with an empty document.
    assert result.stdout.count(b"error 1627\r\n") == 50, result.stdout
    assert not log.exists(), log.read_text()
