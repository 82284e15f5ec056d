#!/usr/bin/env bash
# Builds the Debian package (build/qxrun_VERSION_ARCH.deb) and proves it: its dependencies
# name what qxrun needs at run time, and its files, extracted into a scratch folder, pass the
# same checks as the install tree (validators, man pages, the installed qxrun playing the
# demo headless). Install it with: sudo apt-get install ./build/qxrun_*.deb
# Usage: scripts/package.sh [BUILD_DIR]   (default: build, built first)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath -m "${1:-$here/build}")"
cmake --build "$build" >/dev/null
rm -f "$build"/qxrun_*.deb
(cd "$build" && cpack -G DEB >"$build/cpack.log" 2>&1) || { cat "$build/cpack.log" >&2; exit 1; }
deb=$(ls "$build"/qxrun_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
# SDL2, the decoders and GL as the programs open them (EGL and Mesa's drivers for headless runs).
for lib in libsdl2-2.0-0 libepoxy0 libpng16-16 libjpeg62-turbo libvorbisfile3 libmpg123-0 zlib1g \
           libyaml-cpp0.7 libfreetype6 libgl1 libegl1 libegl-mesa0 libgl1-mesa-dri; do
  grep -qE "(^|, )$lib( |,|$)" <<<"$depends" || { echo "package: $deb does not depend on $lib: $depends" >&2; exit 1; }
done
"$here/tests/install/check_install.sh" "$build" "$build/package-test" "$deb"
echo "package: $deb"
