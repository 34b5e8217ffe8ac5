"""The documents of the console's JSON mode, read the way a management tool
reads them: one object per line of standard output, each line ended by CR LF,
strict UTF-8, and valid against the schema in docs/. Every test that reads
JSON output reads it through here."""
import json
from pathlib import Path

from jsonschema import Draft202012Validator

SCHEMA = Path(__file__).resolve().parents[3] / "docs" / "console-output.schema.json"
VALIDATOR = Draft202012Validator(json.loads(SCHEMA.read_text(encoding="utf-8")))


def _strict(pairs):
    keys = [key for key, _ in pairs]
    assert len(keys) == len(set(keys)), f"duplicate member in {keys}"
    return dict(pairs)


def documents(stdout):
    """Every document of a run's standard output (bytes), in order. Nothing
    but documents may be there."""
    assert stdout == b"" or stdout.endswith(b"\r\n"), f"not ended by a line end: {stdout[-80:]!r}"
    found = []
    for line in stdout.split(b"\r\n")[:-1]:
        assert line.startswith(b"{") and b"\n" not in line and b"\r" not in line, f"not a document line: {line!r}"
        document = json.loads(line.decode("utf-8"), object_pairs_hook=_strict)
        errors = [f"{'/'.join(map(str, e.absolute_path))}: {e.message}" for e in VALIDATOR.iter_errors(document)]
        assert not errors, f"{document}\n" + "\n".join(errors)
        found.append(document)
    return found


def exit_status(code):
    """What a Linux parent sees of a Windows exit code (its low 8 bits)."""
    return code & 0xFF


def document(result):
    """The one document of a one-shot run, whose exit code is its result."""
    [found] = documents(result.stdout)
    assert result.returncode == exit_status(found["result"]), (result.returncode, found)
    return found


def envelope(command, arguments, result, message, data):
    return {"schemaVersion": 1, "command": command, "arguments": arguments, "result": result, "message": message,
            "data": data}
