#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Each test program starts its own
# throwaway MariaDB server (and HTTP server) and stops it; this script removes any left over.
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
build=${BUILD_DIR:-$here/build}
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$jobs"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$jobs"
