# Shared by the end-to-end scripts: starting and stopping the program under Wine, the probe,
# keys, screenshots and the pass/fail tally. Sourced, not run.
#
# Environment (set by tests/e2e/CMakeLists.txt; DISPLAY, WINEPREFIX and the printer by ./test):
#   E2E_PROGRAM    Folirex.exe        E2E_COMPONENT  MiPageView.dll
#   E2E_PROBE      the probe          E2E_SAMPLE     the three-page sample document
#   E2E_OUT        this script's output folder (screenshots, logs), emptied at the start
#   E2E_UPDATE_DOCS=1  also copies the screenshots meant for the README into docs/
set -euo pipefail

E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
PASSED=0
FAILED=0
APP_PID=""

die() {
  echo "FATAL: $*" >&2
  exit 1
}

for var in E2E_PROGRAM E2E_COMPONENT E2E_PROBE E2E_SAMPLE E2E_OUT DISPLAY WINEPREFIX; do
  [ -n "${!var:-}" ] || die "$var is not set (run through ./test or ctest in a build folder)"
done
for file in "$E2E_PROGRAM" "$E2E_COMPONENT" "$E2E_PROBE" "$E2E_SAMPLE"; do
  [ -f "$file" ] || die "missing $file"
done
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

rm -rf "$E2E_OUT"
mkdir -p "$E2E_OUT"
# The program keeps its last-file record beside itself: a copy of its own here starts
# every script without one and leaves the build's copy alone.
cp "$E2E_PROGRAM" "$E2E_OUT/Folirex.exe"
EXE="$E2E_OUT/Folirex.exe"

winpath() { winepath -w "$1" 2>/dev/null; }

# The component this build made is the one the prefix must create.
wine regsvr32 /s "$(winpath "$E2E_COMPONENT")" >/dev/null 2>&1 || die "cannot register $E2E_COMPONENT"

pass() {
  PASSED=$((PASSED + 1))
  echo "PASS: $*"
}

fail() {
  FAILED=$((FAILED + 1))
  echo "FAIL: $*"
}

# expect_eq WHAT ACTUAL EXPECTED
expect_eq() {
  if [ "$2" == "$3" ]; then pass "$1"; else fail "$1: got '$2', expected '$3'"; fi
}

# expect WHAT COMMAND...: passes when the command succeeds.
expect() {
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

finish() {
  echo "$(basename "$0" .sh): $PASSED passed, $FAILED failed"
  [ "$FAILED" -eq 0 ] && [ "$PASSED" -gt 0 ]
}

# The probe's output without the carriage returns its text-mode stdout adds. Its errors, and
# Wine's should the probe not run at all, are passed on before it returns: a script that
# stops on the answer still says why.
probe() {
  local errors status=0
  errors=$(mktemp "$E2E_OUT/probe-errors.XXXXXX")
  wine "$E2E_PROBE" "$@" 2>"$errors" | tr -d '\r' || status=$?
  tr -d '\r' <"$errors" >&2
  rm -f "$errors"
  [ "$status" -le 1 ] || echo "probe $1: exit status $status" >&2
  return "$status"
}

# start_program [ARGUMENTS...]: starts the program and waits for its main window.
start_program() {
  # The tests take turns on the display: a main window still there is an earlier program's,
  # whose windows Wine may take down a moment after its process has ended.
  probe gone 10000 || die "the main window of an earlier program stays"
  (cd "$E2E_OUT" && exec wine "$EXE" "$@") >>"$E2E_OUT/program.log" 2>&1 &
  APP_PID=$!
  probe wait-window 20000 >/dev/null || die "the main window did not appear"
}

program_running() { [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; }

# Waits up to $1 seconds for the program's process to end.
wait_exit() {
  local tenths=$(($1 * 10))
  for _ in $(seq "$tenths"); do
    program_running || { wait "$APP_PID" 2>/dev/null || true; return 0; }
    sleep 0.1
  done
  return 1
}

stop_program() {
  if program_running; then
    kill "$APP_PID" 2>/dev/null || true
    wait_exit 5 || kill -9 "$APP_PID" 2>/dev/null || true
  fi
  APP_PID=""
}
trap stop_program EXIT

main_xwindow() { xdotool search --name '^Folirex' 2>/dev/null | head -n 1; }

# Reads the main window's and the page view's screen rectangles into WIN_* and VIEW_*.
read_geometry() {
  local g
  g=$(probe geometry) || die "cannot read the window geometry"
  read -r _ WIN_X WIN_Y WIN_W WIN_H <<<"$(grep '^window' <<<"$g")"
  read -r _ VIEW_X VIEW_Y VIEW_W VIEW_H <<<"$(grep '^view' <<<"$g")"
}

# Gives the main window the focus and clicks into the page view, which takes the keyboard
# focus there.
focus_view() {
  local wid
  wid=$(main_xwindow)
  [ -n "$wid" ] || die "no X window for the main window"
  xdotool windowfocus "$wid" 2>/dev/null || true
  read_geometry
  xdotool mousemove $((VIEW_X + VIEW_W / 2)) $((VIEW_Y + VIEW_H / 2)) click 1
  probe wait-focus view 10000 || die "the page view never took the keyboard focus"
}

# Gives the main window the keyboard focus.
focus_main() {
  local wid
  wid=$(main_xwindow)
  [ -n "$wid" ] || die "no X window for the main window"
  xdotool windowfocus "$wid" 2>/dev/null || true
  probe wait-focus main 10000 || die "the main window never took the keyboard focus"
}

keys() { xdotool key --delay 80 "$@"; }

# Returns once the program has handled the keys sent so far and painted what they changed.
settle() { probe settle || die "the program does not answer"; }

# in_dialog TITLE TEXT: types TEXT into the program's dialog box TITLE, once the box has the
# keyboard focus, and presses Enter.
in_dialog() {
  probe wait-focus "$1" 10000 || die "no dialog \"$1\" with the keyboard focus"
  local wid
  wid=$(xdotool search --name "^$1\$" 2>/dev/null | head -n 1)
  [ -n "$wid" ] && xdotool windowfocus "$wid" 2>/dev/null
  xdotool type --delay 20 "$2"
  keys Return
}

# open_document PATH: Ctrl+O from the page view, PATH typed into the Open dialog; waits until
# the caption names the document and panel 1 reads page 1.
open_document() {
  focus_view
  keys ctrl+o
  in_dialog "Open MDI Document" "$(winpath "$1")"
  probe wait-caption "Folirex - $(winpath "$1")" 10000 >/dev/null || die "$1 did not open"
  probe wait-panel 1 "Page 1 of 3" 10000 >/dev/null || die "$1 did not open at page 1 of 3"
  local box
  box=$(probe wait-no-box 10000) || die "a box stays shown after the document opened: $box"
}

# wait_printed JOB: the PDF the CUPS printer makes of the job titled JOB, once it is whole
# (within 60 seconds); prints its path, or nothing.
wait_printed() {
  local pdf deadline=$((SECONDS + 60))
  while [ "$SECONDS" -lt "$deadline" ]; do
    pdf=$(find "$HOME/PDF" /var/spool/cups-pdf/ANONYMOUS -name "*$1*.pdf" 2>/dev/null | head -n 1)
    [ -n "$pdf" ] && pdfinfo "$pdf" >/dev/null 2>&1 && { echo "$pdf"; return 0; }
    sleep 0.2
  done
  echo "no PDF of the print job $1 within 60 s" >&2
}

# wait_clipboard FORMAT EXPECTED_FILE: the clipboard's text ("text": CF_TEXT, "unicode")
# comes to hold EXPECTED_FILE's bytes within ten seconds.
wait_clipboard() { probe wait-clipboard "$1" "$(winpath "$2")" 10000; }

# shot NAME [X Y W H]: a screenshot of the main window (or of the given screen rectangle),
# taken once the program has painted what the keys sent so far changed and the screen has
# stopped changing; prints the file's path.
shot() {
  local name=$1 x=${2:-} y=${3:-} w=${4:-} h=${5:-}
  settle >&2
  if [ -z "$x" ]; then
    read_geometry
    x=$WIN_X y=$WIN_Y w=$WIN_W h=$WIN_H
  fi
  local file="$E2E_OUT/$name.png" previous="$E2E_OUT/.$name.previous.png"
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$previous"
  for _ in $(seq 20); do
    sleep 0.25
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$file"
    cmp -s "$file" "$previous" && break
    mv "$file" "$previous"
    cp "$previous" "$file"
  done
  rm -f "$previous"
  echo "$file"
}

# The page view's part of a main-window screenshot, as "X Y W H" within the screenshot.
view_in_shot() { echo "$((VIEW_X - WIN_X)) $((VIEW_Y - WIN_Y)) $VIEW_W $VIEW_H"; }

analyse() { python3 "$E2E_DIR/analyse.py" "$@"; }

# publish SHOT NAME: copies a screenshot into docs/ when asked to.
publish() {
  [ "${E2E_UPDATE_DOCS:-}" == 1 ] || return 0
  mkdir -p "$E2E_DIR/../../docs"
  cp "$1" "$E2E_DIR/../../docs/$2"
  echo "Copied to docs/$2"
}

# sample_facts DOCUMENT: what a person should get from the three-page sample, read from the
# document itself (its layout is TIFF's apart from the first two bytes; each page's text is in
# tag 37679: 01 00, a 32-bit length, the text, then a carriage return and a zero byte).
# Sets PAGE_W, PAGE_H, PAGE_DPI (page 1) and PAGE2_SIZE ("WxH"); writes into $E2E_OUT
# text-N.utf16 (page N's text as the component copies it), all-text.expected (every page's
# text with CR LF after each and the closing zero, as Ctrl+A copies it) and sample.tif.
sample_facts() {
  python3 - "$1" "$E2E_OUT" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
out = sys.argv[2]
texts = []
ifd = struct.unpack_from("<I", data, 4)[0]
while ifd:
    count = struct.unpack_from("<H", data, ifd)[0]
    text = b""
    for i in range(count):
        tag, kind, n, value = struct.unpack_from("<HHII", data, ifd + 2 + 12 * i)
        if tag == 37679:
            raw = data[value:value + n] if n > 4 else data[ifd + 10 + 12 * i:][:n]
            length = struct.unpack_from("<I", raw, 2)[0]
            text = raw[6:6 + length]
            if text.endswith(b"\r\0"):
                text = text[:-2]
    texts.append(text)
    ifd = struct.unpack_from("<I", data, ifd + 2 + 12 * count)[0]
for number, text in enumerate(texts, 1):
    open(f"{out}/text-{number}.utf16", "wb").write(text.decode("cp1252").encode("utf-16-le"))
open(f"{out}/all-text.expected", "wb").write(b"".join(t + b"\r\n" for t in texts) + b"\0")
PY
  local tiff="$E2E_OUT/sample.tif"
  cp "$1" "$tiff"
  printf 'II' | dd of="$tiff" bs=1 count=2 conv=notrunc status=none
  read -r PAGE_W PAGE_H PAGE_DPI <<<"$(identify -format '%w %h %x\n' "$tiff" 2>/dev/null | head -n 1)"
  PAGE2_SIZE=$(identify -format '%wx%h\n' "$tiff" 2>/dev/null | sed -n 2p)
  [ -n "$PAGE_DPI" ] && [ -n "$PAGE2_SIZE" ] || die "cannot read the sample's page sizes"
}
