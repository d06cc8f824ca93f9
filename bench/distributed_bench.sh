#!/usr/bin/env bash
# The scan spread over a Dask cluster (python3 -m kpl_engine scan) on one
# machine, on the real mix of bench/real_mix.sh: throughput with 2 worker
# processes against 1, and the cost per file of the distributed path
# against kpl-filetype --jobs 1 on the same list. Each round runs them one
# after the other, so their ratios share the round's load, with
# kpl-filetype --jobs 2 against --jobs 1 beside them: what two cores gave at
# that moment. The load average is printed with each round. Since other
# work on the machine moves wall times, the cost per file is also given in
# CPU time: kpl-filetype's, against the one worker process's plus the
# driver's (which holds the local cluster's scheduler).
#
#   bench/distributed_bench.sh [BUILD_DIR]     (from the repository root)
#
# Environment: FILES (list size, default 3000), SEED (default 18), ROUNDS
# (default 3), BATCH (files per task, default 500). Each scan starts a fresh
# local cluster; its start-up (process spawn, imports) is timed apart, and
# the scan's time runs from the first batch submitted to the last line
# written: it includes each worker's engine start, as kpl-filetype's time
# includes its own. Needs Debian's python3-distributed (/usr/bin/python3).
set -euo pipefail

BUILD=${1:-build}
FILES=${FILES:-3000}
SEED=${SEED:-18}
ROUNDS=${ROUNDS:-3}
BATCH=${BATCH:-500}
HOST="$BUILD/tools/kpl-filetype"
HOME_DIR="$BUILD/home"
for need in "$HOST" "$HOME_DIR/kpl_engine.so"; do
  [[ -e $need ]] || { echo "missing $need: build the targets kpl-filetype engine_home" >&2; exit 2; }
done
HOME_DIR=$(cd "$HOME_DIR" && pwd)

LIST=$(mktemp /tmp/kpl_dask_mix.XXXXXX)
# Dask spawns its worker processes as fresh interpreters that import the
# main module again: it must be a file, not standard input.
MAIN=$(mktemp /tmp/kpl_dask_bench.XXXXXX.py)
trap 'rm -f "$LIST" "$MAIN"' EXIT

# The list bench/real_mix.sh draws: the same seed gives the same list.
seeded() { openssl enc -aes-256-ctr -pass "pass:$1" -nosalt -pbkdf2 </dev/zero 2>/dev/null; }
{
  find /usr/share /usr/lib /etc -xdev -type f -readable -size -65536k 2>/dev/null |
    grep -v $'[\t\\\\]' | LC_ALL=C sort | shuf -n "$FILES" --random-source=<(seeded "$SEED")
  find "$PWD/tests/fixtures" -type f | LC_ALL=C sort
} >"$LIST"
echo "real mix: $(wc -l <"$LIST") files (seed $SEED), $(nproc) cores, batches of $BATCH"
echo "warming the page cache..."
tr '\n' '\0' <"$LIST" | xargs -0 cat >/dev/null 2>&1 || true

cat >"$MAIN" <<'EOF'
import logging
import os
import resource
import subprocess
import sys
import time

from distributed import Client, LocalCluster

from kpl_engine.distributed import list_paths, scan


def load():
    with open("/proc/loadavg") as f:
        return f.read().split()[0]


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def host_seconds(host, home, listing, jobs):
    """(wall seconds, CPU seconds)"""
    start, cpu = time.monotonic(), children_cpu()
    subprocess.run([host, "--home", home, "--jobs", str(jobs), "--files-from", listing],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    return time.monotonic() - start, children_cpu() - cpu


def workers_cpu(client):
    return sum(client.run(lambda: sum(os.times()[:2])).values())


def dask_seconds(workers, home, paths, batch):
    """(seconds to start the cluster, wall seconds of the scan, CPU seconds
    of the workers and the driver during the scan)"""
    start = time.monotonic()
    with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, dashboard_address=None,
                      silence_logs=logging.ERROR) as cluster, Client(cluster) as client:
        started = time.monotonic() - start
        cpu = workers_cpu(client) + time.process_time()
        with open(os.devnull, "wb") as out:
            summary = scan(client, iter(paths), out, home=home, batch_size=batch)
        cpu = workers_cpu(client) + time.process_time() - cpu
    assert summary.files == len(paths)
    return started, summary.seconds, cpu


def main(listing, host, home, rounds, batch):
    with open(listing, "rb") as f:
        paths = list(list_paths(f))
    n = len(paths)
    print("round load  host 1 job  dask 1 worker  dask 2 workers  2w/1w  host 2/1  1w vs host: wall  CPU"
          "  (CPU ms/file host, dask)  cluster start 1w/2w")
    for r in range(1, rounds + 1):
        before = load()
        h1, hc = host_seconds(host, home, listing, 1)
        s1, d1, dc = dask_seconds(1, home, paths, batch)
        s2, d2, _ = dask_seconds(2, home, paths, batch)
        h2, _ = host_seconds(host, home, listing, 2)
        print("%-5d %-5s %6.0f f/s %10.0f f/s %11.0f f/s %5.2fx %7.2fx %+12.1f%% %+5.1f%%  (%.3f, %.3f)"
              "                %.1f s / %.1f s (load after: %s)" % (
                  r, before, n / h1, n / d1, n / d2, d1 / d2, h1 / h2, 100 * (d1 / h1 - 1), 100 * (dc / hc - 1),
                  1000 * hc / n, 1000 * dc / n, s1, s2, load()), flush=True)


# Only the run, not the spawned workers' import of this file, scans.
if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5]))
EOF
PYTHONPATH="$PWD/python" /usr/bin/python3 "$MAIN" "$LIST" "$HOST" "$HOME_DIR" "$ROUNDS" "$BATCH"
