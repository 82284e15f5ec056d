#!/usr/bin/env bash
# Makes every picture, sound, particle effect and font record of the demo game from Debian
# packages (Python with Pillow and numpy, sox, the DejaVu fonts) and a built
# qxtool. Run by hand when the art changes; the outputs are committed, so building and
# testing the game need none of these tools.
#   games/demo/tools/make_assets.sh          (QXTOOL=path/to/qxtool to use another build)
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(python3-pil python3-numpy sox libsox-fmt-base fonts-dejavu-core)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "make_assets: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
python=/usr/bin/python3   # Debian's, which has the packages above
qxtool=${QXTOOL:-../../build/qxtool}
fonts=/usr/share/fonts/truetype/dejavu
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Pictures: backgrounds (JPEG), sprites and interface (PNG with alpha), the particle texture.
"$python" tools/make_pictures.py

# Particle effects, packed into the archive.
"$python" tools/make_effects.py archive/effects

# Fonts for the text elements: several sizes of the DejaVu faces, Latin and Cyrillic. The
# records are large and compress well, so they are kept as one compressed bundle that the
# build unpacks into the archive.
mkdir -p "$tmp/fonts"
while read -r name face size; do
  "$qxtool" font build "$fonts/$face.ttf" --size "$size" -o "$tmp/fonts/$name.fnt"
done <<'LIST'
Title DejaVuSerif-Bold 42
Heading DejaVuSerif-Bold 28
Button DejaVuSans-Bold 22
Body DejaVuSans 20
Small DejaVuSans 15
LIST
tar -C "$tmp/fonts" --sort=name --owner=0 --group=0 --numeric-owner --mtime=2024-01-01 -cf - . | gzip -n -9 > fonts.tar.gz
cp /usr/share/doc/fonts-dejavu-core/copyright LICENSE-DejaVu.txt 2>/dev/null || true

# Sounds: synthesised in Python, then reverb and encoding with sox (-R: the same bytes every
# run). Short effects stay WAV.
"$python" tools/make_sounds.py "$tmp/wav"
mkdir -p sounds
sox -R "$tmp/wav/click.wav" sounds/click.wav
for s in pickup door unlock locked page chime machine logo1 logo2; do
  sox -R "$tmp/wav/$s.wav" -C 3 "sounds/$s.ogg" reverb 40 50 60 gain -n -1
done
for s in theme house ending; do
  sox -R "$tmp/wav/$s.wav" -C 2 "sounds/$s.ogg" reverb 55 50 80 gain -n -2
done

# The puzzle rooms' own pictures and sounds.
if [ -x tools/make_puzzle_assets.sh ]; then tools/make_puzzle_assets.sh; fi
echo "make_assets: done ($(du -sh . | cut -f1) in games/demo)"
