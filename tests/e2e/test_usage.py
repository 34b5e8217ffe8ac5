"""The usage: /? and /json /? answer without the agent's library, "help" in
the interactive shell answers the same and the shell goes on; the commands it
lists are the registered ones, and the reference describes each of them."""
import json
import re
from pathlib import Path

from conftest import answer, windows_path
from helpers.json_output import document, documents

REFERENCE = Path(__file__).resolve().parents[2] / "docs" / "commands.md"


def listed_commands(usage_text):
    """The command names of the text usage's "Commands:" section."""
    section = usage_text.split("\r\nCommands:\r\n", 1)[1].split("\r\n\r\n", 1)[0]
    return [m.group(1) for m in re.finditer(r"^  (\S+)", section, re.MULTILINE)]


def test_usage_answers_without_the_agent(bare_install):
    text = bare_install.run("/?")
    assert text.returncode == 0 and text.stderr == b""
    usage = text.stdout.decode("utf-8")
    assert usage.startswith("Product.Console: ") and usage.endswith(".\r\n")
    assert "\n" not in usage.replace("\r\n", "")
    as_json = document(bare_install.run("/json", "/?"))
    assert (as_json["command"], as_json["arguments"], as_json["result"]) == ("/?", [], 0)
    names = [command["name"] for command in as_json["data"]["commands"]]
    assert listed_commands(usage) == names and len(names) == 14
    # The reference has a section for each, and for nothing else.
    headings = re.findall(r"^## (.+)$", REFERENCE.read_text(encoding="utf-8"), re.MULTILINE)[1:]
    assert headings == names
    for command in as_json["data"]["commands"]:
        assert f"  {command['name']} {command['arguments']}".rstrip() + "\r\n      " + command["summary"] in usage
    for code in as_json["data"]["resultCodes"]:
        assert f"\r\n  {code['code']:<6} {code['message']}\r\n" in usage


def test_help_in_the_shell_lists_the_commands_and_the_shell_goes_on(install, agent, tmp_path):
    telemetry = tmp_path / "telemetry"
    install.env["PRODUCT_TELEMETRY_DIR"] = windows_path(telemetry)
    agent.script({"answers": {"Product/GetStatus": answer({"Locations": {"Product": {"Version": "9"}}})}})
    usage = install.run("/?").stdout
    result = install.run(stdin="help\nGetVersion product\nhelp \nexit\n")
    assert result.stdout == (b"help\r\n" + usage + b"\r\n" + b"GetVersion product\r\n9\r\n"
                             b"help \r\ninvalid command\r\nexit\r\n")
    # help is no command: only GetVersion reached telemetry.
    events = [json.loads(line) for line in (telemetry / "events.jsonl").read_text().splitlines()]
    assert [event["tool"] for event in events] == ["Product.Console GetVersion"]
    # The same list as one document in the JSON shell.
    [help_document, version] = documents(install.run("/json", stdin="help\nGetVersion product\n").stdout)
    assert help_document["command"] == "help"
    assert help_document["data"] == document(install.run("/json", "/?"))["data"]
    assert version["data"] == {"version": "9"}
