"""The on-demand scan command against the scripted agent: exact output bytes,
what was posted and asked, and how long the console waited."""
# ctest: TIMEOUT=600 LOCKS=registry SLOW
import re
import time

import pytest

from conftest import answer

COMMAND = "FileScan.OnDemand.RunScanTask"
TASK_ID = re.compile(r"[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}")

SUMMARY = {"totalscanned": 10, "stillinfected": 1, "stillsuspicious": 2,
           "disinfected": 3, "deleted": 4, "moved": 5}
SCAN_OUTPUT = {"scanSummary": {"IOErrors": 1, "archiveBombs": 2, "archivePasswordProtected": 4}}
SUMMARY_LINES = (b"Status: finished\r\n"
                 b"Log path: C:\\logs\\scan.log\r\n"
                 b"Scanned items: 10\r\n"
                 b"Remaining issues: 3\r\n"
                 b"Resolved issues: 12\r\n"
                 b"Objects that were not scanned: 7\r\n")


def policy_event(delay_ms=0, **changes):
    data = {"taskid": "${input:customScanTask/taskId}", "logfilepath": "C:\\logs\\scan.log",
            "runstatus": 0, "extraData": {"summary": dict(SUMMARY)}}
    data["extraData"]["summary"].update(changes.pop("summary", {}))
    data.update(changes)
    return {"name": "FileScan.OnDemand.ScanLog.Policy", "data": data, "delay_ms": delay_ms}


def scan(delay_ms=0, progress_error=0, **policy):
    """A scan that answers the post and reports its log event after delay_ms."""
    return {"FileScan.OnDemand/RunScanTask": answer(SCAN_OUTPUT, delay_ms=delay_ms,
                                                    notifications=[policy_event(delay_ms, **policy)]),
            "FileScan.OnDemand/GetScanProgress": answer({"progress": [{"progressError": progress_error}]}),
            "FileScan.OnDemand/StopScanTask": {"no_answer": True}}


SILENT_SCAN = {"FileScan.OnDemand/RunScanTask": {"no_answer": True},
               "FileScan.OnDemand/StopScanTask": {"no_answer": True}}


def method_calls(agent, method, kind):
    return [call[2] for call in agent.calls(kind) if call[:2] == ("FileScan.OnDemand", method)]


def test_arrivals_in_the_first_second_print_the_summary_without_polling(install, agent):
    agent.script({"answers": scan(delay_ms=300)})
    result = install.run("/c", COMMAND, "custom", "path=C:\\a", "path=D:\\b", "scanMemory=true")
    assert (result.stdout, result.returncode) == (SUMMARY_LINES, 0)
    assert method_calls(agent, "GetScanProgress", "request") == []

    [post] = agent.entries("post")
    [task] = method_calls(agent, "RunScanTask", "post")
    task_id = task["customScanTask"]["taskId"]
    assert TASK_ID.fullmatch(task_id)
    assert post["requestId"] == task_id
    assert task["storedScanTask"] == {"userSid": "", "taskId": ""}
    settings = task["customScanTask"]["scanSettings"]
    assert settings["pathsToBeScanned"] == [{"path": "C:\\a"}, {"path": "D:\\b"}]
    assert settings["scanMemory"] is True


@pytest.mark.parametrize("policy, output", [
    ({"runstatus": 1}, SUMMARY_LINES.replace(b"finished", b"aborted")),
    ({"runstatus": 2}, SUMMARY_LINES.replace(b"finished", b"stopped")),
    ({"runstatus": 5}, SUMMARY_LINES.replace(b"finished", b"")),
    ({"summary": {"totalscanned": -1}}, b"error: 1359\r\nerror 1359"),
    ({"summary": {"moved": "5"}}, b"error: 1359\r\nerror 1359"),
])
def test_summary_from_the_log_event(install, agent, policy, output):
    agent.script({"answers": scan(**policy)})
    result = install.run("/c", COMMAND, "custom")
    assert result.stdout == output


@pytest.mark.parametrize("args, output", [
    ([], b"No parameters found! \r\nerror 160"),
    (["scanMemory=true"], b"error 160"),
    (["custom", "infectedAction1=Delete", "scanMemory=bogus"], b"Wrong value for infectedAction1!\r\nerror 160"),
    (["custom", "extensionType=custom"],
     b"Missing customExt parameter! You have to set this if extensionType is custom.\r\nerror 160"),
])
def test_bad_arguments_contact_nobody(install, agent, args, output):
    agent.script({"answers": scan()})
    result = install.run("/c", COMMAND, *args)
    assert (result.stdout, result.returncode) == (output, 0)
    assert agent.entries("post") == [] and agent.entries("request") == []
    assert len(agent.entries("instance_created")) == 1  # the console's own connection only


def test_receiver_refused_by_the_agent(install, agent):
    agent.script({"answers": scan(), "instance": [{"status": 0}, {"status": 5}]})
    result = install.run("/c", COMMAND, "custom")
    assert result.stdout == b"Failed to connect! \r\nerror 2250"
    assert agent.entries("post") == []


def test_post_refused_by_the_agent(install, agent):
    agent.script({"answers": {"FileScan.OnDemand/RunScanTask": {"post_status": 1460}}})
    result = install.run("/c", COMMAND, "custom")
    assert result.stdout == b"Excute command failed! \r\nerror 1359"


def test_a_25_second_scan_is_polled_twice(install, agent):
    agent.script({"answers": scan(delay_ms=25000)})
    started = time.monotonic()
    result = install.run("/c", COMMAND, "custom")
    elapsed = time.monotonic() - started
    assert (result.stdout, result.returncode) == (SUMMARY_LINES, 0)
    assert 24 < elapsed < 35
    [task] = method_calls(agent, "RunScanTask", "post")
    task_id = task["customScanTask"]["taskId"]
    polls = agent.entries("request")
    assert [entry["timeout_ms"] for entry in polls] == [5000, 5000]
    assert method_calls(agent, "GetScanProgress", "request") == [
        {"tasks": [{"userSid": "", "taskId": task_id}]}] * 2
    # After about ten and twenty seconds of waiting.
    post_time = agent.entries("post")[0]["time_ms"]
    offsets = [(entry["time_ms"] - post_time) / 1000 for entry in polls]
    assert 9.5 < offsets[0] < 13 and 19.5 < offsets[1] < 25, offsets


def test_progress_error_then_arrivals_within_five_seconds(install, agent):
    agent.script({"answers": scan(delay_ms=12000, progress_error=3)})
    result = install.run("/c", COMMAND, "custom")
    assert (result.stdout, result.returncode) == (SUMMARY_LINES, 0)
    assert len(method_calls(agent, "GetScanProgress", "request")) == 1


def test_progress_error_then_silence_ends_the_wait_five_seconds_later(install, agent):
    agent.script({"answers": scan(delay_ms=18000, progress_error=3)})
    started = time.monotonic()
    result = install.run("/c", COMMAND, "custom")
    elapsed = time.monotonic() - started
    # Interrupted, but not by the user: 1359 is shown, the result is 1223.
    assert result.stdout == b"error: 1359\r\ndescription: Scan interrupted.\r\n"
    assert 14 < elapsed < 18
    assert method_calls(agent, "StopScanTask", "post") == []


def test_ctrl_c_stops_the_task_and_ends_the_shell(install, agent):
    agent.script({"answers": SILENT_SCAN})
    console = install.start()
    console.send(COMMAND + " custom\n")
    assert agent.wait_for("post")
    time.sleep(0.3)
    console.interrupt()
    # 1223 ends the interactive shell although its input stays open.
    result = console.finish(timeout=30, close_input=False)
    assert result.stdout == (COMMAND.encode() + b" custom\r\n"
                             b"error: 1223\r\n"
                             b"description: Scan interrupted.\r\n")
    run_post, stop_post = agent.entries("post")
    task_id = run_post["requestId"]
    assert stop_post["requestId"] == task_id
    assert method_calls(agent, "StopScanTask", "post") == [{"userSid": "", "taskId": task_id}]


def test_two_scans_in_one_run_have_two_task_identifiers(install, agent):
    agent.script({"answers": scan()})
    line = COMMAND + ' custom path="C:\\Program Files\\x"\n'
    result = install.run(stdin=line * 2 + "exit\n")
    echo = line.replace("\n", "\r\n").encode()
    assert result.stdout == (echo + SUMMARY_LINES + b"\r\n") * 2 + b"exit\r\n"
    tasks = method_calls(agent, "RunScanTask", "post")
    assert [t["customScanTask"]["scanSettings"]["pathsToBeScanned"] for t in tasks] == \
        [[{"path": "C:\\Program Files\\x"}]] * 2
    first, second = (t["customScanTask"]["taskId"] for t in tasks)
    assert first != second


def test_ctrl_c_between_scans_does_not_stop_the_next_one(install, agent):
    agent.script({"answers": scan()})
    console = install.start()
    console.send(COMMAND + " custom\n")
    assert agent.wait_for("notification")
    time.sleep(0.5)  # the scan has ended; the shell waits for the next line
    console.interrupt()
    time.sleep(0.5)
    console.send(COMMAND + " custom\nexit\n")
    result = console.finish(timeout=60)
    echo = COMMAND.encode() + b" custom\r\n"
    assert result.stdout == (echo + SUMMARY_LINES + b"\r\n") * 2 + b"exit\r\n"
    assert method_calls(agent, "StopScanTask", "post") == []
