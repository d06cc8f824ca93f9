#!/bin/sh
# Fails unless the library's defined dynamic symbols are exactly the
# functions the public headers declare with KPL_API.
# Usage: check_exports.sh LIBRARY HEADER...
set -eu
lib="$1"
shift
header="$*"
expected=$(cat "$@" | grep -o '^KPL_API [^(]*(' | sed 's/($//; s/.*[ *]//' | sort -u)
actual=$(nm -D --defined-only "$lib" | awk '{print $NF}' | sed 's/@.*//' | sort -u)
if [ "$expected" != "$actual" ]; then
  echo "exported symbols differ from $header:"
  diff -u /dev/fd/3 /dev/fd/4 3<<E1 4<<E2 || true
$expected
E1
$actual
E2
  exit 1
fi
echo "exports match: $(echo "$expected" | wc -l) functions"
