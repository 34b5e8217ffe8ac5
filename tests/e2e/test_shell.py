"""The shell as a script or a management tool drives it: lines on standard
input, exact bytes back."""
import pytest

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
