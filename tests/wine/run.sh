#!/usr/bin/env bash
# The Windows program end to end under Wine: the Settings dialog and its lists; the show in full
# screen on waveOut and through the windowed overlay on DirectSound, its pictures and its sound;
# Escape and the exit codes; then xmrender.exe against the Linux xmrender, byte for byte.
# Given the release zip, the programs are the ones unpacked from it, with their version resources.
# Everything runs in a private Wine prefix, home and X display under the build folder, with a null
# ALSA device; every step has a time-out.
# usage: tests/wine/run.sh WIN64_BUILD_DIR LINUX_XMRENDER [WIN64_ZIP]
set -uo pipefail
[ $# -eq 2 ] || [ $# -eq 3 ] || { echo "usage: $0 WIN64_BUILD_DIR LINUX_XMRENDER [WIN64_ZIP]" >&2; exit 2; }
bin=$(realpath "$1")/bin
xmrender_linux=$(realpath "$2")
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
corpus=$(cd "$source_dir/.." && pwd)/shared/testdata/xm
work=$(realpath "$1")/wine
prefix=$work/prefix
shots=$work/shots
mkdir -p "$work/home" "$shots" "$work/logs"
rm -f "$shots"/*.png "$work"/logs/*
# The programs under test: the build's, or the zip's in a folder of their own.
programs=$bin
if [ $# -eq 3 ]; then
  rm -rf "$work/unzipped"
  unzip -q "$3" -d "$work/unzipped" || { echo "FAIL: $3 does not unpack" >&2; exit 1; }
  programs=$(dirname "$(find "$work/unzipped" -name vemora.exe | head -n1)")
fi
for program in "$programs/vemora.exe" "$bin/winprobe.exe" "$programs/xmrender.exe"; do
  [ -f "$program" ] || { echo "FAIL: $program is not there" >&2; exit 1; }
done
[ -x "$xmrender_linux" ] || { echo "FAIL: $xmrender_linux is not built" >&2; exit 1; }

export WINEPREFIX=$prefix WINEARCH=win64 HOME=$work/home WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share XDG_CACHE_HOME=$HOME/.cache

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
note() { echo "  $*"; }
seconds_since() { echo "$(( $(date +%s%N) / 1000000 - $1 ))" | awk '{ printf "%.1f", $1 / 1000 }'; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
test_started=$(now_ms)

# Windows programs end their lines with CR LF.
probe() { timeout 20 wine "$bin/winprobe.exe" "$@" 2>>"$work/logs/winprobe.log" | tr -d '\r'; }

xvfb_pid=""
show_pid=""
# Every Wine process of this prefix, found by its program and its environment.
prefix_processes() {
  local pid
  for pid in /proc/[0-9]*; do
    case $(readlink "$pid/exe" 2>/dev/null) in
      */wine*) grep -qzx "WINEPREFIX=$prefix" "$pid/environ" 2>/dev/null && echo "${pid#/proc/}" ;;
    esac
  done
}
cleanup() {
  [ -n "$show_pid" ] && kill "$show_pid" 2>/dev/null
  # wineserver -k ends every process of the prefix, the Windows programs included.
  timeout 20 wineserver -k 2>/dev/null
  timeout 20 wineserver -w 2>/dev/null
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
  fi
  local left
  left=$(prefix_processes | tr '\n' ' ')
  if [ -n "$left" ]; then
    fail "processes left behind: $left"
    kill -9 $left 2>/dev/null
  fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# --- display and prefix -------------------------------------------------------------------------
echo "=== X display and Wine prefix"
rm -f "$work/display"
Xvfb -displayfd 3 -screen 0 640x480x16 -nolisten tcp 3>"$work/display" 2>"$work/logs/xvfb.log" &
xvfb_pid=$!
# Xvfb writes the number it chose, then a new line.
for _ in $(seq 100); do grep -qx '[0-9]\+' "$work/display" 2>/dev/null && break; sleep 0.1; done
grep -qx '[0-9]\+' "$work/display" || { fail "Xvfb did not start"; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")
note "Xvfb on $DISPLAY, 640x480x16"

if [ ! -f "$prefix/system.reg" ]; then
  started=$(now_ms)
  timeout 180 wine wineboot -i >"$work/logs/wineboot.log" 2>&1 || { fail "prefix creation failed"; exit 1; }
  timeout 60 wineserver -w
  note "prefix created in $(seconds_since "$started") s"
else
  note "prefix reused"
fi
# ALSA (and so the null device), not whatever sound server the machine may have. No window manager
# runs here: unmanaged windows spare the 2 s Wine would wait for one when a window goes.
timeout 60 wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f >"$work/logs/reg.log" 2>&1 &&
  timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$work/logs/reg.log" 2>&1 ||
  { fail "the prefix's settings could not be written"; exit 1; }

# --- the show ----------------------------------------------------------------------------------
start_show() {
  # No sound card: ALSA's null device takes the sound, and a copy is kept as a WAV file.
  printf 'pcm.!default {\n  type file\n  slave.pcm "null"\n  file "%s"\n  format "wav"\n}\n' \
    "$work/played-$1.wav" >"$HOME/.asoundrc"
  rm -f "$work/played-$1.wav"
  wine "$programs/vemora.exe" >"$work/logs/vemora-$1.log" 2>&1 &
  show_pid=$!
  probe wait Settings 60 || { fail "$1: no Settings window"; return 1; }
}

# Sets rate, channels, bits and bytes (of sound) from the header ALSA wrote.
read_played() {
  [ -s "$1" ] || { fail "the show played no sound"; return 1; }
  rate=$(od -An -tu4 -j24 -N4 "$1" | tr -d ' ')
  channels=$(od -An -tu2 -j22 -N2 "$1" | tr -d ' ')
  bits=$(od -An -tu2 -j34 -N2 "$1" | tr -d ' ')
  bytes=$(( $(stat -c %s "$1") - 44 ))
}

# Through DirectSound the sound reaches ALSA converted by Wine's mixer: it must only not be silence.
check_sound() {
  read_played "$1" || return
  local audible
  audible=$(tail -c +45 "$1" | tr -d '\0' | wc -c)
  note "sound: $bytes bytes of $bits bits, $channels channels at $rate Hz, $(( audible * 100 / (bytes + 1) ))% of them non-zero"
  [ "$audible" -ge $(( bytes / 10 + 1 )) ] || fail "the show played silence"
}

# The sound as ALSA received it must be the song as xmrender renders it at that rate, frame for
# frame, for as long as the show played. The null device takes it faster than real time, so Wine
# runs dry now and then and fills in silence; that is all same_sound.py lets pass.
check_played() {
  local played=$1 reference verdict
  read_played "$played" || return
  [ "$bits/$channels" = 16/2 ] || { fail "the sound reached ALSA as $bits bits, $channels channels"; return; }
  [ "$bytes" -ge $(( rate * 4 )) ] || { fail "the show played less than a second of sound"; return; }
  reference=$work/song-$rate.wav
  timeout 120 "$xmrender_linux" "$source_dir/src/assets/song.xm" "$reference" --rate "$rate" ||
    { fail "xmrender failed on the song"; return; }
  if verdict=$(timeout 120 python3 "$source_dir/tests/wine/same_sound.py" "$played" "$reference"); then
    note "sound: $bytes bytes at $rate Hz, $(awk -v b="$bytes" -v r="$rate" 'BEGIN { printf "%.1f", b / r / 4 }') s; $verdict"
  else
    fail "the sound is not xmrender's at $rate Hz: $verdict"
  fi
  rm -f "$reference"
}

# Escape must end the show with code 0 within 10 s.
escape_show() {
  timeout 10 xdotool key Escape
  local escaped
  escaped=$(now_ms)
  finish_show 10
  note "Escape: ended after $(seconds_since "$escaped") s with code $code"
  [ "$code" = 0 ] || fail "$1 show ended with $code, not 0"
}

stop_show() {
  [ -n "$show_pid" ] || return
  kill "$show_pid" 2>/dev/null
  wait "$show_pid"
  show_pid=""
}

# Waits up to $1 seconds for the show to end; sets code to its exit code (Wine passes -1 as 255)
# or to "hung".
finish_show() {
  local deadline=$(( $(now_ms) + $1 * 1000 ))
  while kill -0 "$show_pid" 2>/dev/null && [ "$(now_ms)" -lt "$deadline" ]; do sleep 0.1; done
  code=hung
  kill -0 "$show_pid" 2>/dev/null && return
  wait "$show_pid"
  code=$?
  show_pid=""
}

# The share of the picture $1 (or of its area $2, WxH+X+Y) brighter than 12%.
brightness() {
  convert "$1" ${2:+-crop "$2" +repage} -colorspace HSB -channel B -separate +channel -threshold 12% \
    -format '%[fx:mean]' info:
}
percent_lit() { awk -v b="$(brightness "$@")" 'BEGIN { printf "%.0f", b * 100 }'; }
differing() { compare -metric AE -fuzz 3% "$1" "$2" null: 2>&1; }
# A frame of the show: at least 1% of the window's client area $2 lit, not the dialog picture.
is_show_picture() {
  awk -v lit="$(brightness "$1" "$2")" -v diff="$(differing "$1" "$shots/dialog.png")" \
    'BEGIN { exit !(lit >= 0.01 && diff >= 640 * 480 / 10) }'
}
shoot() { timeout 20 import -window root "$shots/$1.png"; }

# Compares combo box $1 of the dialog with the lines $2; $3 names the list.
check_list() {
  local items
  items=$(probe items Settings "$1")
  note "$3 list $1: [$(paste -sd '|' <<<"$items")]"
  [ -n "$2" ] || fail "Wine enumerates nothing for the $3 list"
  [ "$items" = "$2" ] || fail "$3 list $1 should hold [$(paste -sd '|' <<<"$2")]"
}

# The dialog may be up before it is painted; it covers about 15% of the screen.
shoot_dialog() {
  for _ in $(seq 20); do
    shoot dialog
    awk -v lit="$(brightness "$shots/dialog.png")" 'BEGIN { exit !(lit >= 0.05) }' && return
    sleep 0.25
  done
  fail "the Settings dialog is not drawn"
}

echo "=== Version resources"
# What the files' properties show: the product, the version the Linux tools print, the copyright.
version=$("$xmrender_linux" --version | cut -d' ' -f2)
for program in vemora xmrender; do
  properties=$(probe version "$(winepath -w "$programs/$program.exe" 2>/dev/null)")
  note "$program.exe: $(paste -sd '|' <<<"$properties")"
  for expected in ProductName=Vemora "FileVersion=$version" "ProductVersion=$version" "fixed=$version.0" \
    "OriginalFilename=$program.exe"; do
    grep -qxF "$expected" <<<"$properties" || fail "$program.exe's properties lack $expected"
  done
  grep -q '^LegalCopyright=Copyright (c) [0-9]\{4\} ' <<<"$properties" || fail "$program.exe's properties lack the copyright"
  grep -q '^FileDescription=.' <<<"$properties" || fail "$program.exe's properties lack a description"
done

echo "=== Full screen"
started=$(now_ms)
if start_show fullscreen; then
  note "Settings dialog after $(seconds_since "$started") s"
  shoot_dialog
  check_list 102 "$(probe devices waveout; probe devices directsound)" audio
  check_list 103 "$(printf '%s\n' 100000 65535 45454 44100 22050 11025)" rate
  check_list 107 "$(probe devices directdraw)" video
  probe click Settings 108 || fail "GO could not be pressed"
  if probe wait "Vemora - Halvorine" 20; then
    shown=$(now_ms)
    probe wait Settings 0 && fail "the Settings dialog is still up after GO"
    area=$(probe client "Vemora - Halvorine")
    [ "$area" = 640x480+0+0 ] || fail "the full screen window's client area is $area, not the screen"
    previous=""
    # The window dissolves for about 2 s and pauses 3 s; then the pictures come.
    for moment in 6.5 8.5 11; do
      sleep "$(awk -v m="$moment" -v t="$(seconds_since "$shown")" 'BEGIN { d = m - t; print (d > 0 ? d : 0) }')"
      probe wait Error 0 && fail "the show stopped with \"$(probe text Error 65535)\""
      shoot "fullscreen-$moment"
      shot=$shots/fullscreen-$moment.png
      note "at $moment s: $(percent_lit "$shot" "$area")% lit, $(convert "$shot" -format %k info:) colours"
      is_show_picture "$shot" "$area" || fail "the screen at $moment s is not a picture of the show"
      [ -n "$previous" ] && [ "$(differing "$shot" "$previous")" -eq 0 ] && fail "the picture at $moment s did not move"
      previous=$shot
    done
    escape_show "full screen"
    check_played "$work/played-fullscreen.wav"
  else
    fail "no show window after GO"
  fi
fi
stop_show

echo "=== Windowed (overlay), first DirectSound device"
if start_show windowed; then
  probe select Settings 102 "$(probe devices waveout | wc -l)" || fail "no DirectSound device to choose"
  probe click Settings 110 && probe click Settings 108 || fail "could not tick the overlay and press GO"
  # Display set-up follows the 2 s dissolve: either the error message or the running show by then.
  if probe wait Error 8; then
    message=$(probe text Error 65535)
    shoot windowed-error
    probe click Error 1 || probe click Error 2 || fail "the error message could not be dismissed"
    finish_show 10
    note "the overlay was refused: \"$message\", exit code $code"
    [ "$message" = "init windowed failed" ] || fail "the overlay refusal showed \"$message\""
    [ "$code" = 255 ] || fail "the overlay refusal ended with $code, not -1"
  elif probe wait "Vemora - Halvorine" 0; then
    sleep 4
    shoot windowed
    area=$(probe client "Vemora - Halvorine")
    if is_show_picture "$shots/windowed.png" "$area"; then
      note "the overlay was accepted and shows the show in the client area $area"
    else
      note "the overlay was accepted, but Wine shows none of it: the client area $area is $(percent_lit "$shots/windowed.png" "$area")% lit"
    fi
    escape_show windowed
    check_sound "$work/played-windowed.wav"
  else
    fail "windowed: neither the show window nor an error message after GO"
  fi
fi
stop_show

# --- the engines on both systems ---------------------------------------------------------------
echo "=== xmrender.exe against xmrender"
render_both() {
  local name=$1 in=$2
  shift 2
  local linux=$work/$name.linux.wav windows=$work/$name.windows.wav started
  rm -f "$linux" "$windows"
  started=$(now_ms)
  timeout 120 "$xmrender_linux" "$in" "$linux" "$@" || { fail "$name: xmrender failed"; return; }
  local linux_time=$(seconds_since "$started")
  started=$(now_ms)
  timeout 300 wine "$programs/xmrender.exe" "Z:$in" "Z:$windows" "$@" 2>>"$work/logs/xmrender.log" ||
    { fail "$name: xmrender.exe failed"; return; }
  local windows_time=$(seconds_since "$started")
  if cmp -s "$linux" "$windows"; then
    note "$name${*:+ $*}: $(stat -c %s "$linux") bytes identical (Linux $linux_time s, Wine $windows_time s)"
    rm -f "$linux" "$windows"
  else
    fail "$name${*:+ $*}: the WAVs differ: $(cmp "$linux" "$windows" | head -n1)"
  fi
}
render_both song "$source_dir/src/assets/song.xm"
render_both song "$source_dir/src/assets/song.xm" --plain --rate 22050
for file in song_milky_theday song_fb_introzik song_xyce_dans_la_rue; do
  if [ -f "$corpus/$file.xm" ]; then
    render_both "$file" "$corpus/$file.xm"
  else
    note "$file: not in $corpus, skipped"
  fi
done

cleanup
trap - EXIT
took="$(seconds_since "$test_started") s"
if [ "$failures" -ne 0 ]; then
  echo "Wine test: $failures failure(s) in $took; screenshots and logs in $work"
  exit 1
fi
echo "Wine test passed in $took; screenshots in $shots"
