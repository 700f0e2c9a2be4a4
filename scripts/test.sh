#!/usr/bin/env bash
# The test command: installs what is missing, then
#   1. builds with g++ and runs every test;
#   2. builds again with clang, AddressSanitizer and UndefinedBehaviorSanitizer (LeakSanitizer
#      included) and runs every test once more, the fuzz targets briefly among them.
# Each test program starts its own throwaway MariaDB server (and HTTP server) on a free
# loopback port and stops it; this script removes any that a crashed test left behind.
#   SANITIZE=0 scripts/test.sh     skips the second build
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$here/scripts/install-deps.sh" build test

export BOOKAUDIT_TEST_ROOT
BOOKAUDIT_TEST_ROOT=$(mktemp -d /tmp/bookaudit-test.XXXXXX)
cleanup() {
  for d in "$BOOKAUDIT_TEST_ROOT"/*/; do
    [ -f "$d/server.pid" ] && "$here/scripts/dbserver.sh" stop "$d" || true
  done
  rm -rf "$BOOKAUDIT_TEST_ROOT"
}
trap cleanup EXIT

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

build=${BUILD_DIR:-$here/build}
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" --output-on-failure -j "$jobs"

if [ "${SANITIZE:-1}" != 0 ]; then
  asan=${ASAN_BUILD_DIR:-$here/build-asan}
  CC=clang CXX=clang++ cmake -S "$here" -B "$asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBOOKAUDIT_SANITIZE=ON >/dev/null
  cmake --build "$asan" -j "$jobs"
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LSAN_OPTIONS=suppressions=$here/tests/lsan.supp:print_suppressions=0
  ctest --test-dir "$asan" --output-on-failure -j "$jobs"
fi
