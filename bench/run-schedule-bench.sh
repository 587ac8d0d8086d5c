#!/usr/bin/env bash
# Builds and runs the schedule store benchmark. Figures only.
#   bench/run-schedule-bench.sh [build-dir] [benchmark options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/bench}
shift || true
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target schedule_store_bench >/dev/null
exec "$build/bench/schedule/schedule_store_bench" "$@"
