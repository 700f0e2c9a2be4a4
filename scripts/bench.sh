#!/usr/bin/env bash
# The benchmark: installs what is missing, builds (RelWithDebInfo, in build-bench/), then runs
# bookaudit-bench, which starts its own MariaDB server with 1,000,000 generated records and a
# local cover server, prints every figure beside its raw reference, and removes what it made.
#   scripts/bench.sh [--keep DIR] [--quick] [--runs N] [--only FIGURES] [--samples] ...
#   (every option in bench/README.md)
#   BUILD_DIR=...  build folder (default: build-bench/ in the repository)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$here/build-bench}

"$here/scripts/install-deps.sh" build bench

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target bookaudit-bench

export QT_QPA_PLATFORM=offscreen
exec "$build/bench/bookaudit-bench" "$@"
