#!/bin/sh
# Sets up a Debian 12 machine for the engine, builds it, and runs one job:
#   ./setup.sh demo      build, then scan the bundled samples and print a table
#   ./setup.sh test      build, then run the test suite and the Python
#                        binding's tests
#   ./setup.sh sanitize  build with AddressSanitizer + UndefinedBehaviorSanitizer
#                        (clang, with libFuzzer targets), run the suite and each
#                        fuzz target briefly (KPL_FUZZ_SECONDS, default 12)
#   ./setup.sh tsan      build with ThreadSanitizer and run the suite (the
#                        engine serves scans from many threads at once)
#   ./setup.sh package   install, build the example host against the installed
#                        CMake package, install the Python binding, build and
#                        unpack the Debian package; each checked by a scan of
#                        the samples (tests/install/check_install.sh)
#   ./setup.sh build     build only
# Run as root or with sudo available. Build trees: build/ and build-asan/.
# KPL_SOAK_SCANS sets the soak test's number of scans (10000; 2000 in the
# sanitizer builds).
set -eu
cd "$(dirname "$0")"
root="$(pwd)"
job="${1:-demo}"
jobs="$(nproc 2>/dev/null || echo 2)"

PACKAGES="build-essential cmake pkg-config file libmagic-dev libmagic-mgc p7zip-full \
  rapidjson-dev libqpdf-dev libzip-dev zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev \
  python3 python3-pytest"
# The Python suite also runs a scan on a local Dask cluster and under GNU
# parallel (README: Scanning beyond one machine).
[ "$job" = test ] && PACKAGES="$PACKAGES python3-dask python3-distributed parallel"
[ "$job" = package ] && PACKAGES="$PACKAGES python3-setuptools python3-pip dpkg-dev"
[ "$job" = sanitize ] && PACKAGES="$PACKAGES clang libclang-rt-dev"

install_packages() {
  missing=""
  for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
  done
  [ -z "$missing" ] && return 0
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing:$missing"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing >/dev/null
}

build() {  # build DIR [cmake options...]
  dir="$1"; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

install_packages
case "$job" in
  build)
    build build ;;
  demo)
    build build
    [ -d samples/files ] || sh samples/make_samples.sh
    ./build/tools/kpl-filetype --table samples/files ;;
  test)
    build build
    (cd build && ctest -j "$jobs" --output-on-failure)
    # Debian's interpreter, where python3-pytest is installed.
    /usr/bin/python3 -m pytest -q python/tests ;;
  package)
    build build
    sh tests/install/check_install.sh build ;;
  sanitize)
    CC=clang CXX=clang++ build build-asan -DCMAKE_BUILD_TYPE=Debug -DKPL_FUZZ=ON
    # libmagic's own leak (see the file) would fail every run that meets an
    # Exif JPEG; the suite and the fuzz targets below share the setting.
    export LSAN_OPTIONS="suppressions=$root/tests/lsan_libmagic.supp:print_suppressions=0"
    # Every scan costs several times more here: a shorter soak.
    export KPL_SOAK_SCANS="${KPL_SOAK_SCANS:-2000}"
    (cd build-asan && ctest -j "$jobs" --output-on-failure)
    seconds="${KPL_FUZZ_SECONDS:-12}"
    for f in build-asan/fuzz/*_fuzzer; do
      [ -x "$f" ] || continue
      name="$(basename "$f" _fuzzer)"
      corpus="$(mktemp -d)"
      cp -r fuzz/corpus/"$name"/. "$corpus"/ 2>/dev/null || true
      # The signature library reads every file no analyzer recognised: a
      # half a minute at least.
      run="$seconds"
      [ "$name" = trid ] && [ "$run" -lt 30 ] && run=30
      echo "fuzzing $name for ${run}s"
      # Run from the engine home: whole-engine targets start the engine there.
      (cd build-asan/home && "../fuzz/${name}_fuzzer" -max_total_time="$run" \
          -artifact_prefix="$root/build-asan/$name-" "$corpus" >"$root/build-asan/$name-fuzz.log" 2>&1) || {
        tail -40 "build-asan/$name-fuzz.log"
        echo "fuzz target $name failed; reproducer in build-asan/$name-*"; exit 1; }
      rm -rf "$corpus"
    done
    echo "fuzz: all targets ran clean" ;;
  tsan)
    cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKPL_TSAN=ON -DKPL_BUILD_BENCH=OFF >/dev/null
    cmake --build build-tsan -j "$jobs" --target kpl_tests engine_home
    # glibc's time-zone setup runs under a lock ThreadSanitizer cannot see.
    export TSAN_OPTIONS="suppressions=$root/tests/tsan_glibc.supp:print_suppressions=0"
    # The fuzz replays and the C host are covered by the other builds.
    export KPL_SOAK_SCANS="${KPL_SOAK_SCANS:-2000}"
    cd build-tsan && ctest -j "$jobs" --output-on-failure -E 'Fuzz\.|CHost|Exports' ;;
  *)
    echo "usage: $0 demo|test|sanitize|tsan|package|build" >&2; exit 2 ;;
esac
