#!/usr/bin/env bash
# The program on a local demo: installs what is missing, builds, starts a throwaway MariaDB
# server filled with sql/demo.sql, draws the demo covers and serves them on 127.0.0.1:8089
# (the CoverHost of sql/account.conf, which the demo records' cover addresses name), then opens
# the window. Closing the window (or Ctrl-C) stops both servers and removes their folders.
#   BUILD_DIR=...  build folder (default: build/ in the repository)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$here/build}
cover_port=8089

"$here/scripts/install-deps.sh" build demo

cmake -S "$here" -B "$build" >/dev/null
# Only what the demo runs; a target that does not exist yet is left out here and reported below.
available=$(cmake --build "$build" --target help)
targets=()
for t in bookaudit bookaudit-democovers bookaudit-coverserver; do
  grep -qx "\.\.\. $t" <<<"$available" && targets+=("$t")
done
[ ${#targets[@]} -eq 0 ] || cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

app=$build/src/app/bookaudit
democovers=$build/tools/bookaudit-democovers
coverserver=$build/tools/bookaudit-coverserver

work=$(mktemp -d /tmp/bookaudit-demo.XXXXXX)
server_pid=""
cleanup() {
  trap - EXIT INT TERM
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  "$here/scripts/dbserver.sh" stop "$work/db" || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

port=$("$here/scripts/dbserver.sh" start "$work/db" "$here/sql/demo.sql" | tail -n 1)
echo "demo database: 127.0.0.1:$port (general query log: $work/db/general.log)"
export MYSQL_TCP_PORT=$port

if [ -x "$democovers" ]; then
  "$democovers" "$work/covers"
else
  echo "the cover drawer is not built yet ($democovers): no covers" >&2
  mkdir -p "$work/covers/Cover"
fi

if [ -x "$coverserver" ]; then
  if (exec 3<>"/dev/tcp/127.0.0.1/$cover_port") 2>/dev/null; then
    echo "port $cover_port is taken: the covers will come from whatever listens there" >&2
  else
    "$coverserver" "$work/covers" "$cover_port" &
    server_pid=$!
    for _ in $(seq 1 50); do
      (exec 3<>"/dev/tcp/127.0.0.1/$cover_port") 2>/dev/null && break
      kill -0 "$server_pid" 2>/dev/null || { echo "the cover server did not start" >&2; exit 1; }
      sleep 0.1
    done
    echo "cover server: http://127.0.0.1:$cover_port/Cover/ from $work/covers"
  fi
else
  echo "the cover server is not built yet ($coverserver): the window will show no covers" >&2
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "no display (DISPLAY is unset): the window needs one; try: xvfb-run -a $0" >&2
fi

if [ -x "$app" ]; then
  "$app" || echo "the window ended with exit code $?" >&2
else
  echo "the window is not built yet ($app)."
  echo "The servers are up (database on port $port); press Enter or Ctrl-C to stop them."
  read -r _ || true
fi
