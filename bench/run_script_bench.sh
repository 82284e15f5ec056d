#!/bin/sh
# Runs the statement benchmark beside Lua 5.4 (Debian's lua5.4, installed when missing).
#   bench/run_script_bench.sh [BUILD_DIR] [REPS]
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
reps=${2:-5}
if ! command -v lua5.4 >/dev/null 2>&1; then
  echo "lua5.4 is missing; installing Debian's package" >&2
  if [ "$(id -u)" -eq 0 ]; then
    apt-get update -q && apt-get install -y -q lua5.4
  else
    sudo apt-get update -q && sudo apt-get install -y -q lua5.4
  fi
fi
if [ ! -x "$build/bench/bench_statements" ]; then
  cmake --build "$build" -j2 --target bench_statements
fi
exec "$build/bench/bench_statements" --lua "$(command -v lua5.4)" --reps "$reps"
