#!/usr/bin/env bash
# End to end under X: the program opens the sample and closes; started again
# without arguments, its File menu offers the sample, and choosing it opens the
# sample. Screenshots of the File menu and of the About box are left in $3.
#   end_to_end.sh FOLIREX_EXE SAMPLE SCREENSHOT_DIR
# Needs DISPLAY, WINEPREFIX with the component registered, xdotool, imagemagick.
set -euo pipefail
exe_built=$1 sample=$2 shots=$3
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY"; exit 1; }
mkdir -p "$shots"

# A copy of its own, so that the record beside it is this test's alone.
work=$(mktemp -d)
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cp "$exe_built" "$work/Folirex.exe"
exe="$work/Folirex.exe"
record="$work/Folirex.exe.cfg"
doc=$(winepath -w "$(realpath "$sample")" 2>/dev/null)

wait_for_title() {  # wait_for_title REGEX: prints the window id
  for _ in $(seq 150); do
    local id
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  echo "no window titled $1" >&2
  return 1
}

wait_gone() {  # wait_gone REGEX
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
    sleep 0.2
  done
  echo "window $1 still shown" >&2
  return 1
}

keys() {  # keys WINDOW KEY...: gives the window the focus (no window manager here), then types
  local id=$1; shift
  xdotool windowfocus "$id" 2>/dev/null || true
  sleep 0.3
  for k in "$@"; do
    xdotool key "$k"
    sleep 0.3
  done
}

wait_exit() {
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid" || true; pid=""; return 0; }
    sleep 0.2
  done
  echo "the program did not end" >&2
  return 1
}

# Quoting the title for a regular expression: the path holds backslashes and dots.
title_of() { printf '^Folirex - %s$' "$(printf '%s' "$1" | sed 's/[]\\.^$*[]/\\&/g')"; }

echo "First run, on the sample"
wine "$exe" "$doc" &
pid=$!
main=$(wait_for_title "$(title_of "$doc")")
keys "$main" alt+F4
wait_exit
printf '%s\r\n' "$doc" | cmp - "$record" || { echo "record is not the sample's path and CR LF"; od -c "$record"; exit 1; }

echo "Second run, without arguments"
wine "$exe" &
pid=$!
main=$(wait_for_title '^Folirex$')
sleep 1
keys "$main" alt+f
sleep 0.5
import -window root "$shots/file-menu-last-file.png"
# Open, Print (disabled), Close, then the last file.
keys "$main" Down Down Down Return
main=$(wait_for_title "$(title_of "$doc")")
echo "The last-file item opened the sample"

echo "The About box"
keys "$main" alt+a Return
box=$(wait_for_title '^About Folirex$')
sleep 1
import -window root "$shots/about-box.png"
keys "$box" Escape          # in the text: nothing happens
sleep 0.5
xdotool search --onlyvisible --name '^About Folirex$' >/dev/null || { echo "Escape in the text closed the box"; exit 1; }
keys "$box" Tab Escape      # on Close: closes
wait_gone '^About Folirex$'
main=$(wait_for_title '^Folirex - ')
keys "$main" alt+F4
wait_exit
echo "Screenshots in $shots"
