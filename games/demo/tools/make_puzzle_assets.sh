#!/usr/bin/env bash
# Makes the pictures, sounds and effect files of the demo's puzzle rooms (run by hand when the
# art changes; make_assets.sh calls it; the outputs are committed, so building needs none of
# these tools). Needs Debian's python3 with python3-pil and python3-numpy, and sox.
set -euo pipefail
cd "$(dirname "$0")/.."
/usr/bin/python3 tools/make_puzzle_art.py pictures/puzzles "$@"

# Sounds: short, quiet effects; the chime is Ogg Vorbis to stay small.
s=sounds
r=(-r 22050 -c 1 -b 16 -e signed-integer)
sox -R -n "${r[@]}" $s/pz_turn.wav synth 0.09 square 620 sine 1240 fade 0 0.09 0.08 vol 0.18
sox -R -n "${r[@]}" $s/pz_pick.wav synth 0.12 sine 500:900 fade 0 0.12 0.1 vol 0.4
sox -R -n "${r[@]}" $s/pz_drop.wav synth 0.16 sine 180:90 fade 0 0.16 0.14 vol 0.7
sox -R -n "${r[@]}" $s/pz_wrong.wav synth 0.22 sawtooth 150 sawtooth 157 fade 0 0.22 0.12 vol 0.22
sox -R -n "${r[@]}" $s/pz_pop.wav synth 0.1 sine 900:1500 fade 0 0.1 0.09 vol 0.35
sox -R -n "${r[@]}" $s/pz_clear.wav synth 0.35 sine 700:1800 sine 1050:2700 fade 0 0.35 0.3 vol 0.3
# the "solved" chime: a rising major arpeggio with a soft echo
tmp=$(mktemp -d)
i=0
for f in 523.25 659.25 783.99 1046.5; do
  sox -R -n "${r[@]}" "$tmp/n$i.wav" synth 0.9 pluck $f fade 0 0.9 0.7 pad $(echo "$i * 0.12" | bc)
  i=$((i + 1))
done
sox -R -m "$tmp"/n*.wav "$tmp/chime.wav" norm -3 echo 0.8 0.7 120 0.3 fade 0 1.6 0.4
sox -R "$tmp/chime.wav" -r 22050 -C 2 $s/pz_solved.ogg vol 0.8
rm -rf "$tmp"
