"""The binding against the real built engine."""
import json
import os
import random
import shutil
import subprocess
import threading

import pytest

from conftest import ROOT, SAMPLES
from kpl_engine import Engine, EngineError, EngineHomeError, ScanError, find_home

SAMPLE_FILES = sorted(os.path.join(SAMPLES, name) for name in os.listdir(SAMPLES))


# These two come before the shared engine starts: they start and stop their own.
def test_wrong_home_is_a_clear_error(tmp_path):
    cwd = os.getcwd()
    with pytest.raises(EngineHomeError, match="no engine home"):
        Engine(home=str(tmp_path))
    # The engine alone, without its databases, cannot start.
    shutil.copy(os.path.join(find_home(), "kpl_engine.so"), tmp_path)
    with pytest.raises(EngineHomeError, match="failed to start in " + str(tmp_path)):
        Engine(home=str(tmp_path))
    assert os.getcwd() == cwd


def test_engines_start_and_stop_in_turn():
    cwd = os.getcwd()
    path = os.path.join(SAMPLES, "document.pdf")
    with Engine() as first:
        answer = first.scan(path)
        with Engine() as second:  # shares the started engine
            assert second.scan(path) == answer
        assert first.scan(path) == answer
    # The next start loads a fresh engine: answers do not drift.
    with Engine() as again:
        assert again.scan(path) == answer
    assert os.getcwd() == cwd
    with pytest.raises(EngineError, match="closed"):
        again.scan(path)


@pytest.fixture(scope="module")
def engine():
    with Engine() as e:
        yield e


def test_answers_equal_the_command_line_hosts(engine):
    host = os.environ.get("KPL_FILETYPE", os.path.join(ROOT, "build", "tools", "kpl-filetype"))
    if not os.path.exists(host):
        pytest.skip("no command-line host at %s" % host)
    run = subprocess.run([host, "--home", engine.home, SAMPLES], capture_output=True, check=True)
    lines = [json.loads(line) for line in run.stdout.splitlines()]
    assert [line.pop("path") for line in lines] == SAMPLE_FILES
    assert [engine.scan(p) for p in SAMPLE_FILES] == lines
    assert lines[SAMPLE_FILES.index(os.path.join(SAMPLES, "archive.zip"))]["typeID"] == "ZIP"
    with pytest.raises(ScanError):
        engine.scan(os.path.join(SAMPLES, "no-such-file"))


def test_sixteen_threads_agree_with_one(engine):
    expected = {p: engine.scan(p) for p in SAMPLE_FILES}
    results, errors = [], []

    def worker(seed):
        order = SAMPLE_FILES * 4
        random.Random(seed).shuffle(order)
        try:
            results.extend((p, engine.scan(p)) for p in order)
        except Exception as e:  # reported below, with the thread's seed
            errors.append((seed, e))

    threads = [threading.Thread(target=worker, args=(seed,)) for seed in range(16)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert not errors
    assert len(results) == 16 * 4 * len(SAMPLE_FILES)
    assert all(answer == expected[p] for p, answer in results)


def _resident_bytes():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def test_every_string_is_given_back(engine):
    # Each answer is a string of about 150 bytes in the engine's store:
    # 10,000 kept would grow the process by well over a megabyte.
    path = os.path.join(SAMPLES, "archive.tar.gz")
    for _ in range(1000):
        engine.scan(path)
    before = _resident_bytes()
    for _ in range(10000):
        engine.scan(path)
    assert _resident_bytes() - before < 512 * 1024


def test_file_type_needs_the_entry_point(engine):
    text = os.path.join(SAMPLES, "notes.txt")
    if not engine._engine.has_file_type:
        with pytest.raises(NotImplementedError):
            engine.file_type(text)
        return
    answer = engine.file_type(text, extension="csv")
    assert answer["typeID"] == "CSV"
    assert answer["type_ids"] == ["TXT", "CSV"]
