#!/usr/bin/env bash
# One person's session, through keys and menus only: open from the command line and through
# the Open dialog, page, every zoom and fit, the three copies, save a page, print two pages,
# close, quit, start again and reopen from the File menu's last-file item, the About box.
# The other scripts look at each step in depth; this one checks that the journey holds
# together and that what a person sees or gets at each step is right.
source "$(dirname "$0")/lib.sh"

first="$E2E_OUT/first.mdi"
job="e2eperson$$" # the print job, and so the PDF's file name, is titled by the document
doc="$E2E_OUT/$job.mdi"
cp "$E2E_SAMPLE" "$first"
cp "$E2E_SAMPLE" "$doc"
sample_facts "$doc"
record="$E2E_OUT/Folirex.exe.cfg"

# --- Opened from the command line.
start_program "$(winpath "$first")"
expect "command line: panel 1 reads page 1 of 3" probe wait-panel 1 "Page 1 of 3" 15000
expect_eq "command line: the caption names the document" "$(probe caption)" \
  "Folirex - $(winpath "$first")"

# --- Ctrl+O: the Open dialog, the path typed, Enter.
focus_view
keys ctrl+o
expect_eq "Ctrl+O shows the Open dialog" "$(probe wait-box "Open MDI Document" 10000 | head -n 1)" \
  "Open MDI Document"
in_dialog "Open MDI Document" "$(winpath "$doc")"
expect "Open dialog: the caption names the chosen document" \
  probe wait-caption "Folirex - $(winpath "$doc")" 10000
expect "Open dialog: panel 1 reads page 1 of 3" probe wait-panel 1 "Page 1 of 3" 5000

# --- Paging: Ctrl+Page Down / Up, and the view's own Page Down.
focus_view
read -r vx vy vw vh <<<"$(view_in_shot)"
keys ctrl+F6
page1=$(shot page1)
keys ctrl+Next
expect "Ctrl+Page Down: page 2" probe wait-panel 1 "Page 2 of 3" 5000
page2=$(shot page2)
expect "page 2 looks different from page 1" analyse differ "$page1" "$page2" "$vx" "$vy" "$vw" "$vh" 0.02
keys ctrl+Prior
expect "Ctrl+Page Up: page 1" probe wait-panel 1 "Page 1 of 3" 5000
keys Next
expect "Page Down in the view: page 2" probe wait-panel 1 "Page 2 of 3" 5000
expect "Page Down in the view: page 2 shown" analyse same "$page2" "$(shot page2-again)" \
  "$vx" "$vy" "$vw" "$vh"
keys ctrl+Prior
expect "Ctrl+Page Up: page 1 again" probe wait-panel 1 "Page 1 of 3" 5000

# --- Every zoom and fit, on page 1. Wine's screen has 96 pixels an inch.
scale_of() { python3 -c "print($1 * 96 / float('${PAGE_DPI%% *}'))"; }
keys ctrl+F1
expect "Ctrl+F1: 50 %" analyse scale "$(shot zoom-50)" "$vx" "$vy" "$vw" "$vh" "$PAGE_W" \
  "$(scale_of 0.5)"
keys ctrl+F2
expect "Ctrl+F2: 100 %" analyse scale "$(shot zoom-100)" "$vx" "$vy" "$vw" "$vh" "$PAGE_W" \
  "$(scale_of 1)"
keys ctrl+F3
expect "Ctrl+F3: 200 %" analyse zoom "$(shot zoom-200)" "$page1" "$vx" "$vy" "$vw" "$vh" \
  "$PAGE_W" "$PAGE_H" "$(scale_of 2)"
keys ctrl+F4
expect "Ctrl+F4: fit to width" analyse fit-width "$(shot fit-width)" "$vx" "$vy" "$vw" "$vh"
keys ctrl+F5
expect "Ctrl+F5: fit to height" analyse fit-height "$(shot fit-height)" "$vx" "$vy" "$vw" "$vh" \
  "$PAGE_W" "$PAGE_H"
keys ctrl+F7
fit_text=$(shot fit-text)
expect "Ctrl+F7: fit to text, the content fills the view" \
  analyse fit-content "$fit_text" "$vx" "$vy" "$vw" "$vh"
expect "Ctrl+F7: larger than the whole page" \
  analyse differ "$page1" "$fit_text" "$vx" "$vy" "$vw" "$vh" 0.05
keys ctrl+F6
expect "Ctrl+F6: fit to window, as at the start" \
  analyse same "$page1" "$(shot fit-window)" "$vx" "$vy" "$vw" "$vh"
expect_eq "the zooms keep the page" "$(probe panel 1)" "Page 1 of 3"

# --- The copies: page text (Ctrl+Alt+C), page image (Ctrl+C), all text (Ctrl+A).
# Each waits for its own clipboard content, so a slow copy is not mistaken for a failed one.
keys ctrl+Next
probe wait-panel 1 "Page 2 of 3" 5000 >/dev/null || fail "back to page 2 for the copies"
keys ctrl+alt+c
expect "Ctrl+Alt+C: the clipboard holds page 2's text" \
  wait_clipboard unicode "$E2E_OUT/text-2.utf16"
keys ctrl+c
settle
bitmap=$(probe clipboard-bitmap)
expect_eq "Ctrl+C: the clipboard holds a bitmap of page 2's size" "$bitmap" "$PAGE2_SIZE"
keys ctrl+a
expect "Ctrl+A: the clipboard holds every page's text" \
  wait_clipboard text "$E2E_OUT/all-text.expected"
expect "no message box after the copies" probe no-box

# --- Ctrl+S on page 2: the save dialog, a name typed without extension, Enter.
focus_view
keys ctrl+s
if expect "Ctrl+S shows the save dialog" probe wait-box "Save as bitmap" 10000; then
  in_dialog "Save as bitmap" "$(winpath "$E2E_OUT/page2")"
  probe wait-no-box 10000 >/dev/null && settle
  # The dialog adds the default extension; the file system keeps the case it is given in.
  saved=$(find "$E2E_OUT" -maxdepth 1 -iname page2.bmp -size +0 | head -n 1)
  expect_eq "Ctrl+S: page2.bmp is a bitmap of page 2's size" \
    "$(identify -format '%m %wx%h' "$saved" 2>/dev/null)" "BMP3 $PAGE2_SIZE"
  expect "Ctrl+S: the bitmap is not blank" \
    test "$(convert "$saved" -format '%[fx:standard_deviation>0.02]' info: 2>/dev/null)" == 1
fi

# --- Ctrl+P: pages 1 to 2 on the PDF printer.
focus_view
keys ctrl+p
if expect "Ctrl+P shows the print dialog" probe wait-box Print 10000; then
  expect "the print dialog takes pages 1 to 2" probe print-pages 1 2
  pdf=$(wait_printed "$job")
  if expect "Ctrl+P: the PDF printer writes a file" test -n "$pdf"; then
    mv "$pdf" "$E2E_OUT/printed.pdf"
    expect_eq "Ctrl+P: the PDF has two pages" \
      "$(pdfinfo "$E2E_OUT/printed.pdf" | sed -n 's/^Pages: *//p')" 2
  fi
  expect "Ctrl+P: no message box afterwards" probe no-box
fi

# --- File, Close: back to no document.
focus_view
keys alt+f c
expect "File, Close: the caption is the program's name" probe wait-caption Folirex 5000
expect_eq "File, Close: panel 1 is empty" "$(probe panel 1)" ""
closed=$(shot closed)
expect "File, Close: the view no longer shows the page" \
  analyse differ "$page1" "$closed" "$vx" "$vy" "$vw" "$vh" 0.2

keys alt+F4
expect "Alt+F4 ends the program" wait_exit 10
expect "the record names the last document opened, then CR LF" \
  cmp -s "$record" <(printf '%s\r\n' "$(winpath "$doc")")

# --- A new start: the File menu's last-file item reopens the document.
start_program
expect_eq "a new start without a document" "$(probe caption)" "Folirex"
focus_main
keys alt+f
probe wait-menu 10000 || fail "Alt+F opens no menu"
menu=$(shot file-menu 0 0 1280 1024)
# Open, Print (disabled), Close, then the last file.
keys Down Down Down Return
expect "the last-file item reopens the document" \
  probe wait-caption "Folirex - $(winpath "$doc")" 10000
expect "reopened: panel 1 reads page 1 of 3" probe wait-panel 1 "Page 1 of 3" 5000

# --- The About box: Alt+A, Enter; Escape in its text does nothing, Tab then Escape closes it.
focus_main
keys alt+a Return
if expect "Alt+A, Enter shows the About box" probe wait-focus "About Folirex" 10000; then
  about=$(shot about 0 0 1280 1024)
  expect "the About box is on the screen" analyse differ "$menu" "$about" 0 0 1280 1024 0.02
  xdotool windowfocus "$(xdotool search --onlyvisible --name '^About Folirex$' | head -n 1)"
  keys Escape
  settle
  expect "Escape in the About box's text leaves it open" probe wait-shown "About Folirex" 0
  keys Tab Escape
  expect "Tab to its button, then Escape closes the About box" \
    probe wait-hidden "About Folirex" 10000
  expect_eq "the document is still open" "$(probe caption)" "Folirex - $(winpath "$doc")"
fi

focus_main
keys alt+F4
expect "Alt+F4 ends the program" wait_exit 10
finish
