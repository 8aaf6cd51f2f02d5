#!/usr/bin/env bash
# The zips as a user unpacks them. Windows: one folder holding the two programs, stripped and
# importing only Windows' own DLLs (no compiler runtime to go missing), a README with Windows line
# ends that lists the programs' options, and the licence. Web: one folder that is the whole site
# (the page, the program's script, worker and WebAssembly), a README on serving it, the licence
# and the dialog face's.
# usage: tests/release/zips.sh ZIP...
set -uo pipefail
[ $# -ge 1 ] || { echo "usage: $0 ZIP..." >&2; exit 2; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
note() { echo "  $*"; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# DLLs that every Windows has.
system_dlls=" kernel32.dll user32.dll gdi32.dll winmm.dll ddraw.dll dsound.dll msvcrt.dll advapi32.dll "

# crlf_only FILE: every line of FILE ends with CR LF.
crlf_only() { [ -s "$1" ] && [ "$(grep -c $'\r$' "$1")" -eq "$(wc -l <"$1")" ] && [ -z "$(tail -c1 "$1" | tr -d '\n')" ]; }

# check_web ZIP NAME: the web site's zip.
check_web() {
  local zip=$1 name=$2 listing expected dir
  listing=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
  expected=""
  for file in LICENSE.txt OFL.txt README.txt audio-worklet.js icon.png index.html page.css page.js sw.js vemora.js \
    vemora.wasm vemora.worker.js; do expected+="$name/$file "; done
  [ "$listing" = "$expected" ] || fail "$name.zip holds [$listing], not [$expected]"
  rm -rf "${work:?}"/*
  unzip -q "$zip" -d "$work" || { fail "$name.zip does not unpack"; return; }
  dir=$work/$name
  [ "$(head -c 4 "$dir/vemora.wasm" | od -An -tx1 | tr -d ' ')" = 0061736d ] || fail "vemora.wasm is not WebAssembly"
  grep -q 'data-program="vemora.js"' "$dir/index.html" || fail "index.html does not start vemora.js"
  head -n1 "$dir/LICENSE.txt" | grep -q '^MIT License' || fail "LICENSE.txt is not the MIT licence"
  grep -q 'SIL OPEN FONT LICENSE' "$dir/OFL.txt" || fail "OFL.txt is not the SIL Open Font Licence"
  for said in Cross-Origin-Opener-Policy sw.js "?go" Escape "python3 -m http.server"; do
    grep -qF -- "$said" "$dir/README.txt" || fail "README.txt does not mention $said"
  done
  note "site: $(du -cb "$dir"/* | tail -n1 | cut -f1) bytes in $(ls "$dir" | wc -l) files"
}

for zip in "$@"; do
  name=$(basename "$zip" .zip)
  echo "=== $name.zip"
  case $name in
    *-web) check_web "$zip" "$name"; continue ;;
    *-win64) triple=x86_64-w64-mingw32 gui="PE32+ executable (GUI) x86-64" console="PE32+ executable (console) x86-64" ;;
    *-win32) triple=i686-w64-mingw32 gui="PE32 executable (GUI) Intel 80386" console="PE32 executable (console) Intel 80386" ;;
    *) fail "$zip: not a win32, win64 or web zip"; continue ;;
  esac
  listing=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
  expected="$name/LICENSE.txt $name/README.txt $name/vemora.exe $name/xmrender.exe "
  [ "$listing" = "$expected" ] || fail "$name.zip holds [$listing], not [$expected]"
  rm -rf "${work:?}"/*
  unzip -q "$zip" -d "$work" || { fail "$name.zip does not unpack"; continue; }
  dir=$work/$name

  for text in README.txt LICENSE.txt; do
    crlf_only "$dir/$text" || fail "$text does not end every line with CR LF"
  done
  head -n1 "$dir/LICENSE.txt" | grep -q '^MIT License' || fail "LICENSE.txt is not the MIT licence"
  for said in --windowed --go --positions Escape "wine vemora.exe"; do
    grep -q -- "$said" "$dir/README.txt" || fail "README.txt does not mention $said"
  done

  for program in vemora xmrender; do
    exe=$dir/$program.exe
    kind=$gui
    [ $program = xmrender ] && kind=$console
    description=$(file -b "$exe")
    [[ $description == "$kind"* ]] || fail "$program.exe is $description, not $kind"
    imports=$("$triple-objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
    note "$program.exe: $(stat -c %s "$exe") bytes, imports $(paste -sd ' ' <<<"$imports")"
    [ -n "$imports" ] || fail "$program.exe imports nothing: unreadable"
    for dll in $imports; do
      [[ $system_dlls == *" $dll "* ]] || fail "$program.exe imports $dll, which Windows does not have"
    done
    "$triple-nm" "$exe" 2>&1 | grep -q 'no symbols' || fail "$program.exe is not stripped"
  done
done
[ "$failures" -eq 0 ] || { echo "zips: $failures failure(s)"; exit 1; }
echo "zips: all checks passed"
