#!/bin/sh
# Rebuilds dejavu-sans-12.res: DejaVu Sans (Debian's fonts-dejavu-core) rendered at 12 pixels
# for code page 1251 characters 32..255, packed as the font record "DejaVuSans12".
# Usage: make_fixtures.sh BUILD_DIR   (qxtool must be built there)
set -e
here=$(cd "$(dirname "$0")" && pwd)
qxtool="$1/qxtool"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/fonts"
"$qxtool" font build /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf --size 12 -o "$work/fonts/DejaVuSans12"
"$qxtool" archive pack "$work/fonts" --type 'DejaVuSans12=3' -o "$here/dejavu-sans-12.res"
