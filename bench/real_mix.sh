#!/usr/bin/env bash
# Throughput on a real mix of files, side by side in one run over one list:
# the engine through the command-line host (1 and 2 jobs), libmagic alone
# (both answers, one handle pair), and `file` as a process (description run,
# then MIME run). Then start-up on 10 files, init() alone, the first 30
# scans against the next 30, a cold and a warm pass over the list in one
# process (with the share of files that reach libmagic), memory after the
# list on 1 and 8 threads and after a scan soak on 8 threads; last, the
# ceiling and one line per target, met or not.
#
#   bench/real_mix.sh [BUILD_DIR]        (from the repository root)
#
# Environment: FILES (list size, default 3000), SEED (default 18),
# ROUNDS (rounds of the throughput runs, default 5),
# SOAK (scans in the soak on 8 threads, default 100000; 0 skips it), KEEP_LIST (keep the
# list file). The list is drawn from /usr/share, /usr/lib and /etc plus the
# test fixtures, so any Debian machine makes the same kind of mix; with the
# same packages and seed it makes the same list. Wall time is noisy on a
# shared machine: each line also gives the CPU seconds and the load average.
set -euo pipefail

BUILD=${1:-build}
FILES=${FILES:-3000}
SEED=${SEED:-18}
SOAK=${SOAK:-100000}
ROUNDS=${ROUNDS:-5}
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

source "$(dirname "$0")/real_mix_list.sh"
real_mix_list "$FILES" "$SEED" >"$LIST"
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

# A virtual machine's core speed drifts from second to second, so the four
# runs take turns for ROUNDS rounds, and each figure below is the round
# whose engine_1 time is the median; the ratios are medians over the rounds.
declare -a R_SPEED_1 R_SPEED_2
declare -A ROUND_WALL
for round in $(seq "$ROUNDS"); do
  run engine_1 host 1 "${PATHS[@]}"
  run engine_2 host 2 "${PATHS[@]}"
  run libmagic "$BENCH" libmagic --home "$HOME_DIR" "$LIST"
  run file file_both
  for name in engine_1 engine_2 libmagic file; do
    ROUND_WALL[$round,$name]="${WALL[$name]} ${CPU[$name]} ${LOAD[$name]}"
  done
  R_SPEED_1+=("$(awk -v a="${WALL[engine_1]}" -v b="${WALL[file]}" 'BEGIN { printf "%.2f", b / a }')")
  R_SPEED_2+=("$(awk -v a="${WALL[engine_2]}" -v b="${WALL[engine_1]}" 'BEGIN { printf "%.2f", b / a }')")
done
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { printf "%.2f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
MEDIAN_ROUND=$(for r in $(seq "$ROUNDS"); do echo "$r ${ROUND_WALL[$r,engine_1]%% *}"; done | sort -k2 -g | awk -v n="$ROUNDS" 'NR == int((n + 1) / 2) { print $1 }')
for name in engine_1 engine_2 libmagic file; do
  read -r WALL[$name] CPU[$name] LOAD[$name] <<<"${ROUND_WALL[$MEDIAN_ROUND,$name]}"
done

rate() { awk -v n="$COUNT" -v t="$1" 'BEGIN { printf "%.0f", n / t }'; }
printf '\n%-22s %10s %10s %10s %8s\n' "throughput (round $MEDIAN_ROUND)" "files/s" "wall s" "cpu s" "load"
for name in engine_1 engine_2 libmagic file; do
  printf '%-22s %10s %10s %10s %8s\n' "$name" "$(rate "${WALL[$name]}")" "${WALL[$name]}" "${CPU[$name]}" "${LOAD[$name]}"
done
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b / a }'; }
SPEED_1=$(median "${R_SPEED_1[@]}")
SPEED_2=$(median "${R_SPEED_2[@]}")
echo
echo "engine 1 job / file (both answers):  ${SPEED_1}x by wall (median of $ROUNDS rounds: ${R_SPEED_1[*]})"
echo "engine 2 jobs / 1 job:               ${SPEED_2}x by wall (median of $ROUNDS rounds: ${R_SPEED_2[*]})"
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
echo "  engine / file: $(ratio "${WALL[start_file]}" "${WALL[start_engine]}")x by wall, $(ratio "${CPU[start_file]}" "${CPU[start_engine]}")x by cpu"

# The in-process measures run under the allocator settings kpl-filetype
# gives itself (it prints them with --version), then the soak also under
# glibc's defaults, as a host that never set them would run.
TUNED=$("$HOST" --home "$HOME_DIR" --version | sed -n 's/^allocator: //p')
[[ $TUNED == "glibc defaults" ]] && TUNED=
tuned() { GLIBC_TUNABLES=$TUNED "$@"; }
# A value from a line of real_mix_bench: field KEY=VALUE.
field() { sed -n "s/.* $1=\([0-9.]*\).*/\1/p" <<<"$2"; }
echo
echo "in-process, allocator ${TUNED:-glibc defaults} (load $(load)):"
INIT=$(tuned "$BENCH" init --home "$HOME_DIR")
echo "$INIT"
COLD=$(tuned "$BENCH" cold --home "$HOME_DIR" "$NOTE")
echo "$COLD"
# Pass 1 meets libmagic's pattern caches cold; pass 2 shows the steady
# state of a long-running host. file's time is from the run above.
PASSES=$(tuned "$BENCH" passes --home "$HOME_DIR" "$LIST" 2)
while read -r line; do
  echo "$line  (against file: $(ratio "$(field wall "$line")" "${WALL[file]}")x by wall)"
done <<<"$PASSES"
PASS_1=$(sed -n 1p <<<"$PASSES")
PASS_2=$(sed -n 2p <<<"$PASSES")
EIGHT=$(tuned "$BENCH" passes --home "$HOME_DIR" "$LIST" 1 8)
echo "$EIGHT"
SOAK_LINE=
if [[ $SOAK -gt 0 ]]; then
  SOAK_LINE=$(tuned "$BENCH" soak --home "$HOME_DIR" "$LIST" "$SOAK" 8)
  echo "$SOAK_LINE"
  echo "glibc defaults:"
  GLIBC_TUNABLES= "$BENCH" soak --home "$HOME_DIR" "$LIST" "$SOAK" 8
fi

COLD_RATIO=$(ratio "$(field next30_wall_ms "$COLD")" "$(field first30_wall_ms "$COLD")")
PASS_RATIO=$(ratio "$(field wall "$PASS_2")" "$(field wall "$PASS_1")")
echo
echo "ceiling:"
echo "  files that reach libmagic:          $(awk -v s="$(field libmagic_share "$PASS_1")" 'BEGIN { printf "%.0f %%", 100 * s }')"
echo "  engine / libmagic alone (1 job):    $(ratio "${WALL[engine_1]}" "${WALL[libmagic]}")x by wall"
echo "  pass 1 / pass 2:                    ${PASS_RATIO}"
echo "  first 30 / next 30 scans:           ${COLD_RATIO}"
echo "  RSS after the list, 1 / 8 threads:  $(field rss_mib "$PASS_1") / $(field rss_mib "$EIGHT") MiB"

# One line per target: met or not.
verdict() {  # verdict LABEL VALUE OP LIMIT UNIT
  local ok
  ok=$(awk -v v="$2" -v l="$4" -v op="$3" 'BEGIN { print (op == ">=" ? v >= l : v <= l) ? "met" : "NOT met" }')
  printf '  %-44s %10s %s %s%s  %s\n' "$1" "$2$5" "$3" "$4" "$5" "$ok"
}
echo
echo "targets (load at the end: $(load)):"
verdict "kpl-filetype --jobs 1 against file" "$SPEED_1" ">=" 1.05 x
verdict "first 30 / next 30 scans, one thread" "$COLD_RATIO" "<=" 2 x
verdict "pass 1 / pass 2" "$PASS_RATIO" "<=" 1.1 ""
verdict "RSS after two passes, one thread" "$(field rss_mib "$PASS_2")" "<=" 150 " MiB"
[[ -n $SOAK_LINE ]] && verdict "RSS after a $SOAK-scan soak, 8 threads" "$(field rss_mib "$SOAK_LINE")" "<=" 400 " MiB"
verdict "init" "$(field wall_ms "$INIT")" "<=" 20 " ms"
verdict "2 jobs / 1 job" "$SPEED_2" ">=" 1.9 x
