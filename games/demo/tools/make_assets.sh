#!/usr/bin/env bash
# Makes the demo game's pictures with ImageMagick and the DejaVu fonts (run once by hand;
# the pictures are committed, so building the game needs neither).
set -euo pipefail
cd "$(dirname "$0")/.."
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
convert -size 1024x768 gradient:'#1b2a4a'-'#4a1b3a' \
  \( -size 1024x768 xc:none -fill '#ffffff18' -draw 'circle 200,150 200,330' -draw 'circle 860,620 860,860' \) -composite \
  pictures/menu_back.jpg
convert -size 1024x768 gradient:'#2a3b1b'-'#0d1a10' \
  -fill '#3a2a1a' -draw 'rectangle 0,560 1024,768' \
  -fill '#5a4030' -draw 'rectangle 760,200 900,560' -fill '#e0c060' -draw 'circle 880,390 880,398' \
  pictures/room_back.jpg
convert -size 240x72 xc:none -fill '#e08a2a' -stroke '#fff0d0' -strokewidth 3 \
  -draw 'roundrectangle 4,4 235,67 22,22' -stroke none -font "$font" -pointsize 32 -fill white \
  -gravity center -annotate +0+0 'Start' pictures/button.png
convert -size 96x96 xc:none -fill '#ffd040' -stroke '#fff8c0' -strokewidth 2 \
  -draw 'polygon 48,4 59,36 92,36 65,56 76,90 48,70 20,90 31,56 4,36 37,36' pictures/star.png
convert -size 1024x768 xc:black -font "$font" -pointsize 72 -fill '#e8e8f0' -gravity center \
  -annotate +0-20 'qxrun' -pointsize 24 -fill '#9090a8' -annotate +0+50 'plays games described by data' \
  logos/logo1.jpg

# Fonts for the text elements, packed into the game's resource archive (needs a built qxtool).
qxtool=${QXTOOL:-../../build/qxtool}
tmp=$(mktemp -d)
"$qxtool" font build /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf --size 36 -o "$tmp/Title.fnt"
"$qxtool" font build /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf --size 20 -o "$tmp/Body.fnt"
"$qxtool" archive pack "$tmp" -o data.res
rm -rf "$tmp"
cp /usr/share/doc/fonts-dejavu-core/copyright LICENSE-DejaVu.txt 2>/dev/null || true

# Sounds (sox with Ogg Vorbis support): a click and a quiet looping chord for the menu.
mkdir -p sounds
sox -n -r 44100 -c 1 sounds/click.wav synth 0.08 sine 880 fade 0 0.08 0.06 vol 0.5
sox -n -r 44100 -c 2 sounds/theme.ogg synth 8 sine 220 sine 277.2 sine 329.6 remix - - tremolo 0.25 40 fade 0.5 8 0.5 vol 0.15
