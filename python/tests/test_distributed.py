"""Scans spread over several processes, against kpl-filetype's own answers:
kpl_engine.distributed on a local Dask cluster (workers killed on the way,
runs resumed, hostile file names) and the README's GNU parallel form.

Needs Debian's python3-distributed and parallel, which CI installs: without
them these tests fail. KPL_SKIP_DASK=1 skips them on a machine without."""
import collections
import io
import logging
import os
import shutil
import signal
import subprocess
import sys

import pytest

from conftest import ROOT

if os.environ.get("KPL_SKIP_DASK"):
    pytest.skip("KPL_SKIP_DASK is set", allow_module_level=True)

import distributed  # noqa: E402

from kpl_engine.distributed import list_paths, scan, scan_batch  # noqa: E402

HOST = os.environ.get("KPL_FILETYPE", os.path.join(ROOT, "build", "tools", "kpl-filetype"))
FIXTURES = os.path.join(ROOT, "tests", "fixtures")
# The command's worker processes import the package from the checkout.
ENV = dict(os.environ, PYTHONPATH=os.path.join(ROOT, "python"))


def run_host(*args, stdin=None):
    run = subprocess.run([HOST, *args], input=stdin, capture_output=True, timeout=120)
    return run.returncode, run.stdout.splitlines(keepends=True)


def run_scan(*args, stdin=None):
    return subprocess.run([sys.executable, "-m", "kpl_engine", "scan", *args], input=stdin,
                          capture_output=True, env=ENV, timeout=300)


def summary_rows(stderr):
    """The summary's "  TYPE  count" rows, which kpl-filetype and the command
    write alike."""
    return sorted(line for line in stderr.splitlines() if line.startswith(b"  "))


@pytest.fixture(scope="module")
def fixture_list(tmp_path_factory):
    paths = []
    for folder, _, names in os.walk(FIXTURES):
        paths += [os.path.join(folder, n).encode() for n in names if os.path.isfile(os.path.join(folder, n))]
    listing = tmp_path_factory.mktemp("list") / "fixtures.list"
    listing.write_bytes(b"".join(p + b"\n" for p in sorted(paths)))
    return str(listing)


@pytest.fixture(scope="module")
def reference(fixture_list):
    rc, lines = run_host("--files-from", fixture_list)
    assert rc == 0 and lines
    return lines


@pytest.fixture(scope="module")
def cluster():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None, silence_logs=logging.ERROR) as c:
        yield c


def test_local_cluster_answers_every_fixture_as_kpl_filetype():
    rc, expected = run_host(FIXTURES)
    run = run_scan("--workers", "2", "--batch-size", "16", FIXTURES)
    assert run.returncode == rc == 0, run.stderr
    assert sorted(run.stdout.splitlines(keepends=True)) == sorted(expected)
    host_stderr = subprocess.run([HOST, FIXTURES], capture_output=True).stderr
    assert summary_rows(run.stderr) == summary_rows(host_stderr)
    assert b"%d files in" % len(expected) in run.stderr


HOSTILE_NAMES = [
    b"new\nline.pdf",
    b"cr\rtab\t.pdf",
    b"back\\slash.pdf",
    b'quote".pdf',
    b"esc\x1b[31m.pdf",
    b"del\x7f.pdf",
    b"latin1 caf\xe9.pdf",                   # a stray byte
    b"cut \xe2\x82.pdf",                     # a truncated sequence
    b"surrogate \xed\xa0\x80.pdf",           # not UTF-8 either
    b"over \xf4\x90\x80\x80 long \xc0\xaf.pdf",
    "ünïcödé ✓.pdf".encode(),
]


def test_hostile_names_survive_as_kpl_filetype_writes_them(cluster, tmp_path):
    folder = os.fsencode(tmp_path / "share")
    os.mkdir(folder)
    pdf = os.path.join(ROOT, "samples", "files", "document.pdf")
    for name in HOSTILE_NAMES:
        shutil.copy(pdf, os.path.join(folder, name))
    paths = sorted(os.path.join(folder, name) for name in HOSTILE_NAMES)
    # The walk takes a link to a file and does not follow one to a folder
    # (here a loop).
    os.symlink(paths[0], os.path.join(folder, b"link.pdf"))
    os.symlink(folder, os.path.join(folder, b"loop"))
    # A path that is not a readable file: kpl-filetype's error line.
    unreadable = b"/dev/null"

    listing = b"".join(p + b"\0" for p in paths + [unreadable])
    rc, expected = run_host("--files-from", "-", "-0", stdin=listing)
    assert rc == 1
    assert sum(b'"error":"scan failed"' in line for line in expected) == 1
    assert sum(b'"path_bytes"' in line for line in expected) == 4

    scheduler = ("--scheduler", cluster.scheduler_address)
    walked = run_scan(*scheduler, os.fsdecode(folder))
    assert walked.returncode == 0, walked.stderr
    listed = run_scan(*scheduler, "--files-from", "-", "-0", stdin=listing)
    assert listed.returncode == 1
    assert sorted(listed.stdout.splitlines(keepends=True)) == sorted(expected)
    rc, expected_walk = run_host(os.fsdecode(folder))
    assert rc == 0 and len(expected_walk) == len(HOSTILE_NAMES) + 1
    assert sorted(walked.stdout.splitlines(keepends=True)) == sorted(expected_walk)


def test_resume_skips_what_the_output_answers_and_cuts_a_partial_line(cluster, fixture_list, reference, tmp_path):
    output = tmp_path / "out.jsonl"
    # A run killed while writing its 41st line.
    output.write_bytes(b"".join(reference[:40]) + reference[40][:30])
    run = run_scan("--scheduler", cluster.scheduler_address, "--files-from", fixture_list,
                   "-o", str(output), "--resume")
    assert run.returncode == 0, run.stderr
    lines = output.read_bytes().splitlines(keepends=True)
    assert lines[:40] == reference[:40]
    assert sorted(lines) == sorted(reference)
    assert b"%d files in" % (len(reference) - 40) in run.stderr
    assert b"40 already in" in run.stderr


@pytest.mark.parametrize("text, nul, expected", [
    (b"a\nb\r\n\n/c/../d", False, [b"/w/a", b"/w/b", b"/d"]),           # CRLF, empty entry, no last newline
    (b"new\nline\0/x//y/\0\0", True, [b"/w/new\nline", b"/x/y"]),
    (b"a\rb\n", False, [b"/w/a\rb"]),                                       # a CR inside a name stays
])
def test_list_entries_are_read_as_kpl_filetype_reads_them(text, nul, expected):
    # Blocks of 64 KiB: an entry that straddles two is still one entry.
    padded = b"/p/" + b"x" * 70000 + (b"\0" if nul else b"\n")
    got = list(list_paths(io.BytesIO(padded + text), nul, cwd=b"/w"))
    assert got == [padded[:-1]] + expected


def test_a_killed_worker_loses_no_batch_and_repeats_none(cluster, fixture_list, reference):
    with open(fixture_list, "rb") as f:
        paths = list(list_paths(f)) * 6
    killed = []
    with distributed.Client(cluster) as client:
        def kill_a_busy_worker(summary, finished_reading):
            if killed:
                return
            busy = [worker for worker, keys in client.processing().items() if keys]
            if busy:
                pid = client.run(os.getpid, workers=busy[:1])[busy[0]]
                os.kill(pid, signal.SIGKILL)
                killed.append(pid)

        out = io.BytesIO()
        summary = scan(client, iter(paths), out, batch_size=20, progress=kill_a_busy_worker)
    assert killed, "no worker was busy when a batch completed"
    assert collections.Counter(out.getvalue().splitlines(keepends=True)) == {line: 6 for line in reference}
    assert (summary.files, summary.failed) == (len(paths), 0)


def _dies_on_poison(paths, home=None):
    # A file on which the worker process dies, as a crash would kill it.
    if any(os.path.basename(p).startswith(b"poison") for p in paths):
        os._exit(1)
    return scan_batch(paths, home)


def test_a_file_that_kills_its_worker_costs_only_its_own_line(cluster, fixture_list, reference, tmp_path):
    with open(fixture_list, "rb") as f:
        innocent = list(list_paths(f))[:7]
    poison = os.fsencode(tmp_path / "poison.txt")
    paths = innocent[:5] + [poison] + innocent[5:]
    scheduler = cluster.scheduler
    allowed, scheduler.allowed_failures = scheduler.allowed_failures, 0  # one death marks a batch at once
    try:
        with distributed.Client(cluster) as client:
            out = io.BytesIO()
            # One batch at a time: only the poisoned batch is on a dying worker.
            summary = scan(client, iter(paths), out, batch_size=8, window=1, task=_dies_on_poison)
    finally:
        scheduler.allowed_failures = allowed
    lines = sorted(out.getvalue().splitlines(keepends=True))
    expected = sorted(reference[:7] + [b'{"path":"%s","error":"worker died","code":-1}\n' % poison])
    assert lines == expected
    assert (summary.files, summary.failed) == (8, 1)


def test_gnu_parallel_pipe_gives_one_runs_lines(fixture_list, reference):
    # The README's form without -S: blocks of the list on the stdin of
    # kpl-filetype processes.
    with open(fixture_list, "rb") as f:
        run = subprocess.run(["parallel", "--pipe", "--block", "1k", "-j2", HOST, "--files-from", "-"],
                             stdin=f, capture_output=True, timeout=300)
    assert run.returncode == 0, run.stderr
    assert sorted(run.stdout.splitlines(keepends=True)) == sorted(reference)
    assert run.stderr.count(b" files in ") > 1  # each worker's summary: the list was split
