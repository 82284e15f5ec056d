#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test headless (no display needed).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/bootstrap.sh" "$here/build"
# GL suites set SDL's offscreen video and dummy audio drivers themselves (see tests/CMakeLists.txt).
cd "$here/build"
ctest --output-on-failure -j "$(nproc)"
# The Debian package, built and checked as the install tree is (about ten seconds).
"$here/scripts/package.sh" "$here/build"
# The same suites again under AddressSanitizer and UndefinedBehaviorSanitizer, in build-sanitize/.
"$here/scripts/sanitize.sh"
# The fuzz targets, built with clang in build-fuzz/: a fixed number of executions each, and
# every input of fuzz/regressions/ replayed.
"$here/scripts/fuzz.sh" --test
