#!/usr/bin/env bash
# Makes the pictures, the font archive and the sounds of the tutorial game (docs/tutorial.md)
# and copies into every step folder the ones that step uses. Run it by hand after changing a
# picture; its outputs are committed, so building and testing the tutorial need none of the
# tools. Needs ImageMagick, sox (with Ogg Vorbis), fonts-dejavu-core and a built qxtool
# (QXTOOL=path, default ../../build/qxtool). The game sources and the language and sound
# files are written by hand and are not touched here.
set -euo pipefail
cd "$(dirname "$0")/.."
qxtool=$(realpath "${QXTOOL:-../../build/qxtool}")
sans=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
nodate=(-define png:exclude-chunk=date,time)  # the same bytes at every run

# Backgrounds (1024 x 768, opaque: PNG24) and element pictures (with transparency: PNG32,
# because a palette PNG, which ImageMagick writes for pictures of few colours, has no alpha).
convert -size 1024x768 xc:'#d8c8a8' \
  -fill '#b8a484' -draw 'rectangle 0,560 1024,575' \
  -fill '#8a5a34' -draw 'rectangle 0,575 1024,768' \
  -fill '#7a4e2c' -draw 'line 0,640 1024,640' -draw 'line 0,710 1024,710' \
  -fill '#f4ecd8' -draw 'rectangle 110,170 390,430' \
  -fill '#9ed4f2' -draw 'rectangle 125,185 375,415' \
  -fill '#f4ecd8' -draw 'rectangle 245,185 255,415' -draw 'rectangle 125,295 375,305' \
  -fill '#2f6f9f' -draw 'rectangle 125,340 245,415' -draw 'rectangle 255,340 375,415' \
  -fill '#6b4a2e' -draw 'rectangle 684,214 916,575' \
  "${nodate[@]}" PNG24:"$out/hall.png"
convert -size 200x346 xc:none -fill '#5a3a22' -draw 'rectangle 0,0 199,345' \
  -fill '#6e4a2c' -draw 'rectangle 22,22 177,160' -draw 'rectangle 22,186 177,323' \
  -fill '#e8c060' -draw 'circle 170,180 170,191' "${nodate[@]}" PNG32:"$out/door.png"
convert -size 1024x768 xc:'#8ec9ef' \
  -fill '#fff2a8' -draw 'circle 620,120 620,165' \
  -fill '#2f6f9f' -draw 'rectangle 0,420 1024,520' \
  -fill '#5f9f3f' -draw 'rectangle 0,520 1024,768' \
  -fill '#a08a6a' -draw 'polygon 800,420 980,420 960,380 820,380' \
  -fill '#f4f4f4' -draw 'polygon 860,380 920,380 908,170 872,170' \
  -fill '#d04030' -draw 'polygon 866,300 914,300 911,250 869,250' -draw 'polygon 874,170 906,170 890,140' \
  -fill '#fff2a8' -draw 'rectangle 876,180 904,205' \
  -fill '#d8c8a8' -draw 'rectangle 0,200 320,600' -fill '#9a3a2a' -draw 'polygon 0,200 340,200 300,150 0,150' \
  -fill '#5a3a22' -draw 'rectangle 100,340 220,600' -fill '#e8c060' -draw 'circle 205,470 205,478' \
  "${nodate[@]}" PNG24:"$out/garden.png"
convert -size 1024x768 xc:'#1c2838' -font "$sans" -pointsize 40 -fill '#e8eef4' -gravity center \
  -annotate +0-60 'Loading...' -gravity northwest -fill none -stroke '#e8eef4' -strokewidth 2 \
  -draw 'rectangle 310,396 714,428' "${nodate[@]}" PNG24:"$out/loading.png"
convert -size 140x110 xc:none -fill '#f8f4e8' -draw 'polygon 72,8 72,78 126,78' \
  -fill '#e8d8b0' -draw 'polygon 66,20 66,78 22,78' -fill '#4a3020' -draw 'rectangle 67,6 71,82' \
  -fill '#b04028' -draw 'polygon 6,82 134,82 118,104 22,104' "${nodate[@]}" PNG32:"$out/boat.png"
convert -size 140x140 radial-gradient:'#ffd848ff'-'#ffd84800' "${nodate[@]}" PNG32:"$out/light.png"
convert -size 200x130 xc:none -fill '#6b4a2e' -draw 'rectangle 0,40 199,54' \
  -draw 'rectangle 14,54 28,129' -draw 'rectangle 171,54 185,129' \
  -fill '#f6efdc' -draw 'polygon 40,40 98,40 98,12 44,16' -draw 'polygon 102,40 160,40 156,16 102,12' \
  -fill '#8a2a2a' -draw 'rectangle 98,10 102,40' "${nodate[@]}" PNG32:"$out/table.png"
convert -size 1024x768 xc:'#5a3a22' -fill '#4a2e1a' -draw 'line 0,200 1024,180' -draw 'line 0,520 1024,560' \
  -fill '#3a2414' -draw 'rectangle 150,110 874,670' \
  -fill '#f6efdc' -draw 'rectangle 160,100 510,660' -draw 'rectangle 514,100 864,660' \
  -fill '#8a2a2a' -draw 'rectangle 510,96 514,664' \
  -fill '#c8bca0' -draw 'line 560,420 820,420' -draw 'line 560,480 820,480' -draw 'line 560,540 820,540' \
  "${nodate[@]}" PNG24:"$out/book.png"

# The font, packed into the resource archive; characters 32..126 only, enough for English
# and a small archive (leave --last out for Cyrillic letters).
mkdir "$out/fonts"
"$qxtool" font build "$sans" --size 24 --last 126 -o "$out/fonts/Body.fnt" >/dev/null
touch -d '2024-01-01 00:00:00 UTC' "$out/fonts/Body.fnt"  # the archive keeps the file's time
"$qxtool" archive pack "$out/fonts" -o "$out/data.res" >/dev/null

# A door sound (a short burst of noise) and the sea's music (slow waves of filtered noise).
sox -R -n -r 11025 -c 1 -b 8 "$out/door.wav" synth 0.3 brownnoise synth 0.3 sine amod 9 fade 0 0.3 0.2 vol 0.6
sox -R -n -r 22050 -c 1 -C -1 "$out/waves.ogg" synth 4 pinknoise tremolo 0.5 70 lowpass 900 fade 0.5 4 0.5 vol 0.4

# What each step uses: every step keeps what the one before it had.
put() {  # put STEP FILE DEST...
  local step=$1 file=$2
  shift 2
  for dest in "$@"; do
    mkdir -p "step$step/$(dirname "$dest")"
    cp "$out/$file" "step$step/$dest"
  done
}
for step in 1 2 3 4 5 6 7; do
  rm -rf "step$step/pictures" "step$step/sounds" "step$step/data.res"
  put "$step" hall.png pictures/hall.png
  put "$step" door.png pictures/door.png
  put "$step" garden.png pictures/garden.png
  if [ "$step" -ge 2 ]; then put "$step" loading.png pictures/loading.png; fi
  if [ "$step" -ge 3 ]; then put "$step" data.res data.res; fi
  if [ "$step" -ge 4 ]; then put "$step" door.wav sounds/door.wav; put "$step" waves.ogg sounds/waves.ogg; fi
  if [ "$step" -ge 5 ]; then put "$step" boat.png pictures/boat.png; put "$step" light.png pictures/light.png; fi
  if [ "$step" -ge 6 ]; then put "$step" table.png pictures/table.png; put "$step" book.png pictures/book.png; fi
done
cp /usr/share/doc/fonts-dejavu-core/copyright LICENSE-DejaVu.txt
