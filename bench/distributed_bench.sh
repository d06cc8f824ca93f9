#!/usr/bin/env bash
# The scan spread over a Dask cluster (python3 -m kpl_engine scan) on one
# machine, on the real mix of bench/real_mix.sh: throughput with 2 worker
# processes against 1, and the cost per file of the distributed path
# against kpl-filetype --jobs 1 on the same list.
#
#   bench/distributed_bench.sh [BUILD_DIR]     (from the repository root)
#
# Environment: FILES (list size, default 3000), SEED (default 18), ROUNDS
# (default 8), BATCH (files per task, default 500).
#
# A local cluster of 1 and one of 2 worker processes are started once (the
# start-up and each worker's first batch, which starts its engine, are
# timed apart). Each round then scans the list with kpl-filetype --jobs 1,
# the 1-worker cluster, the 2-worker cluster and kpl-filetype --jobs 2, one
# after the other, and gives the ratios within the round; kpl-filetype's
# times are the scan times it reports, without its start. On a shared
# machine the speed of a core changes from second to second (CPU time per
# file moves too, so the cause is outside this system), so the summary is
# the median and the range of each ratio over the rounds; kpl-filetype's
# own 2 jobs against 1 says what two cores gave. CPU per file counts the
# worker processes and the driver, which holds the local cluster's
# scheduler. Needs Debian's python3-distributed (/usr/bin/python3).
set -euo pipefail

BUILD=${1:-build}
FILES=${FILES:-3000}
SEED=${SEED:-18}
ROUNDS=${ROUNDS:-8}
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
source "$(dirname "$0")/real_mix_list.sh"
real_mix_list "$FILES" "$SEED" >"$LIST"
echo "real mix: $(wc -l <"$LIST") files (seed $SEED), $(nproc) cores, batches of $BATCH"
echo "warming the page cache..."
tr '\n' '\0' <"$LIST" | xargs -0 cat >/dev/null 2>&1 || true

cat >"$MAIN" <<'EOF'
import logging
import os
import re
import resource
import statistics
import subprocess
import sys
import time

from distributed import Client, LocalCluster

from kpl_engine.distributed import list_paths, scan


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def host_run(host, home, listing, jobs):
    """(scan seconds kpl-filetype reports, CPU seconds of the whole run)"""
    cpu = children_cpu()
    run = subprocess.run([host, "--home", home, "--jobs", str(jobs), "--files-from", listing],
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, check=True)
    seconds = float(re.search(rb" files in ([0-9.]+) s with", run.stderr).group(1))
    return seconds, children_cpu() - cpu


def workers_cpu(client):
    return sum(client.run(lambda: sum(os.times()[:2])).values())


def dask_run(client, home, paths, batch):
    """(scan seconds, CPU seconds of the workers and the driver)"""
    cpu = workers_cpu(client) + time.process_time()
    with open(os.devnull, "wb") as out:
        summary = scan(client, iter(paths), out, home=home, batch_size=batch)
    assert summary.files == len(paths) and summary.failed == 0
    return summary.seconds, workers_cpu(client) + time.process_time() - cpu


def start_cluster(workers, home, paths):
    start = time.monotonic()
    cluster = LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, dashboard_address="127.0.0.1:0",
                           silence_logs=logging.ERROR)
    client = Client(cluster)
    started = time.monotonic() - start
    # One file per worker: each worker process starts its engine.
    with open(os.devnull, "wb") as out:
        engines = scan(client, iter(paths[:workers]), out, home=home, batch_size=1).seconds
    return cluster, client, started, engines


def spread(values, percent=False):
    """The median and the range: 1.62x (1.50 to 1.71), or +9.1% (+2.0 to +12.5)."""
    middle, low, high = statistics.median(values), min(values), max(values)
    if percent:
        return "%+.1f%% (%+.1f to %+.1f)" % (100 * middle, 100 * low, 100 * high)
    return "%.2fx (%.2f to %.2f)" % (middle, low, high)


def main(listing, host, home, rounds, batch):
    with open(listing, "rb") as f:
        paths = list(list_paths(f))
    n = len(paths)
    c1, k1, start1, engine1 = start_cluster(1, home, paths)
    c2, k2, start2, engine2 = start_cluster(2, home, paths)
    print("cluster start: 1 worker %.1f s, 2 workers %.1f s; first batch (engine start) %.2f s / %.2f s"
          % (start1, start2, engine1, engine2))
    print("round  files/s: host 1 job, dask 1 worker, dask 2 workers, host 2 jobs | 2w/1w  host 2/1 |"
          " 1 worker vs host: wall, CPU | CPU ms/file: host, dask | load")
    ratios = []
    try:
        for r in range(1, rounds + 1):
            h1, h1cpu = host_run(host, home, listing, 1)
            d1, d1cpu = dask_run(k1, home, paths, batch)
            d2, _ = dask_run(k2, home, paths, batch)
            h2, _ = host_run(host, home, listing, 2)
            ratios.append((d1 / d2, h1 / h2, d1 / h1 - 1, d1cpu / h1cpu - 1))
            with open("/proc/loadavg") as f:
                load = f.read().split()[0]
            print("%-5d  %5.0f %5.0f %5.0f %5.0f | %5.2fx %6.2fx | %+7.1f%% %+6.1f%% | %.3f %.3f | %s" % (
                r, n / h1, n / d1, n / d2, n / h2, d1 / d2, h1 / h2, 100 * (d1 / h1 - 1),
                100 * (d1cpu / h1cpu - 1), 1000 * h1cpu / n, 1000 * d1cpu / n, load), flush=True)
    finally:
        for client, cluster in ((k1, c1), (k2, c2)):
            client.close()
            cluster.close()
    columns = list(zip(*ratios))
    print("median (range) over %d rounds: 2 workers / 1 %s; kpl-filetype 2 jobs / 1 %s" % (
        rounds, spread(columns[0]), spread(columns[1])))
    print("  1 worker against kpl-filetype --jobs 1: wall %s, CPU %s" % (
        spread(columns[2], True), spread(columns[3], True)))


# Only the run, not the spawned workers' import of this file, scans.
if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5]))
EOF
PYTHONPATH="$PWD/python" /usr/bin/python3 "$MAIN" "$LIST" "$HOST" "$HOME_DIR" "$ROUNDS" "$BATCH"
