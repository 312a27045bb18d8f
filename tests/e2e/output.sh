#!/usr/bin/env bash
# The document leaving the program: Ctrl+A copies every page's text, Ctrl+S (from inside the
# page view) saves page 1 as a bitmap through the real save dialog, Ctrl+P prints pages 2 to
# 3 on the CUPS PDF printer.
source "$(dirname "$0")/lib.sh"

# A copy of the sample under a name of this run's own: the print job is titled by it, and
# the PDF printer names its file after the title.
job="e2eprint$$"
doc="$E2E_OUT/$job.mdi"
cp "$E2E_SAMPLE" "$doc"

# The page texts and page 1's size, read from the document itself.
sample_facts "$doc"
page1_size="${PAGE_W}x${PAGE_H}"

start_program "$(winpath "$doc")"
probe wait-panel 1 "Page 1 of 3" 15000 >/dev/null || die "the document did not open"
focus_view

# --- Ctrl+A: the whole document's text, as CF_TEXT.
keys ctrl+a
if wait_clipboard text "$E2E_OUT/all-text.expected"; then
  pass "Ctrl+A: the clipboard holds every page's text, CR LF after each"
else
  fail "Ctrl+A: the clipboard's CF_TEXT bytes differ from the pages' texts"
  echo "expected:" && od -c "$E2E_OUT/all-text.expected" | head -20
fi
expect "Ctrl+A: no message box" probe no-box

# --- Ctrl+S with the focus in the view: the save dialog, a typed name, Enter.
bmp="$E2E_OUT/page1.bmp"
focus_view
keys ctrl+s
dialog=$(probe wait-box "Save as bitmap" 10000 | head -n 1) || true
expect_eq "Ctrl+S in the view opens the save dialog" "$dialog" "Save as bitmap"
if [ "$dialog" == "Save as bitmap" ]; then
  shot save-dialog 0 0 1280 1024 >/dev/null
  in_dialog "Save as bitmap" "$(winpath "$bmp")"
  # The file is written before the command returns to the message loop.
  probe wait-no-box 10000 >/dev/null && settle
  expect "Ctrl+S: the bitmap file is written" test -s "$bmp"
  expect_eq "Ctrl+S: the bitmap has page 1's size" \
    "$(identify -format '%m %wx%h' "$bmp" 2>/dev/null)" "BMP3 $page1_size"
  # Page 1 is black and white, stored losslessly: its pixels come back exactly.
  expect_eq "Ctrl+S: the bitmap's pixels are page 1's" \
    "$(compare -quiet -metric AE "$bmp" "$E2E_OUT/sample.tif[0]" null: 2>&1 || true)" 0
  expect "Ctrl+S: no message box afterwards" probe no-box
fi

# --- Ctrl+P: pages 2 to 3 on the PDF printer.
# "colour" when a fair number of a rendered page's pixels are coloured, else "grey".
colour_kind() {
  python3 - "$1" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
parts = data.split(maxsplit=3)
maximum = parts[3].split(maxsplit=1)[0]
pixels = parts[3][len(maximum) + 1:]
coloured = sum(1 for i in range(0, len(pixels) - 2, 3)
               if max(pixels[i:i + 3]) - min(pixels[i:i + 3]) > 40)
print("colour" if coloured > 100 else "grey")
PY
}
[ "$(lpstat -d 2>/dev/null)" == "system default destination: PDF" ] ||
  die "the CUPS printer \"PDF\" is not the default (./test starts it)"
focus_view
keys ctrl+p
dialog=$(probe wait-box Print 10000 | head -n 1) || true
expect_eq "Ctrl+P opens the print dialog" "$dialog" "Print"
if [ "$dialog" == "Print" ]; then
  shot print-dialog 0 0 1280 1024 >/dev/null
  expect "the print dialog takes pages 2 to 3" probe print-pages 2 3
  pdf=$(wait_printed "$job")
  expect "Ctrl+P: the PDF printer writes a file" test -n "$pdf"
  if [ -n "$pdf" ]; then
    cp "$pdf" "$E2E_OUT/printed.pdf"
    rm -f "$pdf"
    expect_eq "Ctrl+P: the PDF has pages 2 and 3" \
      "$(pdfinfo "$E2E_OUT/printed.pdf" | sed -n 's/^Pages: *//p')" 2
    # Page 2 of the sample is grey, page 3 in colour: the printed pages tell which they are.
    pdftoppm -r 20 "$E2E_OUT/printed.pdf" "$E2E_OUT/printed"
    expect_eq "Ctrl+P: grey page 2, then colour page 3" \
      "$(for f in "$E2E_OUT"/printed-*.ppm; do colour_kind "$f"; done | tr '\n' ' ')" "grey colour "
  fi
  expect "Ctrl+P: no message box afterwards" probe no-box
fi

focus_view
keys alt+F4
expect "Alt+F4 ends the process" wait_exit 10
finish
