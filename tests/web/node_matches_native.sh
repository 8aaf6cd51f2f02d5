#!/usr/bin/env bash
# node_matches_native.sh WEBBUILD NATIVEBUILD TESTDATA: the programs built for wasm, run under
# Node, must write the native programs' bytes: xmrender's WAV and row starts for the show's song
# (three ways) and for every XM of the test material, and the embedded assets as they are on disk.
set -euo pipefail
web=$1 native=$2 testdata=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
node=(node --no-experimental-fetch)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

# same LABEL ARGS...: xmrender natively and under Node with ARGS (the output file left out).
same() {
  local label=$1 in=$2
  shift 2
  local rc=0
  "$native/bin/xmrender" "$in" "$work/native.wav" "$@" > "$work/native.rows" 2>&1 || rc=$?
  echo "exit $rc" >> "$work/native.rows"
  rc=0
  "${node[@]}" "$web/bin/xmrender.js" "$in" "$work/web.wav" "$@" > "$work/web.rows" 2>&1 || rc=$?
  echo "exit $rc" >> "$work/web.rows"
  if cmp -s "$work/native.rows" "$work/web.rows" &&
     { [ ! -e "$work/native.wav" ] && [ ! -e "$work/web.wav" ] || cmp -s "$work/native.wav" "$work/web.wav"; }; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: xmrender $label $*"
  fi
  rm -f "$work/native.wav" "$work/web.wav"
}

same song "$root/src/assets/song.xm" --positions
same song "$root/src/assets/song.xm" --rate 45454 --positions
same song "$root/src/assets/song.xm" --rate 22050 --plain
for xm in "$testdata"/xm/*.xm; do
  same "$(basename "$xm")" "$xm" --seconds 30 --positions
done

mkdir "$work/assets"
"${node[@]}" "$web/bin/assetdump.js" "$work/assets"
for file in "$work"/assets/*; do
  if cmp -s "$file" "$root/src/assets/$(basename "$file")"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: embedded $(basename "$file") differs from src/assets"
  fi
done
[ "$(ls "$work/assets" | wc -l)" -eq 10 ] || { failed=$((failed + 1)); echo "FAILED: assetdump wrote $(ls "$work/assets" | wc -l) of 10 assets"; }

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
