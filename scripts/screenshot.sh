#!/usr/bin/env bash
# Starts the demo (database, covers, program) under Xvfb and saves a screenshot of the screen.
#   scripts/screenshot.sh [OUT.png] [SECONDS-TO-WAIT]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$here/screenshot.png}
wait=${2:-4}
"$here/scripts/install-deps.sh" build demo screenshot
build=${BUILD_DIR:-$here/build}
cmake -S "$here" -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)" --target bookaudit bookaudit-coverserver bookaudit-democovers >/dev/null

work=$(mktemp -d /tmp/bookaudit-shot.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  "$here/scripts/dbserver.sh" stop "$work/db" || true
  rm -rf "$work"
}
trap cleanup EXIT

port=$("$here/scripts/dbserver.sh" start "$work/db" "$here/sql/demo.sql")
"$build/tools/democovers/bookaudit-democovers" "$work/covers" >/dev/null
"$build/tools/bookaudit-coverserver" "$work/covers" 8089 & pids+=($!)
Xvfb :77 -screen 0 1024x768x24 -nolisten tcp & pids+=($!)
sleep 1
DISPLAY=:77 MYSQL_TCP_PORT=$port "$build/src/app/bookaudit" & pids+=($!)
sleep "$wait"
DISPLAY=:77 import -window root "$out"
echo "saved $out"
