#!/usr/bin/env bash
# End to end under X: the program opens the sample and closes; started again without
# arguments, its File menu offers the sample, and choosing it opens the sample; the About box
# keeps Escape in its text and closes on Escape from its button. Screenshots of the File menu
# and of the About box are left in $E2E_OUT.
source "$(dirname "$0")/../e2e/lib.sh"

record="$E2E_OUT/Folirex.exe.cfg"
doc=$(winpath "$(realpath "$E2E_SAMPLE")")

echo "First run, on the sample"
start_program "$doc"
probe wait-caption "Folirex - $doc" 15000 >/dev/null || die "the sample did not open"
focus_main
keys alt+F4
expect "Alt+F4 ends the first run" wait_exit 10
expect "the record is the sample's path and CR LF" cmp -s "$record" <(printf '%s\r\n' "$doc")

echo "Second run, without arguments"
start_program
probe wait-caption Folirex 15000 >/dev/null || die "no main window captioned Folirex"
focus_main
keys alt+f
probe wait-menu 10000 || die "Alt+F opens no menu"
publish "$(shot file-menu-last-file 0 0 1280 1024)" file-menu-last-file.png
# Open, Print (disabled), Close, then the last file.
keys Down Down Down Return
expect "the last-file item opens the sample" probe wait-caption "Folirex - $doc" 10000

echo "The About box"
focus_main
keys alt+a Return
probe wait-focus "About Folirex" 10000 || die "Alt+A, Enter shows no About box"
publish "$(shot about-box 0 0 1280 1024)" about-box.png
xdotool windowfocus "$(xdotool search --onlyvisible --name '^About Folirex$' | head -n 1)"
keys Escape
settle
expect "Escape in the text leaves the box open" probe wait-shown "About Folirex" 0
keys Tab Escape
expect "Tab to Close, then Escape closes the box" probe wait-hidden "About Folirex" 10000
expect "the document is open again" probe wait-caption "Folirex - $doc" 10000
focus_main
keys alt+F4
expect "Alt+F4 ends the second run" wait_exit 10
finish
