#!/usr/bin/env bash
# node_matches_native.sh WEBBUILD NATIVEBUILD TESTDATA: the programs built for wasm, run under
# Node, must write the native programs' bytes: xmrender's WAV and row starts for the show's song
# (three ways) and for every XM of the test material, the embedded assets as they are on disk,
# and capture's outputs: 30 s of the show twice, and a whole pass against the golden frames.
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

# capture_same LABEL ARGS...: capture natively and under Node with ARGS and every output but
# pictures and video; each must hold the same bytes.
capture_same() {
  local label=$1
  shift
  local outputs=(--log log --hashes hashes --wav wav --raw raw)
  for side in native web; do
    mkdir -p "$work/$side/raw"
    local args=()
    for ((i = 0; i < ${#outputs[@]}; i += 2)); do args+=("${outputs[i]}" "$work/$side/${outputs[i + 1]}"); done
    if [ $side = native ]; then
      "$native/bin/capture" --quiet "$@" "${args[@]}"
    else
      "${node[@]}" "$web/bin/capture.js" --quiet "$@" "${args[@]}"
    fi
  done
  if diff -r -q "$work/native" "$work/web" > /dev/null; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: capture $label $*: $(diff -r -q "$work/native" "$work/web" | head -n 3)"
  fi
  rm -rf "$work/native" "$work/web"
}
capture_same "30 s" --seconds 30 --every 60
capture_same "30 s windowed, 22050 Hz, plain, DirectSound" --seconds 30 --windowed --rate 22050 --plain --dsound --every 60

# A whole pass: every frame and the sound against the golden ones, the log against the native one.
# (The windowed pixel format is held to the native bytes by the 30 s windowed run above.)
"$native/bin/capture" --quiet --log "$work/native-pass.log"
"${node[@]}" "$web/bin/capture.js" --quiet --hashes "$work/pass.hashes" --log "$work/pass.log"
if cmp -s "$work/pass.hashes" "$root/tests/golden/fullscreen.hashes" && cmp -s "$work/pass.log" "$work/native-pass.log"; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
  echo "FAILED: capture.js's whole pass: $(diff "$work/pass.hashes" "$root/tests/golden/fullscreen.hashes" | head -n 3)"
fi

# Pictures through Node's zlib: other bytes than the zlib library's, the same pixels.
mkdir "$work/png-native" "$work/png-web"
"$native/bin/capture" --quiet --seconds 8 --every 100 --png "$work/png-native"
"${node[@]}" "$web/bin/capture.js" --quiet --seconds 8 --every 100 --png "$work/png-web"
if python3 "$root/tests/web/png_pixels.py" "$work/png-native" "$work/png-web"; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
  echo "FAILED: capture.js's PNG files"
fi

# No ffmpeg under Node: a clear error, not a run.
rc=0
"${node[@]}" "$web/bin/capture.js" --seconds 1 --video "$work/show.mp4" 2> "$work/video.err" || rc=$?
if [ $rc -eq 1 ] && grep -q -- '--video needs the ffmpeg program' "$work/video.err" && [ ! -e "$work/show.mp4" ]; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
  echo "FAILED: capture.js --video exited with $rc: $(cat "$work/video.err")"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
