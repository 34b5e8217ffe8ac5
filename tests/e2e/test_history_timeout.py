"""Support.GetHistory gives a hanging worker 60 seconds, then ends it and
still succeeds."""
# ctest: SLOW TIMEOUT=400
import time

import pytest

from conftest import wait_for
from test_history import History, SESSIONS, live_workers


@pytest.fixture
def history(install, tmp_path):
    seeded = History(install, tmp_path)
    seeded.seed(SESSIONS)
    return seeded


def test_a_worker_still_running_after_a_minute_is_ended(install, history):
    started = time.monotonic()
    result = install.run("/c", "Support.GetHistory", "format=csv", env={"PRODUCT_WORKER_HANG_MS": "300000"},
                         timeout=200)
    elapsed = time.monotonic() - started
    assert (result.stdout, result.returncode) == (b"", 0)
    assert 59 <= elapsed < 120
    assert history.worker_lines() == [("INFO", history.start_process("--format=csv ")),
                                      ("ERROR", "Worker timed out")]
    assert wait_for(lambda: not live_workers(install), timeout=30)
    assert not (history.folder / "SupportHistory.csv").exists()
