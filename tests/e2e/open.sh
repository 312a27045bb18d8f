#!/usr/bin/env bash
# Opening documents from the command line, the window's texts and menu bar, the error box
# for a file that is not a document, and Alt+F4 ending the process.
source "$(dirname "$0")/lib.sh"

# --- A file that is not a document.
notdoc="$E2E_OUT/not a document.mdi"
printf 'This is plain text, not a document.\r\n' >"$notdoc"
start_program "$(winpath "$notdoc")"
box=$(probe wait-box Error 15000) || true
expect_eq "a file that is not a document: the box's caption" "$(sed -n 1p <<<"$box")" "Error"
expect_eq "a file that is not a document: the box's text" "$(sed -n 2p <<<"$box")" \
  "Failed to open document"
probe press-ok Error >/dev/null || fail "pressing OK in the box"
expect "the box goes away on OK" probe no-box
# The box came from the load: the window stays without a document.
expect_eq "caption without a document" "$(probe caption)" "Folirex"
expect_eq "panel 1 without a document" "$(probe panel 1)" ""
no_document_shot=$(shot no-document)
keys alt+F4
expect "Alt+F4 ends the process" wait_exit 10
expect "no main window after Alt+F4" probe gone 2000

# --- The sample, named on the command line.
sample=$(winpath "$E2E_SAMPLE")
start_program "$sample"
expect "panel 1 shows the page count" probe wait-panel 1 "Page 1 of 3" 15000 >/dev/null
expect_eq "caption" "$(probe caption)" "Folirex - $sample"
expect_eq "panel 0" "$(probe panel 0)" "Folirex"
expect "no message box" probe no-box
main_shot=$(shot main-window)
read_geometry
echo "window ${WIN_W}x${WIN_H} at $WIN_X,$WIN_Y; view ${VIEW_W}x${VIEW_H} at $VIEW_X,$VIEW_Y"
expect_eq "window size" "${WIN_W}x${WIN_H}" "642x481"
# With a document the menu bar gains Edit and View: the strip between the caption and the
# view changes, and the view shows a page where it showed only background.
bar_height=$((VIEW_Y - WIN_Y))
expect "the menu bar changes when the document opens" \
  analyse differ "$no_document_shot" "$main_shot" 0 0 "$WIN_W" "$bar_height" 0.002
read -r vx vy vw vh <<<"$(view_in_shot)"
expect "the view shows the page" analyse differ "$no_document_shot" "$main_shot" \
  "$vx" "$vy" "$vw" "$vh" 0.2
publish "$main_shot" main-window.png

xdotool windowfocus "$(main_xwindow)" 2>/dev/null || true
keys alt+F4
expect "Alt+F4 ends the process with a document open" wait_exit 10
finish
