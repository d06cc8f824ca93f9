#!/bin/sh
# What a user gets from a build, checked from the outside: the installed
# prefix (CMake package, pkg-config file, man page), the example C host built
# against it with find_package from a clean build directory, the Python
# binding installed with pip, the sharded worker run the README shows, and
# the Debian package (contents, dependencies, a scan from its unpacked root).
# Every scan is compared with the installed kpl-filetype's answers for the
# samples.
# Usage: check_install.sh [BUILD_DIR]      (default: build)
set -eu
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
python="${PYTHON:-/usr/bin/python3}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
unset KPL_HOME
fail() { echo "check_install: $*" >&2; exit 1; }
step() { echo "== $*"; }
same() {  # same EXPECTED ACTUAL WHAT
  cmp -s "$1" "$2" || { diff -u "$1" "$2" | head -20; fail "$3 differs from kpl-filetype's answers"; }
}

prefix="$work/prefix"
step "cmake --install into $prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/kpl-filetype include/kpl_engine.h include/kpl_engine_config.h \
         lib/kpl-engine/kpl_engine.so lib/kpl-engine/libTrIDLib.so lib/kpl-engine/7za \
         lib/kpl-engine/database/magic/magic.mgc lib/kpl-engine/database/trid/office.trd \
         lib/pkgconfig/kpl_engine.pc lib/cmake/KplEngine/KplEngineConfig.cmake \
         lib/cmake/KplEngine/KplEngineConfigVersion.cmake share/man/man1/kpl-filetype.1; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done

# The reference: the installed host, which finds the home beside itself.
find "$root/samples/files" -type f | LC_ALL=C sort >"$work/samples.list"
count=$(wc -l <"$work/samples.list")
"$prefix/bin/kpl-filetype" --files-from "$work/samples.list" >"$work/host.jsonl" 2>"$work/host.log" ||
  fail "the installed host failed: $(cat "$work/host.log")"
[ "$(grep -c '"typeID"' "$work/host.jsonl")" -eq "$count" ] || fail "the installed host named not all $count samples"

step "find_package(KplEngine) from a clean build directory: examples/c_host"
cmake -S "$root/examples/c_host" -B "$work/example" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/example" >/dev/null
(cd / && tr '\n' '\0' <"$work/samples.list" | xargs -0 "$work/example/kpl_c_host") >"$work/example.jsonl"
same "$work/host.jsonl" "$work/example.jsonl" "the example host's output"
# A host asking for another major version is refused.
mkdir "$work/v2"
printf 'cmake_minimum_required(VERSION 3.16)\nproject(v2 LANGUAGES NONE)\nfind_package(KplEngine 2 REQUIRED)\n' \
  >"$work/v2/CMakeLists.txt"
if cmake -S "$work/v2" -B "$work/v2/build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null 2>&1; then
  fail "find_package(KplEngine 2) accepted version 1"
fi

step "pkg-config"
home=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --variable=enginehome kpl_engine)
[ "$(cd "$home" && pwd -P)" = "$(cd "$prefix/lib/kpl-engine" && pwd -P)" ] || fail "pkg-config names home $home"

step "pip install --no-build-isolation ./python"
cp -r "$root/python" "$work/python-src"  # the build writes beside the sources
"$python" -m pip install --quiet --root-user-action=ignore --no-build-isolation --no-deps --target "$work/site" "$work/python-src"
# Run from elsewhere, without KPL_HOME: the binding finds the home beside
# kpl-filetype on PATH.
(cd / && PATH="$prefix/bin:$PATH" PYTHONPATH="$work/site" "$python" - "$work/samples.list" "$work/python.jsonl") <<'EOF'
import json, sys
import kpl_engine
assert "/site/" in kpl_engine.__file__, kpl_engine.__file__  # the installed copy
with kpl_engine.Engine() as engine, open(sys.argv[2], "w") as out:
    for path in open(sys.argv[1]).read().splitlines():
        out.write(json.dumps(dict(path=path, **engine.scan(path)), separators=(",", ":")) + "\n")
EOF
same "$work/host.jsonl" "$work/python.jsonl" "the Python binding's output"

step "sharded workers (README: Scanning beyond one machine)"
(
  cd "$work" && PATH="$prefix/bin:$PATH"
  # --- the README's commands ---
  split -n l/4 samples.list shard.
  for s in shard.??; do kpl-filetype --files-from "$s" >"$s.jsonl" 2>"$s.log" & done
  wait
  cat shard.??.jsonl >all.jsonl
  # ---
)
[ "$(ls "$work"/shard.?? | wc -l)" -eq 4 ] || fail "split made no four shards"
same "$work/host.jsonl" "$work/all.jsonl" "the concatenated shards"

step "Debian package"
(cd "$build" && cpack -G DEB -B "$work/deb" >"$work/cpack.log") || { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$work"/deb/kpl-engine_*.deb)
dpkg-deb --contents "$deb" >"$work/contents"
for f in ./usr/bin/kpl-filetype ./usr/include/kpl_engine.h ./usr/lib/kpl-engine/kpl_engine.so \
         ./usr/lib/kpl-engine/libTrIDLib.so ./usr/lib/kpl-engine/database/trid/office.trd \
         "./usr/lib/kpl-engine/database/magic/magic.mgc -> /usr/lib/file/magic.mgc" \
         "./usr/lib/kpl-engine/7za -> /usr/lib/p7zip/7za" ./usr/lib/pkgconfig/kpl_engine.pc \
         ./usr/lib/cmake/KplEngine/KplEngineConfig.cmake ./usr/share/man/man1/kpl-filetype.1; do
  grep -qF " $f" "$work/contents" || fail "the package lacks $f"
done
depends=$(dpkg-deb --field "$deb" Depends)
for d in libmagic1 libmagic-mgc p7zip-full libqpdf29 libzip4 libstdc++6; do
  echo "$depends" | grep -q "\\b$d\\b" || fail "the package does not depend on $d: $depends"
done
suggests=$(dpkg-deb --field "$deb" Suggests)
for d in python3-distributed python3-dask parallel; do
  echo "$suggests" | grep -q "\\b$d\\b" || fail "the package does not suggest $d: $suggests"
done
dpkg-deb -x "$deb" "$work/unpacked"
"$work/unpacked/usr/bin/kpl-filetype" --version >"$work/version" || fail "--version failed in the unpacked root"
grep -q "^engine: FileType" "$work/version" || fail "unexpected --version: $(cat "$work/version")"
"$work/unpacked/usr/bin/kpl-filetype" --files-from "$work/samples.list" >"$work/deb.jsonl" 2>/dev/null
same "$work/host.jsonl" "$work/deb.jsonl" "the unpacked package's scan"

echo "check_install: all checks passed ($count samples; $(basename "$deb"))"
