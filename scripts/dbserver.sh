#!/usr/bin/env bash
# A throwaway MariaDB server: no systemd, no state outside the folder it is given.
#
#   scripts/dbserver.sh start DIR [--charset CS] [--port N] [SQL-FILE...]   (files in UTF-8)
#       initialises DIR/data, starts mariadbd on 127.0.0.1 at a free port (or N), creates the
#       compiled-in account and database, loads sql/schema.sql and the given files, and
#       prints the port. The general query log goes to DIR/general.log.
#   scripts/dbserver.sh stop DIR      stops it cleanly (kills it if it will not stop)
#   scripts/dbserver.sh sql DIR       runs SQL from standard input as root in the database
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck disable=SC1091
. <(grep -E '^[A-Za-z]+=' "$here/sql/account.conf")

cmd=${1:-}; dir=${2:-}
[ -n "$cmd" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop|sql DIR ..." >&2; exit 2; }
shift 2
client() { mariadb --no-defaults --socket="$dir/sock" -u"$(id -un)" "$@"; }

port_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

start() {
  local charset=gbk port="" files=()
  while [ $# -gt 0 ]; do
    case $1 in
      --charset) charset=$2; shift 2 ;;
      --port) port=$2; shift 2 ;;
      *) files+=("$1"); shift ;;
    esac
  done
  # Temporary tables stay in the server's own folder: servers running side by side in one
  # /tmp must not touch each other's files.
  mkdir -p "$dir/tmp"
  dir=$(cd "$dir" && pwd)
  if [ ! -d "$dir/data/mysql" ]; then
    mariadb-install-db --no-defaults --datadir="$dir/data" --tmpdir="$dir/tmp" --user="$(id -un)" \
      --auth-root-authentication-method=socket --skip-test-db >"$dir/install.log" 2>&1 \
      || { cat "$dir/install.log" >&2; exit 1; }
  fi
  local tries=0
  while :; do
    if [ -z "$port" ] || [ $tries -gt 0 ]; then
      port=$(( 20000 + RANDOM % 30000 ))
      port_free "$port" || continue
    fi
    rm -f "$dir/error.log"
    mariadbd --no-defaults --datadir="$dir/data" --tmpdir="$dir/tmp" --socket="$dir/sock" \
      --pid-file="$dir/mariadbd.pid" \
      --port="$port" --bind-address=127.0.0.1 --user="$(id -un)" \
      --character-set-server="$charset" --skip-log-bin --skip-name-resolve \
      --general-log=1 --general-log-file="$dir/general.log" --log-error="$dir/error.log" \
      --innodb-buffer-pool-size=128M --innodb-log-file-size=64M --max-allowed-packet=64M \
      --innodb-flush-log-at-trx-commit=2 >/dev/null 2>&1 &
    echo $! >"$dir/server.pid"
    local up=""
    for _ in $(seq 1 300); do
      if mariadb-admin --no-defaults --socket="$dir/sock" -u"$(id -un)" ping >/dev/null 2>&1; then up=1; break; fi
      kill -0 "$(cat "$dir/server.pid")" 2>/dev/null || break
      sleep 0.1
    done
    [ -n "$up" ] && break
    tries=$((tries + 1))
    if [ $tries -ge 5 ]; then cat "$dir/error.log" >&2; exit 1; fi
  done
  echo "$port" >"$dir/port"
  client <<SQL
CREATE DATABASE IF NOT EXISTS \`$DbName\` CHARACTER SET $charset;
CREATE USER IF NOT EXISTS '$DbUser'@'%' IDENTIFIED BY '$DbPassword';
GRANT ALL ON \`$DbName\`.* TO '$DbUser'@'%';
SQL
  client --default-character-set="$charset" "$DbName" <"$here/sql/schema.sql"
  for f in "${files[@]}"; do
    client --default-character-set=utf8mb4 "$DbName" <"$f"
  done
  echo "$port"
}

stop() {
  [ -f "$dir/server.pid" ] || return 0
  local pid; pid=$(cat "$dir/server.pid")
  if kill -0 "$pid" 2>/dev/null; then
    mariadb-admin --no-defaults --socket="$dir/sock" -u"$(id -un)" shutdown >/dev/null 2>&1 || kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$dir/server.pid"
}

case $cmd in
  start) start "$@" ;;
  stop) stop ;;
  sql) client --default-character-set=binary "$DbName" ;;
  *) echo "unknown command $cmd" >&2; exit 2 ;;
esac
