"""The console's diagnostics log through the log.dll stand-in: what reaches
it while a command runs, its settings file, and consoles writing at once."""
from collections import defaultdict

from conftest import windows_path
from test_history import FUNCTION, LINE, History, Log


def test_a_commands_lines_and_its_telemetry_dump_reach_the_log(install, tmp_path):
    history = History(install, tmp_path)
    result = install.run("/c", "Support.GetHistory")
    assert (result.stdout, result.returncode) == (b"", 0)
    lines = history.log.lines()
    assert ("INFO", FUNCTION, history.start_process()) in lines
    # The dump is written inside the sending function's trace scope, which
    # the log indents.
    dumps = [message.strip() for level, function, message in lines
             if function == "Product::TelemetryST::TelemetryApp::SendTelemetryEvent"
             and message.strip().startswith("Dumped telemetry event data: ")]
    assert len(dumps) == 1
    assert '"tool":"Product.Console Support.GetHistory"' in dumps[0]
    text = history.log.path.read_bytes().decode("utf-8")
    assert all(LINE.match(line).group(5) == "Product.Console.exe" for line in text.split("\r\n")[:-1])


def test_an_unknown_command_opens_no_log(install, tmp_path):
    history = History(install, tmp_path)
    install.run(stdin="Nope\nexit\n")  # not a registered command: nothing runs, nothing is logged
    assert history.log.lines() == []


def test_the_settings_file_beside_the_library_chooses_the_levels(install, tmp_path):
    history = History(install, tmp_path)
    (install.root / "log.ini").write_bytes(b"[Log]\r\nLevels=4\r\n")
    install.remove("telowprivilegeworker.exe")
    assert install.run("/c", "Support.GetHistory").stdout == b"error 1067"
    assert history.log.lines() == [("ERROR", FUNCTION, "Failed to create worker process [error = 2]")]


def test_the_settings_file_chooses_the_folder_when_the_environment_does_not(install, tmp_path):
    History(install, tmp_path)
    del install.env["PRODUCT_LOG_DIR"]
    folder = tmp_path / "configured logs"
    (install.root / "log.ini").write_bytes(f"[Log]\r\nFolder={windows_path(folder)}\r\n".encode())
    install.run("/c", "Support.GetHistory")
    assert any(function == FUNCTION for _, function, _ in Log(folder).lines())


def test_consoles_writing_at_once_never_mix_their_lines(install, tmp_path):
    history = History(install, tmp_path)
    runs = 8
    consoles = [install.start() for _ in range(2)]
    # A file of each console's own: two workers writing one file at once fail.
    targets = [windows_path(tmp_path / f"history{n}.csv") for n in range(len(consoles))]
    for console, target in zip(consoles, targets):
        console.send(f"Support.GetHistory format=csv path={target}\n" * runs + "exit\n")
    for console in consoles:
        assert console.finish().returncode == 0

    text = history.log.path.read_bytes().decode("utf-8")
    assert text.endswith("\r\n")
    per_process = defaultdict(list)
    for line in text.split("\r\n")[:-1]:
        match = LINE.match(line)
        assert match, f"not a log line: {line!r}"
        if match[6] == FUNCTION:
            per_process[match[2]].append(match[7])
    assert len(per_process) == 2
    assert sorted(messages[0] for messages in per_process.values()) == sorted(
        history.start_process(f'--format=csv --output="{target}"') for target in targets)
    for messages in per_process.values():
        assert messages == [messages[0], "Worker finished job"] * runs
