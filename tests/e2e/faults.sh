#!/usr/bin/env bash
# The program under faults, each brought about while it runs: the open document deleted, then
# replaced; the clipboard held open by another program during Ctrl+A; the printer removed
# after the program read the printer list; a save over a read-only file; the last-file record
# read-only; a full disk for a save and for the record. Each must give its message (or its
# silence), lose nothing that was there before, and leave the program answering keys.
source "$(dirname "$0")/lib.sh"

FULL="$E2E_OUT/full-disk"
restore_printer() {
  if ! lpstat -p PDF >/dev/null 2>&1; then
    lpadmin -p PDF -v cups-pdf:/ -E -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd || true
  fi
  lpadmin -d PDF || true
}
cleanup() {
  stop_program
  restore_printer
  mountpoint -q "$FULL" && umount "$FULL"
  true
}
trap cleanup EXIT

sample_facts "$E2E_SAMPLE"
[ "$(lpstat -d 2>/dev/null)" == "system default destination: PDF" ] ||
  die "the CUPS printer \"PDF\" is not the default (./test starts it)"

# still_answers WHAT: Ctrl+Page Down / Up in the view still move the page and panel 1 follows.
still_answers() {
  local before after
  before=$(probe panel 1) || { fail "$1: the status bar cannot be read"; return; }
  focus_view
  if [ "$before" == "Page 3 of 3" ]; then keys ctrl+Prior; else keys ctrl+Next; fi
  settle
  after=$(probe panel 1)
  if [ "$after" != "$before" ] && [[ "$after" == Page* ]] && program_running; then
    pass "$1: the program goes on (panel 1 went from '$before' to '$after')"
  else
    fail "$1: the program does not answer Ctrl+Page Down/Up (panel 1 '$before', then '$after')"
  fi
}

# error_box TEXT CAPTION WHAT: the program shows a box CAPTION with TEXT; OK dismisses it.
error_box() {
  local box
  box=$(probe wait-box "$2" 15000) || true
  expect_eq "$3: the box's caption and text" "$(sed -n 1,2p <<<"$box" | tr '\n' '|')" "$2|$1|"
  probe press-ok "$2" >/dev/null 2>&1 || true
  probe wait-no-box 10000 >/dev/null || fail "$3: the box does not go away on OK"
}

# clipboard_is EXPECTED: the clipboard's Unicode text comes to be $E2E_OUT/EXPECTED's.
clipboard_is() { wait_clipboard unicode "$E2E_OUT/$1"; }

# save_as PATH: Ctrl+S in the view, PATH typed into the save dialog, Enter, and Yes when the
# dialog asks whether to replace an existing file.
save_as() {
  # Ctrl+S outside the view does nothing by design: focus_view waits until the view has it.
  focus_view
  keys ctrl+s
  in_dialog "Save as bitmap" "$(winpath "$1")"
  # An existing file: the dialog asks whether to replace it, in a box of the same title,
  # which may come some time after the dialog itself was last seen.
  if [ -e "$1" ]; then
    probe wait-box "Save as bitmap" 15000 "already exists" >/dev/null ||
      die "no question whether to replace $1"
    keys Return
  fi
}

# The record starts as an earlier run left it, read-only.
record="$E2E_OUT/Folirex.exe.cfg"
printf 'C:\\earlier.mdi\r\n' >"$record"
cp "$record" "$E2E_OUT/record.before"
chmod a-w "$record"

# --- The open document deleted while open: the component holds the file open and shared for
# deletion, so its pages stay readable.
doc="$E2E_OUT/deleted.mdi"
cp "$E2E_SAMPLE" "$doc"
start_program "$(winpath "$doc")"
probe wait-panel 1 "Page 1 of 3" 15000 >/dev/null || die "the document did not open"
focus_view
read -r vx vy vw vh <<<"$(view_in_shot)"
keys ctrl+F6
rm "$doc"
expect "deleted while open: the file is gone" test ! -e "$doc"
keys ctrl+Next
expect "deleted while open: Ctrl+Page Down shows page 2" \
  probe wait-panel 1 "Page 2 of 3" 5000
keys ctrl+Next
expect "deleted while open: page 3 too" probe wait-panel 1 "Page 3 of 3" 5000
page3=$(shot deleted-page3)
expect "deleted while open: page 3 is drawn" \
  analyse fit "$page3" "$vx" "$vy" "$vw" "$vh" "$PAGE_W" "$PAGE_H"
keys ctrl+alt+c
expect "deleted while open: Ctrl+Alt+C copies page 3's text" clipboard_is text-3.utf16
expect "deleted while open: no message box" probe no-box
still_answers "deleted while open"

# --- Replaced while open. First as Windows allows it, a new file put in the old one's place
# (the old one is deleted or renamed away): the program keeps showing the document it opened.
doc="$E2E_OUT/replaced.mdi"
cp "$E2E_SAMPLE" "$doc"
open_document "$doc"
focus_view
page1=$(shot replaced-page1)
printf 'Not a document any more.\r\n' >"$E2E_OUT/new.mdi"
mv "$E2E_OUT/new.mdi" "$doc"
keys ctrl+Next
expect "replaced by another file: Ctrl+Page Down shows page 2" \
  probe wait-panel 1 "Page 2 of 3" 5000
keys ctrl+Prior
expect "replaced by another file: Ctrl+Page Up shows page 1" \
  probe wait-panel 1 "Page 1 of 3" 5000
expect "replaced by another file: page 1 as before" \
  analyse same "$page1" "$(shot replaced-page1-again)" "$vx" "$vy" "$vw" "$vh"
expect "replaced by another file: no message box" probe no-box

# Then as only another system's program can do it: the same file cut short and overwritten in
# place under the open handle. The pages not yet read cannot be; whatever the view then
# shows, the program must not end, nor show a box for a page flip, and must go on.
doc="$E2E_OUT/overwritten.mdi"
cp "$E2E_SAMPLE" "$doc"
open_document "$doc"
truncate -s 600 "$doc"
head -c 600 /dev/urandom >"$doc"
focus_view
keys ctrl+Next ctrl+Next
settle
expect "overwritten in place: the program still runs" program_running
expect "overwritten in place: no message box for a page flip" probe no-box
expect_eq "overwritten in place: paging went on" "$(probe panel 1)" "Page 3 of 3"
shot overwritten-page3 >/dev/null
still_answers "overwritten in place"

# --- The clipboard held by another program during Ctrl+A: "Cannot open clipboard", the
# clipboard keeps what it held, and Ctrl+A works again once it is free.
doc="$E2E_OUT/document.mdi"
cp "$E2E_SAMPLE" "$doc"
open_document "$doc"
focus_view
keys ctrl+alt+c
expect "clipboard held: before, it has page 1's text" clipboard_is text-1.utf16
ready="$E2E_OUT/holding" release="$E2E_OUT/release"
probe hold-clipboard "$(winpath "$ready")" "$(winpath "$release")" 60000 &
holder=$!
# The holder says when it has the clipboard: a file it makes, or its end when it cannot.
while [ ! -e "$ready" ] && kill -0 "$holder" 2>/dev/null; do sleep 0.05; done
[ -e "$ready" ] || die "the probe could not take the clipboard"
focus_view
keys ctrl+a
# The application's default error report, captioned with the application's title.
error_box "Cannot open clipboard." "Folirex - $(winpath "$doc")" "Ctrl+A with the clipboard held"
touch "$release"
wait "$holder" || fail "the clipboard holder did not end as told"
expect "clipboard held: afterwards it still has page 1's text" clipboard_is text-1.utf16
focus_view
keys ctrl+a
expect "clipboard free again: Ctrl+A copies every page's text" \
  wait_clipboard text "$E2E_OUT/all-text.expected"
still_answers "clipboard held"

# --- The printer removed after the program read the printer list.
focus_view
keys ctrl+p
expect "printer: the print dialog opens" probe wait-box Print 10000
probe press-cancel Print >/dev/null || true
probe wait-no-box 10000 >/dev/null || fail "printer: the print dialog does not go away on Cancel"
lpadmin -x PDF
expect "printer: PDF is removed" bash -c '! lpstat -p PDF >/dev/null 2>&1'
printed_before=$(find "$HOME/PDF" /var/spool/cups-pdf/ANONYMOUS -name '*document*.pdf' 2>/dev/null | wc -l)
focus_view
keys ctrl+p
# The dialog may still offer the printer it knew; confirming it must fail.
if probe wait-box Print 5000 >/dev/null 2>&1; then
  probe print-pages 1 1 >/dev/null || fail "printer: the print dialog takes page 1"
fi
error_box "Failed to print document" Error "printing on a removed printer"
# The job would have been refused before the box; CUPS would have had it by now.
expect_eq "printer removed: nothing was printed" \
  "$(find "$HOME/PDF" /var/spool/cups-pdf/ANONYMOUS -name '*document*.pdf' 2>/dev/null | wc -l)" \
  "$printed_before"
restore_printer
expect_eq "printer: PDF is back as the default" "$(lpstat -d 2>/dev/null)" \
  "system default destination: PDF"
still_answers "printer removed"

# --- A save over a read-only file: "Failed to save document", the file as it was, no
# temporary file beside it.
mkdir -p "$E2E_OUT/saves"
readonly_bmp="$E2E_OUT/saves/readonly.bmp"
printf 'BM an earlier file' >"$readonly_bmp"
cp "$readonly_bmp" "$E2E_OUT/readonly.before"
chmod a-w "$readonly_bmp"
save_as "$readonly_bmp"
error_box "Failed to save document" Error "a save over a read-only file"
expect "read-only file: unchanged" cmp -s "$readonly_bmp" "$E2E_OUT/readonly.before"
expect_eq "read-only file: nothing else in its folder" "$(ls -A "$E2E_OUT/saves")" readonly.bmp
still_answers "a save over a read-only file"

# --- A full disk for a save: "Failed to save document", the earlier file intact, no temporary
# file left. A tiny file system fills up long before a page's bitmap is written.
mkdir -p "$FULL"
if mount -t tmpfs -o size=64k tmpfs "$FULL" 2>/dev/null; then
  printf 'BM an earlier file' >"$FULL/earlier.bmp"
  cp "$FULL/earlier.bmp" "$E2E_OUT/earlier.before"
  save_as "$FULL/earlier.bmp"
  error_box "Failed to save document" Error "a save on a full disk"
  expect "full disk: the earlier file is intact" cmp -s "$FULL/earlier.bmp" "$E2E_OUT/earlier.before"
  expect_eq "full disk: no temporary file left" "$(ls -A "$FULL")" earlier.bmp
  save_as "$FULL/new.bmp"
  error_box "Failed to save document" Error "a new file on a full disk"
  expect_eq "full disk: neither the new file nor a temporary one" "$(ls -A "$FULL")" earlier.bmp
  still_answers "a save on a full disk"
else
  echo "SKIP: cannot mount a tmpfs here; no full disk for the save"
fi

# --- The read-only record: at exit it is not replaced and nothing is left beside it.
xdotool windowfocus "$(main_xwindow)" 2>/dev/null || true
keys alt+F4
expect "Alt+F4 ends the program" wait_exit 10
expect "read-only record: as before" cmp -s "$record" "$E2E_OUT/record.before"
expect_eq "read-only record: no temporary file beside it" \
  "$(find "$E2E_OUT" -maxdepth 1 -name 'Folirex.exe.cfg*' -printf '%f\n')" Folirex.exe.cfg
finish
