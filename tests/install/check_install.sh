#!/usr/bin/env bash
# The install tree as a player's system gets it: `cmake --install` into a scratch prefix, every
# file in its place, the desktop entry, AppStream metainfo, file type and man pages pass their
# validators, the man pages name every option and command, and the installed qxrun, moved
# elsewhere and made read-only, plays the bundled demo with no arguments and writes nothing
# into its own tree.
# With a .deb as well, its files are checked instead of those of cmake --install (extracted
# with dpkg-deb, as dpkg would lay them out below /).
# Usage: check_install.sh BUILD_DIR SCRATCH_DIR [PACKAGE.deb]
set -euo pipefail
build="$1"
scratch="$(realpath -m "$2")"
deb="${3:-}"
fail() { echo "check_install: $*" >&2; exit 1; }

rm -rf "$scratch"
mkdir -p "$scratch"
trap 'chmod -R u+w "$scratch" 2>/dev/null; rm -rf "$scratch"' EXIT
if [ -n "$deb" ]; then
  dpkg-deb -x "$deb" "$scratch/root"
  mv "$scratch/root/usr" "$scratch/first"
else
  cmake --install "$build" --prefix "$scratch/first" >/dev/null
fi

# Moved after the install: an installed qxrun finds its share folder from its own place.
mv "$scratch/first" "$scratch/usr"
prefix="$scratch/usr"
app=org.qxrun.qxrun
for f in bin/qxrun bin/qxtool \
         share/qxrun/games/demo/demo.qxf share/qxrun/games/demo/data.res share/qxrun/games/demo/eng.lng \
         share/man/man6/qxrun.6.gz share/man/man1/qxtool.1.gz \
         share/applications/$app.desktop share/icons/hicolor/scalable/apps/$app.svg \
         share/metainfo/$app.metainfo.xml share/mime/packages/$app.xml \
         share/doc/qxrun/README.md share/doc/qxrun/tutorial.md share/doc/qxrun/examples/tutorial/step1/game.yaml; do
  [ -f "$prefix/$f" ] || fail "not installed: $f"
done
[ -d "$prefix/share/qxrun/data" ] || fail "not installed: the runtime's data folder share/qxrun/data"
[ -x "$prefix/bin/qxrun" ] && [ -x "$prefix/bin/qxtool" ] || fail "the programs are not executable"

# The validators a distribution runs.
desktop-file-validate "$prefix/share/applications/$app.desktop" || fail "desktop-file-validate refused the desktop entry"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/$app.metainfo.xml" >"$scratch/appstream.txt" 2>&1 ||
  { cat "$scratch/appstream.txt" >&2; fail "appstreamcli refused the metainfo"; }
appstreamcli validate-tree --no-net "$prefix" >"$scratch/appstream.txt" 2>&1 ||
  { cat "$scratch/appstream.txt" >&2; fail "appstreamcli refused the install tree"; }
grep -q "^Icon=$app$" "$prefix/share/applications/$app.desktop" || fail "the desktop entry names another icon"
cp -r "$prefix/share/mime" "$scratch/mime"
XDG_DATA_DIRS="$scratch" update-mime-database "$scratch/mime" 2>"$scratch/mime.txt" || { cat "$scratch/mime.txt" >&2; fail "update-mime-database refused the file type"; }
[ ! -s "$scratch/mime.txt" ] || { cat "$scratch/mime.txt" >&2; fail "update-mime-database warned"; }
grep -q 'application/x-qxrun-game' "$scratch/mime/globs2" || fail "no .qxf file type after update-mime-database"

# Man pages: rendered without a warning, and naming every option and command the programs list.
for page in man6/qxrun.6.gz man1/qxtool.1.gz; do
  warnings=$(MANWIDTH=80 man --warnings -l "$prefix/share/man/$page" 2>&1 >/dev/null) || fail "man cannot render $page"
  [ -z "$warnings" ] || fail "$page: $warnings"
done
# An option is described by an entry of its own: the line after a .TP names it.
entries=$(zcat "$prefix/share/man/man6/qxrun.6.gz" | sed 's/\\-/-/g' | awk 'tp {print} {tp = /^\.TP/}')
for option in $("$prefix/bin/qxrun" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
  grep -q -- "$option\b" <<<"$entries" || fail "qxrun.6 does not describe $option (qxrun --help lists it)"
done
man1=$(zcat "$prefix/share/man/man1/qxtool.1.gz" | sed 's/\\-/-/g; s/\\f[BIRP]//g')
subcommands() { "$prefix/bin/qxtool" "$@" --help | sed -n '/^Subcommands:/,$p' | awk 'NR > 1 && /^  [a-z]/ {print $1}'; }
for command in $(subcommands); do
  inner=$(subcommands "$command")
  if [ -z "$inner" ]; then
    grep -q "qxtool $command\b" <<<"$man1" || fail "qxtool.1 does not describe qxtool $command"
  fi
  for sub in $inner; do
    grep -q "qxtool $command $sub\b" <<<"$man1" || fail "qxtool.1 does not describe qxtool $command $sub"
  done
done

# The installed programs, read-only as a package leaves them, run by a player with a home of
# their own: qxrun plays the demo, and every file it writes lands in that home.
chmod -R a-w,a+rX "$prefix"
chmod a+rx "$scratch"
home="$scratch/home"
mkdir -p "$home"
as=()
if [ "$(id -u)" -eq 0 ]; then
  # Root writes anywhere: the player is the unprivileged user nobody.
  chown 65534:65534 "$home"
  as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
before=$(find "$prefix" -printf '%p %s %T@\n' | sort)
run() { env -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$home" "${as[@]}" "$@"; }
run "$prefix/bin/qxtool" --version | grep -q '^qxtool ' || fail "the installed qxtool does not run"
# Alt+Enter makes the demo write its settings (full screen, the default, off), F12 a screenshot.
printf '5 key 13 alt\n8 key 123\n' >"$home/keys.replay"
out=$(cd "$home" && run "$prefix/bin/qxrun" --headless --fixed-step --frames 40 --replay keys.replay 2>&1) ||
  fail "the installed qxrun failed: $out"
demo="$prefix/share/qxrun/games/demo/demo.qxf"
[ "$(head -1 <<<"$out")" = "qxrun: no game named and none found beside qxrun: playing the bundled demo $demo" ] ||
  fail "the installed qxrun did not say it plays the installed demo: $out"
ini=$(find "$home/.local/share/qxrun" -name '*.ini' 2>/dev/null | head -1)
[ -n "$ini" ] && grep -q '^FS=0' "$ini" || fail "the demo's settings were not kept in the data folder: $out"
ls "$home/Pictures/qxrun/"*.png >/dev/null 2>&1 || fail "F12 left no screenshot in the pictures folder: $out"
after=$(find "$prefix" -printf '%p %s %T@\n' | sort)
[ "$before" = "$after" ] || fail "the installed qxrun wrote into its install tree: $(diff <(echo "$before") <(echo "$after") | head -5)"
echo "check_install: ok"
