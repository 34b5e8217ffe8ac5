"""Support.GetHistory gives a hanging worker 60 seconds, then ends it and
reports a response timeout, in the text and the JSON mode (both run at once)."""
# ctest: SLOW TIMEOUT=400
import time

import pytest

from conftest import wait_for
from helpers.json_output import document, envelope
from test_history import History, SESSIONS, live_workers


@pytest.fixture
def history(install, tmp_path):
    seeded = History(install, tmp_path)
    seeded.seed(SESSIONS)
    return seeded


def test_a_worker_still_running_after_a_minute_is_ended(install, history):
    hang = {"PRODUCT_WORKER_HANG_MS": "300000"}
    started = time.monotonic()
    text = install.start("/c", "Support.GetHistory", "format=csv", env=hang)
    as_json = install.start("/json", "/c", "Support.GetHistory", "format=csv", env=hang)
    text_result = text.finish(timeout=200)
    json_result = as_json.finish(timeout=200)
    elapsed = time.monotonic() - started
    assert (text_result.stdout, text_result.returncode) == (b"error 1460", 0)
    assert document(json_result) == envelope("Support.GetHistory", ["format=csv"], 1460, "response timeout",
                                             {"workerTerminated": True})
    assert 59 <= elapsed < 120
    assert sorted(history.worker_lines()) == sorted([("INFO", history.start_process("--format=csv ")),
                                                     ("ERROR", "Worker timed out")] * 2)
    assert wait_for(lambda: not live_workers(install), timeout=30)
    assert not (history.folder / "SupportHistory.csv").exists()
