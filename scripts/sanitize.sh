#!/usr/bin/env bash
# Builds the test suites with AddressSanitizer and UndefinedBehaviorSanitizer (no recovery:
# the first report fails its test) in build-sanitize/ and runs the unit and GL suites there.
# No benchmarks. Usage: scripts/sanitize.sh [BUILD_DIR]   (default: build-sanitize)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build-sanitize}"
cmake -S "$here" -B "$build" -G Ninja -DQX_SANITIZE=ON -DQX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
# The suites set the sanitizers' options themselves (tests/CMakeLists.txt). The kill test's
# 2,000 forks of a sanitized process take minutes; the writer it kills runs here in the
# SafeFile, IniFile and SaveState tests.
cd "$build"
ctest --output-on-failure -j "$(nproc)" -L 'unit|gl' -E '^CrashSafeWrites\.'
