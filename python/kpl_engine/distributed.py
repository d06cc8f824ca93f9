"""Scanning a list of files too large for one machine on a Dask cluster.

The driver (this module's scan(), or `python3 -m kpl_engine scan`) reads
the list as a stream, cuts it into batches of paths and keeps a bounded
number of batches in flight on the cluster; each worker process starts the
engine once and keeps it for every batch it is given. Answers come back as
the JSON lines kpl-filetype writes, and the driver writes each batch's
lines when its task completes, whole, once: Dask reruns the tasks of a
worker that died, and a rerun task still completes only once.

    from distributed import Client
    from kpl_engine.distributed import scan, list_paths

    with Client("tcp://scheduler:8786") as client, open("all.jsonl", "ab") as out:
        summary = scan(client, list_paths(open("all.list", "rb")), out)

Needs Debian's python3-distributed (and with it python3-dask) on the driver
and on every worker; each worker also needs the engine home and this
package, and the files under the same paths as the driver names them.
"""

import collections
import ctypes
import hashlib
import json
import os
import sys
import threading
import time

from distributed import as_completed
from distributed.scheduler import KilledWorker

from . import Engine

__all__ = ["Summary", "json_line", "list_paths", "walk", "scan_batch", "scan", "read_done", "main"]

DEFAULT_BATCH_SIZE = 500

# --- the worker's side ---------------------------------------------------------

_worker_lock = threading.Lock()
_worker_engines = {}  # home as given (None: the usual search) -> Engine


def _worker_engine(home):
    # Started by the first batch a worker process gets and kept for the
    # process's life: a start loads the databases, about 0.1 s, the time of
    # a hundred scans. Never closed; the process's end unloads it.
    with _worker_lock:
        engine = _worker_engines.get(home)
        if engine is None:
            _adopt_allocator_settings()
            engine = _worker_engines[home] = Engine(home)
        return engine


def _adopt_allocator_settings():
    # kpl-filetype starts with glibc allocator settings that let the heap
    # keep what libmagic's large short-lived buffers need (README, "Benchmark
    # against `file`"); a worker process started by Dask has glibc's
    # defaults, or Dask's own MALLOC_TRIM_THRESHOLD_ of 64 KiB, which makes
    # the heap shrink after nearly every scan (a worker took 1.5 times as
    # long over bench/distributed_bench.sh's list). The same three settings
    # are made here with mallopt (huge pages cannot be, and measured no
    # faster); a GLIBC_TUNABLES the user set is left alone.
    if os.environ.get("GLIBC_TUNABLES") is not None:
        return
    try:
        mallopt = ctypes.CDLL(None).mallopt
    except (OSError, AttributeError):
        return
    M_TRIM_THRESHOLD, M_TOP_PAD, M_MMAP_THRESHOLD = -1, -2, -3
    mallopt(M_TRIM_THRESHOLD, 256 << 20)
    mallopt(M_TOP_PAD, 64 << 20)
    mallopt(M_MMAP_THRESHOLD, 32 << 20)


def _path_members(path):
    # As kpl-filetype writes them: "path" is the name with each ill-formed
    # UTF-8 subpart as U+FFFD (Python's decoder replaces the same maximal
    # subparts), escaped as JSON with the seven short escapes and \u00xx;
    # a name that is not UTF-8 also gets "path_bytes", every byte as two
    # lower-case hex digits.
    try:
        text, exact = path.decode("utf-8"), None
    except UnicodeDecodeError:
        text, exact = path.decode("utf-8", "replace"), path.hex()
    members = b'"path":' + json.dumps(text, ensure_ascii=False).encode("utf-8")
    if exact is not None:
        members += b',"path_bytes":"' + exact.encode("ascii") + b'"'
    return members


def _answered(rc, answer):
    return rc == 0 and answer is not None and len(answer) > 1 and answer[:1] == b"{"


def json_line(path, rc, answer, error="scan failed"):
    """The JSON line kpl-filetype writes for a file: the path members
    followed by the engine's answer, or by "error" and the engine's status
    when the scan failed. path and answer are bytes."""
    if _answered(rc, answer):
        return b"{" + _path_members(path) + b"," + answer[1:] + b"\n"
    return b"{%s,\"error\":%s,\"code\":%d}\n" % (_path_members(path), json.dumps(error).encode("ascii"), rc)


def scan_batch(paths, home=None):
    """Runs on a worker: scans each path (bytes, absolute) with the worker
    process's engine. Returns (the batch's JSON lines as bytes, {typeID:
    count}, number of files that failed)."""
    engine = _worker_engine(home)
    lines = []
    counts = collections.Counter()
    failed = 0
    for path in paths:
        rc, answer = engine.scan_raw(path)
        lines.append(json_line(path, rc, answer))
        if _answered(rc, answer):
            counts[_type_id(answer)] += 1
        else:
            failed += 1
            counts["(failed)"] += 1
    return b"".join(lines), dict(counts), failed


def _type_id(answer):
    try:
        value = json.loads(answer).get("typeID")
    except (ValueError, AttributeError):
        return ""
    return value if isinstance(value, str) else ""


# --- the driver's side ---------------------------------------------------------


def list_paths(stream, nul=False, cwd=None):
    """The paths of a list read from a binary stream, one per line (a CR
    before the newline dropped) or NUL-terminated, empty entries skipped,
    as absolute, normalised bytes; read in blocks, never whole. The same
    rules as kpl-filetype's --files-from."""
    separator = b"\0" if nul else b"\n"
    rest = b""
    while True:
        block = stream.read(1 << 16)
        if not block:
            break
        entries = (rest + block).split(separator)
        rest = entries.pop()
        for entry in entries:
            if not nul and entry.endswith(b"\r"):
                entry = entry[:-1]
            if entry:
                yield _absolute(entry, cwd)
    # A last entry without a terminator still counts: a producer that
    # stopped early leaves a short list, not a lost file.
    if not nul and rest.endswith(b"\r"):
        rest = rest[:-1]
    if rest:
        yield _absolute(rest, cwd)


def _absolute(path, cwd=None):
    if not path.startswith(b"/"):
        path = os.path.join(cwd if cwd is not None else os.getcwdb(), path)
    return os.path.normpath(path)


def walk(arguments, missing=None):
    """The files named by command-line arguments (str or bytes), as absolute
    bytes: a file as it is, a folder walked recursively without following
    symbolic links to folders, taking only regular files (a link to one
    included), as kpl-filetype does. A folder is walked as the list is
    consumed, one directory's entries at a time. An argument that does not
    exist is reported on standard error and appended to `missing`."""
    for argument in arguments:
        top = _absolute(os.fsencode(argument))
        if not os.path.lexists(top):
            print("kpl-scan: %s: no such file or folder" % _display(os.fsencode(argument)), file=sys.stderr)
            if missing is not None:
                missing.append(top)
            continue
        if not os.path.isdir(top):
            yield top
            continue
        folders = [top]
        while folders:
            folder = folders.pop()
            try:
                entries = os.scandir(folder)
            except OSError:
                continue  # unreadable folders are skipped, as kpl-filetype does
            with entries:
                for entry in entries:
                    try:
                        if entry.is_dir(follow_symlinks=False):
                            folders.append(entry.path)
                        elif entry.is_file():
                            yield entry.path
                    except OSError:
                        continue


def _display(name):
    # For the terminal: no control character or undecodable byte of a file
    # name reaches it raw.
    out = []
    for c in name.decode("utf-8", "surrogateescape"):
        code = ord(c)
        if 0xDC80 <= code <= 0xDCFF:  # a byte that is not UTF-8
            out.append("\\x%02x" % (code - 0xDC00))
        elif c == "\\":
            out.append("\\\\")
        elif not c.isprintable():
            out.append("\\x%02x" % code if code < 0x100 else "\\u%04x" % code)
        else:
            out.append(c)
    return "".join(out)


def _digest(path):
    # The resume set keeps 16-byte digests rather than the names: ten
    # million names of 100 bytes would hold over a gigabyte in the driver.
    return hashlib.blake2b(path, digest_size=16).digest()


def read_done(output):
    """Reads an output file of an interrupted run for --resume: the set of
    the digests of the paths it answers (path_bytes when present, else
    path). A partial last line, left by a run killed while writing, is cut
    off the file. Raises ValueError on a whole line that is not a JSON line
    with a path."""
    done = set()
    with open(output, "r+b") as f:
        good = 0
        for number, line in enumerate(f, 1):
            if not line.endswith(b"\n"):
                break
            try:
                record = json.loads(line)
                exact = record.get("path_bytes")
                path = bytes.fromhex(exact) if exact is not None else record["path"].encode("utf-8")
            except (ValueError, KeyError, TypeError, AttributeError):
                raise ValueError("line %d of %s is not a JSON line with a path" % (number, _display(
                    os.fsencode(output))))
            done.add(_digest(path))
            good += len(line)
        f.truncate(good)
    return done


class Summary:
    """What a run did: files scanned and failed in this run, {typeID:
    count} ("(failed)" for failures), files skipped as already answered, and
    paths read from the input."""

    def __init__(self):
        self.files = 0
        self.failed = 0
        self.counts = collections.Counter()
        self.skipped = 0
        self.read = 0
        self.seconds = 0.0


def _total_threads(client):
    return sum(w.get("nthreads", 1) for w in client.scheduler_info().get("workers", {}).values())


def scan(client, paths, out, *, home=None, batch_size=DEFAULT_BATCH_SIZE, window=None, done=None,
         progress=None, task=scan_batch):
    """Scans paths (absolute bytes, any iterable, consumed as it goes) on the
    cluster of `client`, writing the JSON lines to the binary file `out`.

    home: the engine home on the workers (None: each worker's usual search).
    window: batches in flight at once (default three per worker thread,
    followed as workers come and go). done: digests from read_done(); those
    paths are skipped. progress(summary, finished_reading) is called after
    each batch. task: the function run on each batch, scan_batch or one with
    its signature and answer. Returns a Summary.

    A batch whose task failed because workers kept dying on it (Dask's
    KilledWorker) is split in two and rerun, down to the one file that
    kills a worker, which gets an error line "worker died". Any other
    failure of a task stops the run: batches written stay written, and a
    run with done=read_done(out) continues it."""
    summary = Summary()
    start = time.monotonic()
    source = _batches(paths, batch_size, done, summary, lambda: _total_threads(client))
    redo = collections.deque()
    in_flight = {}
    finished = as_completed()
    reading = [True]

    def fill():
        limit = window or max(4, 3 * _total_threads(client))
        while len(in_flight) < limit:
            batch = redo.popleft() if redo else next(source, None)
            if batch is None:
                reading[0] = False
                return
            future = client.submit(task, batch, home, pure=False, retries=0)
            in_flight[future] = batch
            finished.add(future)

    try:
        fill()
        for future in finished:
            batch = in_flight.pop(future)
            if future.status == "finished":
                lines, counts, failed = future.result()
                out.write(lines)
                out.flush()
                summary.files += len(batch)
                summary.failed += failed
                summary.counts.update(counts)
            else:
                error = future.exception()
                if not isinstance(error, KilledWorker):
                    raise error
                if len(batch) > 1:
                    redo.append(batch[:len(batch) // 2])
                    redo.append(batch[len(batch) // 2:])
                else:
                    out.write(json_line(batch[0], -1, None, "worker died"))
                    out.flush()
                    summary.files += 1
                    summary.failed += 1
                    summary.counts["(failed)"] += 1
            future.release()
            fill()
            if progress is not None:
                summary.seconds = time.monotonic() - start
                progress(summary, not reading[0] and not redo)
    finally:
        for future in in_flight:
            future.cancel()
    summary.seconds = time.monotonic() - start
    return summary


def _batches(paths, size, done, summary, threads):
    # The list is read a few batches ahead, so that its end is seen before
    # the last batches go out: from then on each batch takes a share of
    # what is left (half of it spread over the worker threads), so the
    # workers finish together instead of one scanning a whole last batch
    # while the others wait.
    ahead = collections.deque()
    source = iter(paths)
    ended = False
    while True:
        while not ended and len(ahead) < 4 * size:
            path = next(source, None)
            if path is None:
                ended = True
            else:
                summary.read += 1
                if done and _digest(path) in done:
                    summary.skipped += 1
                else:
                    ahead.append(path)
        if not ahead:
            return
        count = size if not ended else max(1, min(size, len(ahead) // (2 * max(1, threads()))))
        yield [ahead.popleft() for _ in range(min(count, len(ahead)))]


# --- the command ---------------------------------------------------------------


class _Progress:
    """A line on standard error every few seconds: files done of those read
    so far ("+" while the list is still being read), and the rate."""

    def __init__(self, interval=5.0):
        self.interval = interval
        self.next = interval  # seconds into the scan
        self.tty = sys.stderr.isatty()
        self.shown = False

    def __call__(self, summary, finished_reading):
        if summary.seconds < self.next:
            return
        self.next = summary.seconds + self.interval
        rate = summary.files / summary.seconds if summary.seconds > 0 else 0.0
        text = "kpl-scan: %d/%d%s files, %.0f files/s" % (summary.files + summary.skipped, summary.read,
                                                         "" if finished_reading else "+", rate)
        sys.stderr.write(("\r" + text) if self.tty else text + "\n")
        sys.stderr.flush()
        self.shown = True

    def end(self):
        if self.shown and self.tty:
            sys.stderr.write("\n")


def _print_summary(summary, workers, output):
    line = "%d files in %.2f s with %d workers" % (summary.files, summary.seconds, workers)
    if summary.failed:
        line += ", %d failed" % summary.failed
    if summary.skipped:
        line += ", %d already in %s" % (summary.skipped, _display(os.fsencode(output)))
    print(line, file=sys.stderr)
    for name in sorted(summary.counts, key=lambda n: n.encode("utf-8")):
        print("  %-20s %d" % (_display(name.encode("utf-8")), summary.counts[name]), file=sys.stderr)


def _parser():
    import argparse

    parser = argparse.ArgumentParser(
        prog="python3 -m kpl_engine scan",
        description="Scans files on a Dask cluster into kpl-filetype's JSON lines, one per file "
                    "(in the order batches complete). Folders are walked recursively. A summary by "
                    "type goes to standard error; the exit status is 1 when any file failed.")
    parser.add_argument("paths", nargs="*", metavar="PATH", help="files and folders to scan")
    parser.add_argument("--files-from", metavar="LIST",
                        help="also scan the files listed in LIST, one per line (- reads stdin)")
    parser.add_argument("-0", "--null", action="store_true", help="the list's entries end with NUL")
    parser.add_argument("-o", "--output", metavar="FILE", help="write the JSON lines to FILE (default stdout)")
    parser.add_argument("--resume", action="store_true",
                        help="skip the files FILE already answers and append the others "
                             "(cuts a partial last line off first)")
    parser.add_argument("--scheduler", metavar="ADDRESS",
                        help="a running Dask scheduler, e.g. tcp://host:8786 (default: a local "
                             "cluster of worker processes)")
    parser.add_argument("--workers", type=int, default=os.cpu_count() or 1, metavar="N",
                        help="worker processes of the local cluster (default: number of cores)")
    parser.add_argument("--batch-size", type=int, default=DEFAULT_BATCH_SIZE, metavar="N",
                        help="files per task (default %d)" % DEFAULT_BATCH_SIZE)
    parser.add_argument("--home", metavar="DIR",
                        help="engine home on the workers (default: each worker's $KPL_HOME, else "
                             "the home the binding finds)")
    return parser


def main(argv=None):
    parser = _parser()
    args = parser.parse_args(argv)
    if not args.paths and args.files_from is None:
        parser.error("nothing to scan: give paths or --files-from")
    if args.null and args.files_from is None:
        parser.error("-0 needs --files-from")
    if args.resume and args.output is None:
        parser.error("--resume needs --output")
    if args.workers < 1 or args.batch_size < 1:
        parser.error("--workers and --batch-size take a positive number")

    done = None
    if args.resume and os.path.exists(args.output):
        try:
            done = read_done(args.output)
        except (OSError, ValueError) as e:
            print("kpl-scan: cannot resume: %s" % e, file=sys.stderr)
            return 2
    try:
        out = open(args.output, "ab" if args.resume else "wb") if args.output else sys.stdout.buffer
        listing = None
        if args.files_from is not None:
            listing = sys.stdin.buffer if args.files_from == "-" else open(args.files_from, "rb")
    except OSError as e:
        print("kpl-scan: %s" % e, file=sys.stderr)
        return 2

    missing = []

    def paths():
        yield from walk(args.paths, missing)
        if listing is not None:
            yield from list_paths(listing, args.null)

    from distributed import Client, LocalCluster
    import logging

    cluster = None
    progress = _Progress()
    try:
        try:
            if args.scheduler:
                client = Client(args.scheduler)
            else:
                # The scheduler's web server on a free port of the loopback
                # interface: two scans on one machine do not meet.
                cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                                       dashboard_address="127.0.0.1:0", silence_logs=logging.ERROR)
                client = Client(cluster)
        except (OSError, TimeoutError) as e:
            print("kpl-scan: cannot start or reach the cluster%s: %s" % (
                " at " + args.scheduler if args.scheduler else "", e), file=sys.stderr)
            return 2
        with client:
            if not client.scheduler_info().get("workers"):
                print("kpl-scan: waiting for a worker at %s" % args.scheduler, file=sys.stderr)
                client.wait_for_workers(1)
            try:
                summary = scan(client, paths(), out, home=args.home, batch_size=args.batch_size,
                               done=done, progress=progress)
            except KeyboardInterrupt:
                progress.end()
                print("kpl-scan: interrupted; the lines written are whole, and --resume continues",
                      file=sys.stderr)
                return 130
            except Exception as e:  # a task failed for another reason than dying workers
                progress.end()
                print("kpl-scan: a batch failed on a worker: %s: %s" % (type(e).__name__, e), file=sys.stderr)
                if args.output:
                    print("kpl-scan: the lines written are whole; --resume continues", file=sys.stderr)
                return 2
            progress.end()
            _print_summary(summary, len(client.scheduler_info().get("workers", {})), args.output or "")
    finally:
        if cluster is not None:
            cluster.close()
        if listing is not None and listing is not sys.stdin.buffer:
            listing.close()
        if out is not sys.stdout.buffer:
            out.close()
    return 1 if summary.failed or missing else 0
