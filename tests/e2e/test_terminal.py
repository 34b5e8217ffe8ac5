"""A person at a console: standard output on a terminal shows exactly the
text that a pipe receives, missing line ends included."""
import pytest

from conftest import answer
from helpers.terminal import Terminal, pipe_text

VERSION = {"answers": {"Product/GetStatus": answer({"Locations": {"Product": {"Version": "1.2.3.4"}}})}}


@pytest.mark.parametrize("args, expected", [
    (["/c", "GetVersion", "product"], "1.2.3.4"),
    (["/c", "Nope"], "invalid command"),
    (["/c", "GetVersion", "Product"], "error 87"),
])
def test_one_shot_answer_shows_on_the_terminal_as_on_a_pipe(install, agent, args, expected):
    agent.script(VERSION)
    piped = install.run(*args)
    assert pipe_text(piped.stdout) == expected
    screen, returncode = Terminal(install, *args).finish()
    assert (screen, returncode) == (expected, 0)


@pytest.mark.parametrize("args", [["/?"], ["/json", "/c", "GetVersion", "product"], ["/json", "/c", "Nope"]],
                         ids=["usage", "json", "json_unknown"])
def test_usage_and_json_show_on_the_terminal_as_on_a_pipe(install, agent, args):
    # The long usage text and the one-line documents, with their exit codes;
    # the screen, 80 columns wide, wraps what is longer.
    agent.script(VERSION)
    piped = install.run(*args)
    screen, returncode = Terminal(install, *args).finish()
    wrapped = "\n".join(line[i:i + 80] for line in pipe_text(piped.stdout).split("\n")
                         for i in range(0, max(len(line), 1), 80))
    assert (screen, returncode) == (wrapped, piped.returncode)
    assert len(screen) > 80


def test_scripted_lines_show_on_the_terminal_as_on_a_pipe(install, agent):
    agent.script(VERSION)
    lines = "GetVersion product\nNope\n\nexit\n"
    piped = install.run(stdin=lines)
    screen, returncode = Terminal(install, stdin=lines.encode()).finish()
    assert (screen, returncode) == (pipe_text(piped.stdout), 0)
    assert screen == "GetVersion product\n1.2.3.4\nNope\ninvalid command\n\n\nexit\n"


def test_typed_lines_show_as_a_pipe_shows_them_echoed(install, agent):
    # The console echoes what is typed; the shell adds no echo of its own, so
    # the screen reads like the piped run, where the shell echoes each line.
    agent.script(VERSION)
    terminal = Terminal(install, typing=True)
    for line, answer_text in [("GetVersion product", "1.2.3.4\n"), ("Nope", "invalid command\n")]:
        terminal.type(line + "\r")
        assert terminal.wait_for_text(line + "\n" + answer_text), terminal.raw
    terminal.type("exit\r")
    screen, returncode = terminal.finish()
    piped = install.run(stdin="GetVersion product\nNope\nexit\n")
    assert (screen, returncode) == (pipe_text(piped.stdout), 0)
