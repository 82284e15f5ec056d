#!/usr/bin/env bash
# Installs the Debian 12 packages qxrun needs (only those missing) and builds it.
# Usage: scripts/bootstrap.sh [BUILD_DIR]   (default: build)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"

packages=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libepoxy-dev libgl1-mesa-dri libegl-mesa0 libegl-dev
  libvorbis-dev libmpg123-dev libpng-dev libjpeg62-turbo-dev zlib1g-dev
  libcli11-dev libyaml-cpp-dev libfreetype-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils
  # The install test's validators (desktop entry, AppStream, file type, man pages); file for
  # CPack's dependency list.
  desktop-file-utils appstream shared-mime-info man-db file
)
# The fuzz targets (scripts/fuzz.sh): clang with its sanitizer and libFuzzer runtimes, and
# llvm-symbolizer for readable reports.
if [ "${QX_FUZZ:-0}" = 1 ]; then
  packages+=(clang libclang-rt-14-dev llvm)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -q
  $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${QX_BUILD_TYPE:-RelWithDebInfo}" ${QX_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j "$(nproc)"
