#!/usr/bin/env bash
# Installs the Debian 12 packages a purpose needs, only those missing.
#   scripts/install-deps.sh build|test|demo|bench
set -euo pipefail
build=(cmake make g++ pkg-config clang-format qt6-base-dev libmariadb-dev libcurl4-openssl-dev
       libjpeg-dev libgif-dev libgtest-dev googletest)
# Tests: a real MariaDB server, GoogleTest, clang with its sanitizer and fuzzer runtime.
test=(mariadb-server mariadb-client clang libclang-rt-14-dev)
# The demo: a server, and fonts that hold Chinese characters for the window.
demo=(mariadb-server mariadb-client fonts-wqy-zenhei)
# The benchmark: a server, and the fonts the operator sees (text layout is measured too).
bench=(mariadb-server mariadb-client fonts-wqy-zenhei)

want=("${build[@]}")
for purpose in "$@"; do
  case $purpose in
    build) ;;
    test) want+=("${test[@]}") ;;
    demo) want+=("${demo[@]}") ;;
    bench) want+=("${bench[@]}") ;;
    screenshot) want+=(xvfb xauth x11-apps imagemagick "${demo[@]}") ;;
    *) echo "unknown purpose $purpose" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# Debian's mariadb-server tries to start a system service; none is wanted or needed here.
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
