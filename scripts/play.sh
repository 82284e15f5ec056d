#!/usr/bin/env bash
# Installs what is needed, builds, and plays the bundled demo game (or the game given).
# Without a display it runs headless for about eleven seconds (the logos, then the title) and saves a screenshot instead.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/bootstrap.sh" "$here/build"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "play: no display found; running headless for 340 frames, screenshot in qxrun-shot.png"
  exec "$here/build/qxrun" --headless --fixed-step --frames 340 --screenshot qxrun-shot.png "$@"
fi
exec "$here/build/qxrun" --windowed "$@"
