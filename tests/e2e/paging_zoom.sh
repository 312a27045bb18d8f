#!/usr/bin/env bash
# Paging with Ctrl+Page Down / Ctrl+Page Up from inside the page view, staying on the last
# page, and the magnifications Ctrl+F3 (200 %) and Ctrl+F6 (fit to window), checked on
# screenshots as well as on the status bar.
source "$(dirname "$0")/lib.sh"

# The page's pixel size and resolution, read from the document itself: its layout is TIFF's
# apart from the first two bytes.
tiff="$E2E_OUT/sample.tif"
cp "$E2E_SAMPLE" "$tiff"
printf 'II' | dd of="$tiff" bs=1 count=2 conv=notrunc status=none
read -r PAGE_W PAGE_H PAGE_DPI <<<"$(identify -format '%w %h %x\n' "$tiff" 2>/dev/null | head -n 1)"
[ -n "$PAGE_DPI" ] || die "cannot read the sample's page size"
echo "page 1: ${PAGE_W}x${PAGE_H} pixels at $PAGE_DPI dpi"
# 200 % is twice the page's physical size on a screen of 96 pixels an inch (Wine's).
ZOOM_200=$(python3 -c "print(2 * 96 / float('${PAGE_DPI%% *}'))")

start_program "$(winpath "$E2E_SAMPLE")"
probe wait-panel 1 "Page 1 of 3" 15000 >/dev/null || die "the sample did not open"
focus_view
read -r vx vy vw vh <<<"$(view_in_shot)"

keys ctrl+F6
page1_fit=$(shot page1-fit)
expect "Ctrl+F6: page 1 fits the window" analyse fit "$page1_fit" "$vx" "$vy" "$vw" "$vh" \
  "$PAGE_W" "$PAGE_H"

keys ctrl+Next
expect "Ctrl+Page Down: panel 1 reads page 2" probe wait-panel 1 "Page 2 of 3" 5000 >/dev/null
page2_fit=$(shot page2-fit)
expect "page 2 is shown: the view differs from page 1" \
  analyse differ "$page1_fit" "$page2_fit" "$vx" "$vy" "$vw" "$vh" 0.02
expect "page 2 fits the window too" analyse fit "$page2_fit" "$vx" "$vy" "$vw" "$vh" \
  "$PAGE_W" "$PAGE_H"
publish "$page2_fit" page2-fit-window.png

keys ctrl+Next
expect "Ctrl+Page Down: panel 1 reads page 3" probe wait-panel 1 "Page 3 of 3" 5000 >/dev/null
page3=$(shot page3)
expect "page 3 is shown: the view differs from page 2" \
  analyse differ "$page2_fit" "$page3" "$vx" "$vy" "$vw" "$vh" 0.02

# At the last page the command only beeps, which cannot be heard here: nothing may change.
keys ctrl+Next
settle
expect_eq "Ctrl+Page Down on the last page: panel 1 unchanged" "$(probe panel 1)" "Page 3 of 3"
expect "Ctrl+Page Down on the last page: no message box" probe no-box
page3_again=$(shot page3-again)
expect "Ctrl+Page Down on the last page: the view unchanged" \
  analyse same "$page3" "$page3_again" "$vx" "$vy" "$vw" "$vh"

keys ctrl+Prior ctrl+Prior
expect "Ctrl+Page Up twice: back on page 1" probe wait-panel 1 "Page 1 of 3" 5000 >/dev/null
page1_back=$(shot page1-back)
expect "back on page 1: the view as before" \
  analyse same "$page1_fit" "$page1_back" "$vx" "$vy" "$vw" "$vh"

keys ctrl+F3
page1_200=$(shot page1-200)
expect "Ctrl+F3: page 1 at 200 %" analyse zoom "$page1_200" "$page1_fit" "$vx" "$vy" "$vw" "$vh" \
  "$PAGE_W" "$PAGE_H" "$ZOOM_200"
expect_eq "Ctrl+F3 keeps the page: panel 1" "$(probe panel 1)" "Page 1 of 3"
publish "$page1_200" page1-200.png

keys ctrl+F6
page1_refit=$(shot page1-refit)
expect "Ctrl+F6 after 200 %: the whole page again, as before" \
  analyse same "$page1_fit" "$page1_refit" "$vx" "$vy" "$vw" "$vh"
expect "no message box at the end" probe no-box
finish
