#!/usr/bin/env bash
# The Debian package as a user meets it: lintian's verdict on it; installed with apt-get; its
# programs run from /usr/bin (the show under Xvfb until Escape); its manual pages, desktop entry
# and AppStream metadata checked as installed; then removed, leaving nothing of it behind.
# Installs and removes the package, so it needs root, and refuses to run where it is installed.
# usage: tests/release/package.sh DEB LINUX_BUILD_DIR   (the build's xmrender and capture are
# the references)
set -uo pipefail
[ $# -eq 2 ] || { echo "usage: $0 DEB LINUX_BUILD_DIR" >&2; exit 2; }
deb=$(realpath "$1")
reference_xmrender=$(realpath "$2")/bin/xmrender
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
note() { echo "  $*"; }
installed() { dpkg-query -W -f='${db:Status-Abbrev}' vemora 2>/dev/null | grep -q '^ii'; }
work=$(mktemp -d)
xvfb_pid=""
ours=0
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  # A run cut short still takes away what it installed.
  [ $ours -eq 1 ] && installed && DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -qq vemora >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

[ "$(id -u)" -eq 0 ] || { echo "FAIL: installing the package needs root" >&2; exit 1; }
installed && { echo "FAIL: vemora is installed already; this test would remove it" >&2; exit 1; }
version=$(dpkg-deb -f "$deb" Version)

echo "=== $(basename "$deb"): $(stat -c %s "$deb") bytes"
note "Depends: $(dpkg-deb -f "$deb" Depends)"
note "Recommends: $(dpkg-deb -f "$deb" Recommends)"
programs=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | sed -n 's|^\./usr/bin/||p' | grep . | sort | paste -sd ' ')
[ "$programs" = "capture vemora xmrender" ] || fail "the package's programs are [$programs]"
# Errors fail the package; warnings and notes are shown for the record.
lintian_rc=0
lintian --info --fail-on error "$deb" >"$work/lintian.log" 2>&1 || lintian_rc=$?
sed 's/^/  lintian: /' "$work/lintian.log"
[ "$lintian_rc" -eq 0 ] || fail "lintian found errors"

echo "=== apt-get install"
ours=1
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; echo "FAIL: the package does not install"; exit 1; }
files=$(dpkg-query -L vemora)
note "$(wc -l <<<"$files") paths installed"

echo "=== The programs from /usr/bin"
for program in vemora capture xmrender; do
  said=$(/usr/bin/$program --version)
  [ "$said" = "$program $version" ] || fail "$program --version says \"$said\", not \"$program $version\""
done
song=$source_dir/src/assets/song.xm
/usr/bin/xmrender "$song" "$work/installed.wav" >/dev/null && "$reference_xmrender" "$song" "$work/built.wav" >/dev/null ||
  fail "xmrender failed on the song"
if cmp -s "$work/installed.wav" "$work/built.wav"; then
  note "xmrender: the song as $(stat -c %s "$work/installed.wav") bytes, the same as the build's"
else
  fail "the installed xmrender renders the song differently from the build's"
fi
# The first frame is presented after 5.3 s (the window's dissolve and the pause come first), so a
# 3 s run would write none: 7 s give 114 frames, which must be the build's, byte for byte.
if /usr/bin/capture --seconds 7 --png "$work/frames" --quiet &&
  "$(dirname "$reference_xmrender")/capture" --seconds 7 --png "$work/reference" --quiet; then
  frames=$(find "$work/frames" -name 'frame-*.png' | wc -l)
  first=$(file -b "$work/frames/frame-000001.png")
  note "capture: $frames frames in 7 s; the first is $first"
  [ "$frames" -ge 100 ] || fail "capture wrote $frames frames in 7 s"
  [[ $first == "PNG image data, 640 x 480"* ]] || fail "capture's first frame is $first"
  diff -rq "$work/frames" "$work/reference" >/dev/null || fail "the installed capture's frames are not the build's"
else
  fail "capture --seconds 7 --png failed"
fi

echo "=== The show from /usr/bin under Xvfb"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do grep -qx '[0-9]\+' "$work/display" 2>/dev/null && break; sleep 0.1; done
if grep -qx '[0-9]\+' "$work/display"; then
  export DISPLAY=:$(head -n1 "$work/display")
  # No sound card here: SDL's dummy device takes the sound.
  SDL_AUDIODRIVER=dummy /usr/bin/vemora --go >"$work/show.log" 2>&1 &
  show=$!
  sleep 5
  if kill -0 $show 2>/dev/null; then
    xdotool search --name '^Vemora' windowfocus key Escape >/dev/null 2>&1
    for _ in $(seq 100); do kill -0 $show 2>/dev/null || break; sleep 0.1; done
    kill -0 $show 2>/dev/null && { fail "the show is still running 10 s after Escape"; kill $show; }
    wait $show
    code=$?
    note "the show ran 5 s and ended with $code after Escape"
    [ "$code" -eq 0 ] || { fail "the show ended with $code, not 0"; cat "$work/show.log"; }
  else
    wait $show
    fail "the show ended by itself within 5 s with $?"
    cat "$work/show.log"
  fi
else
  fail "Xvfb did not start"
fi

echo "=== Manual pages"
for entry in vemora:6 capture:1 xmrender:1; do
  program=${entry%:*}
  page=/usr/share/man/man${entry#*:}/$program.${entry#*:}.gz
  [ -f "$page" ] || { fail "$page is missing"; continue; }
  lint=$(mandoc -T lint "$page" 2>&1)
  [ -z "$lint" ] || fail "mandoc -T lint on $page: $lint"
  warnings=$(zcat "$page" | groff -man -Tutf8 -ww -z 2>&1)
  [ -z "$warnings" ] || fail "groff on $page: $warnings"
  rendered=$(mandoc -T ascii "$page" | sed 's/.\x08//g')
  # Made from the program's --help: every option it prints is in the page.
  missing=""
  for option in $(/usr/bin/$program --help | grep -o -- '--[a-z-]*' | sort -u); do
    grep -q -- "$option" <<<"$rendered" || missing+=" $option"
  done
  [ -z "$missing" ] || fail "$page lacks$missing"
  note "$page: $(wc -l <<<"$rendered") lines rendered, mandoc and groff silent"
done
[ "$(man -w vemora 2>/dev/null)" = /usr/share/man/man6/vemora.6.gz ] || fail "man vemora does not find the page"

echo "=== Desktop entry and metadata"
entry=/usr/share/applications/vemora.desktop
out=$(desktop-file-validate "$entry" 2>&1) && [ -z "$out" ] || fail "desktop-file-validate: $out"
grep -qx 'Exec=/usr/bin/vemora' "$entry" || fail "the desktop entry does not start /usr/bin/vemora"
for size in 16 32 48 256; do
  [ -f /usr/share/icons/hicolor/${size}x$size/apps/vemora.png ] || fail "no $size-pixel icon"
done
metainfo=/usr/share/metainfo/vemora.metainfo.xml
out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
note "appstreamcli: $(tail -n1 <<<"$out")"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metadata has no release $version"

echo "=== apt-get remove --purge"
DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -qq vemora >"$work/remove.log" 2>&1 ||
  { cat "$work/remove.log"; fail "the package does not remove"; }
installed && fail "vemora is still installed"
# What stays must be a folder that other packages still fill.
left=0
while read -r path; do
  [ -e "$path" ] || continue
  if [ ! -d "$path" ] || [ -z "$(ls -A "$path")" ]; then
    fail "$path is left behind"
    left=$((left + 1))
  fi
done <<<"$files"
note "$left of the package's paths left behind"

[ "$failures" -eq 0 ] || { echo "package: $failures failure(s)"; exit 1; }
echo "package: all checks passed"
