#!/usr/bin/env bash
# Throughput on a real mix of files, side by side in one run over one list:
# the engine through the command-line host (1 and 2 jobs), libmagic alone
# (both answers, one handle pair), and `file` as a process (description run,
# then MIME run). Then start-up on 10 files, init() alone, the first use of
# each slot, a cold and a warm pass over the list in one process, and memory
# after a scan soak.
#
#   bench/real_mix.sh [BUILD_DIR]        (from the repository root)
#
# Environment: FILES (list size, default 3000), SEED (default 18),
# SOAK (scans in the soak, default 100000; 0 skips it), KEEP_LIST (keep the
# list file). The list is drawn from /usr/share, /usr/lib and /etc plus the
# test fixtures, so any Debian machine makes the same kind of mix; with the
# same packages and seed it makes the same list. Wall time is noisy on a
# shared machine: each line also gives the CPU seconds and the load average.
set -euo pipefail

BUILD=${1:-build}
FILES=${FILES:-3000}
SEED=${SEED:-18}
SOAK=${SOAK:-100000}
HOST="$BUILD/tools/kpl-filetype"
BENCH="$BUILD/bench/real_mix_bench"
HOME_DIR="$BUILD/home"
for need in "$HOST" "$BENCH" "$HOME_DIR/kpl_engine.so"; do
  [[ -e $need ]] || { echo "missing $need: build the targets kpl-filetype real_mix_bench engine_home" >&2; exit 2; }
done

LIST=$(mktemp /tmp/kpl_real_mix.XXXXXX)
TEN=$(mktemp /tmp/kpl_real_mix_10.XXXXXX)
# A small plain text: no analyzer claims it, so every scan of it asks libmagic.
NOTE=$(mktemp /tmp/kpl_real_mix_note.XXXXXX)
head -c 760 /usr/share/common-licenses/GPL-3 >"$NOTE"
cleanup() { [[ -n ${KEEP_LIST:-} ]] || rm -f "$LIST"; rm -f "$TEN" "$NOTE"; }
trap cleanup EXIT

# A deterministic byte stream for shuf, made from the seed.
seeded() { openssl enc -aes-256-ctr -pass "pass:$1" -nosalt -pbkdf2 </dev/zero 2>/dev/null; }

# Readable regular files up to 64 MiB whose names survive a one-per-line
# list, sorted before the shuffle so the order of the walk does not matter.
{
  find /usr/share /usr/lib /etc -xdev -type f -readable -size -65536k 2>/dev/null |
    grep -v $'[\t\\\\]' | LC_ALL=C sort | shuf -n "$FILES" --random-source=<(seeded "$SEED")
  find "$PWD/tests/fixtures" -type f | LC_ALL=C sort
} >"$LIST"
head -n 10 "$LIST" >"$TEN"
COUNT=$(wc -l <"$LIST")
mapfile -t PATHS <"$LIST"
mapfile -t TEN_PATHS <"$TEN"

# Runs a command with its output discarded; prints "wall cpu" in seconds.
measure() {
  local TIMEFORMAT='%R %U %S'
  local t
  t=$({ time "$@" >/dev/null 2>&1; } 2>&1 | tail -n 1)
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' <<<"$t"
}
load() { cut -d' ' -f1 /proc/loadavg; }

echo "real mix: $COUNT files (seed $SEED), $(nproc) cores, $(uname -r)"
echo "warming the page cache..."
cat "${PATHS[@]}" >/dev/null 2>&1 || true

declare -A WALL CPU LOAD
run() {
  local name=$1
  shift
  LOAD[$name]=$(load)
  read -r WALL[$name] CPU[$name] < <(measure "$@")
}
file_both() { file -b -f "$LIST" && file -b --mime-type -f "$LIST"; }
file_both_10() { file -b -- "${TEN_PATHS[@]}" && file -b --mime-type -- "${TEN_PATHS[@]}"; }
# The command-line host needs the paths as arguments.
host() { "$HOST" --home "$HOME_DIR" --jobs "$1" -- "${@:2}"; }

run engine_1 host 1 "${PATHS[@]}"
run engine_2 host 2 "${PATHS[@]}"
run libmagic "$BENCH" libmagic --home "$HOME_DIR" "$LIST"
run file file_both

rate() { awk -v n="$COUNT" -v t="$1" 'BEGIN { printf "%.0f", n / t }'; }
printf '\n%-22s %10s %10s %10s %8s\n' "throughput" "files/s" "wall s" "cpu s" "load"
for name in engine_1 engine_2 libmagic file; do
  printf '%-22s %10s %10s %10s %8s\n' "$name" "$(rate "${WALL[$name]}")" "${WALL[$name]}" "${CPU[$name]}" "${LOAD[$name]}"
done
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b / a }'; }
echo
echo "engine 1 job / file (both answers):  $(ratio "${WALL[engine_1]}" "${WALL[file]}")x by wall, $(ratio "${CPU[engine_1]}" "${CPU[file]}")x by cpu (target >= 1.2)"
echo "engine 2 jobs / 1 job:               $(ratio "${WALL[engine_2]}" "${WALL[engine_1]}")x by wall (target >= 1.8)"
echo "engine 1 job / libmagic alone:       $(ratio "${WALL[engine_1]}" "${WALL[libmagic]}")x by wall, $(ratio "${CPU[engine_1]}" "${CPU[libmagic]}")x by cpu"

# Start-up: best of five, both sides on the same 10 files.
best() {
  local name=$1 bestWall=999 bestCpu=999 w c
  shift
  for _ in 1 2 3 4 5; do
    read -r w c < <(measure "$@")
    bestWall=$(awk -v a="$bestWall" -v b="$w" 'BEGIN { print (b < a ? b : a) }')
    bestCpu=$(awk -v a="$bestCpu" -v b="$c" 'BEGIN { print (b < a ? b : a) }')
  done
  WALL[$name]=$bestWall
  CPU[$name]=$bestCpu
  LOAD[$name]=$(load)
}
best start_engine host 1 "${TEN_PATHS[@]}"
best start_file file_both_10
echo
echo "start-up, 10 files (best of 5, load ${LOAD[start_file]}):"
echo "  engine ${WALL[start_engine]} s wall, ${CPU[start_engine]} s cpu; file ${WALL[start_file]} s wall, ${CPU[start_file]} s cpu"
echo "  engine / file: $(ratio "${WALL[start_file]}" "${WALL[start_engine]}")x by wall, $(ratio "${CPU[start_file]}" "${CPU[start_engine]}")x by cpu (target <= 1.5)"

# The in-process measures run under the allocator settings kpl-filetype
# gives itself (it prints them with --version), then the soak also under
# glibc's defaults, as a host that never set them would run.
TUNED=$("$HOST" --home "$HOME_DIR" --version | sed -n 's/^allocator: //p')
[[ $TUNED == "glibc defaults" ]] && TUNED=
tuned() { GLIBC_TUNABLES=$TUNED "$@"; }
echo
echo "in-process, allocator ${TUNED:-glibc defaults} (load $(load)):"
tuned "$BENCH" init --home "$HOME_DIR"
tuned "$BENCH" cold --home "$HOME_DIR" "$NOTE"
# Pass 1 meets each slot's two libmagic handles cold; pass 2 shows the
# steady state of a long-running host. file's time is from the run above.
tuned "$BENCH" passes --home "$HOME_DIR" "$LIST" 2 | while read -r line; do
  wall=$(sed -n 's/.* wall=\([0-9.]*\).*/\1/p' <<<"$line")
  echo "$line  (against file: $(ratio "$wall" "${WALL[file]}")x by wall)"
done
if [[ $SOAK -gt 0 ]]; then
  tuned "$BENCH" soak --home "$HOME_DIR" "$LIST" "$SOAK"
  echo "glibc defaults:"
  GLIBC_TUNABLES= "$BENCH" soak --home "$HOME_DIR" "$LIST" "$SOAK"
fi
echo "load at the end: $(load)"
