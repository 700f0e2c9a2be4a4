#!/usr/bin/env bash
# Runs the demo under Xvfb and saves a screenshot of the window.
#   scripts/screenshot.sh [OUT.png] [SECONDS-TO-WAIT]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$here/screenshot.png}
wait=${2:-6}
"$here/scripts/install-deps.sh" build demo screenshot
build=${BUILD_DIR:-$here/build}
app=$build/src/app/bookaudit
display=:$(( 90 + RANDOM % 100 ))

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
DISPLAY=$display "$here/scripts/demo.sh" >/dev/null &
demo=$!
cleanup() {
  pkill -f "^$app" 2>/dev/null || true  # the demo then stops its servers by itself
  wait "$demo" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 1 600); do pgrep -f "^$app" >/dev/null && break; sleep 0.5; done
sleep "$wait"
DISPLAY=$display import -window root "$out"
echo "saved $out"
