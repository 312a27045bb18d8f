#!/usr/bin/env bash
# Run by tools/fresh-check --deb as root inside the new root, once the package is installed: a
# new user starts `folirex` on the sample under an X server of the root's own, three times: the
# first start makes the user's Wine prefix, the second must show the window within two seconds
# (and gives the screenshot), the third comes after Wine's session has ended (its time is
# reported). Then xdg-mime tells what an .mdi file is and what opens it. Prints what it sees;
# exits non-zero when any of it is wrong.
set -uo pipefail
cd /root
failed=0
say() { echo "$*"; }
bad() {
  echo "WRONG: $*"
  failed=1
}

id person >/dev/null 2>&1 || useradd -m person
home=/home/person
cp sample.mdi "$home/sample.mdi"
chown person: "$home/sample.mdi"

# A display number nobody else's server holds (their abstract sockets are shared with this root).
display=""
for n in $(seq 150 199); do
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  echo $! >xvfb.pid
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && { display=":$n"; break 2; }
    kill -0 "$(cat xvfb.pid)" 2>/dev/null || break
    sleep 0.1
  done
done
[ -n "$display" ] || { echo "no X server could start"; exit 1; }
trap 'kill "$(cat /root/xvfb.pid)" 2>/dev/null; rm -f /root/xvfb.pid' EXIT

prefix="$home/.local/share/folirex/wineprefix"
as_person() {
  runuser -u person -- env -i HOME="$home" DISPLAY="$display" PATH=/usr/bin:/bin LANG=C.UTF-8 \
    "$@"
}

# window_within SECONDS: the id of the viewer's shown main window, once there is one.
window_within() {
  local deadline=$((SECONDS + $1)) wid
  while [ "$SECONDS" -lt "$deadline" ]; do
    wid=$(as_person xdotool search --onlyvisible --name '^Folirex' 2>/dev/null | head -n 1)
    [ -n "$wid" ] && { echo "$wid"; return 0; }
    sleep 0.05
  done
  return 1
}

# close WINDOW PID: Alt+F4 to the window; `folirex` (PID) must then return.
close() {
  as_person xdotool windowfocus "$1" 2>/dev/null
  as_person xdotool key alt+F4
  local deadline=$((SECONDS + 20))
  while kill -0 "$2" 2>/dev/null; do
    [ "$SECONDS" -lt "$deadline" ] || { bad "folirex did not return when its window closed"; return; }
    sleep 0.1
  done
  wait "$2"
  say "folirex returned when the viewer closed (exit $?)"
}

# start_folirex WHAT: starts `folirex` on the sample and waits for its window; prints how long
# that took, the caption once it names the sample, and that `folirex` returns on Alt+F4. Sets MS.
start_folirex() {
  local started pid wid caption=""
  started=$(date +%s%N)
  as_person folirex "$home/sample.mdi" &
  pid=$!
  wid=$(window_within 180) || { bad "$1: no window within 180 s"; return 1; }
  MS=$((($(date +%s%N) - started) / 1000000))
  say "$1: the window after $MS ms"
  for _ in $(seq 100); do
    caption=$(as_person xdotool getwindowname "$wid")
    [ "$caption" == 'Folirex - Z:\home\person\sample.mdi' ] && break
    sleep 0.1
  done
  say "  its caption: $caption"
  [ "$caption" == 'Folirex - Z:\home\person\sample.mdi' ] || bad "the caption does not name the sample"
  [ "$1" != "second start" ] || screenshot
  close "$wid" "$pid"
}

# The screenshot once the screen has stopped changing (the page is drawn after the window).
screenshot() {
  as_person import -window root /tmp/previous.png
  for _ in $(seq 40); do
    sleep 0.25
    as_person import -window root /tmp/folirex.png
    cmp -s /tmp/folirex.png /tmp/previous.png && break
    mv /tmp/folirex.png /tmp/previous.png
    cp /tmp/previous.png /tmp/folirex.png
  done
  cp /tmp/folirex.png /root/folirex.png
}

wine_as_person() { as_person env WINEPREFIX="$prefix" "$@"; }

start_folirex "first start, making $prefix"
# No window manager here: Wine draws the title bar itself, for the screenshot.
wine_as_person wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
start_folirex "second start" && [ "$MS" -gt 2000 ] && bad "the second start took more than 2 s"
# Once Wine's session has ended (five minutes after the viewer closed, here at once).
wine_as_person wineserver -k
timeout 60 runuser -u person -- env WINEPREFIX="$prefix" wineserver -w
start_folirex "a start in a new Wine session"
wine_as_person wineserver -k
timeout 60 runuser -u person -- env WINEPREFIX="$prefix" wineserver -w
for file in system.reg drive_c/windows/Fonts/marlett.ttf "drive_c/Program Files/Folirex/Folirex.exe" \
  "drive_c/Program Files/Folirex/Folirex.exe.cfg"; do
  [ -e "$prefix/$file" ] || bad "the prefix lacks $file"
done

type=$(as_person xdg-mime query filetype "$home/sample.mdi")
say "xdg-mime query filetype sample.mdi: $type"
[ "$type" == image/vnd.ms-modi ] || bad "not the package's MIME type"
app=$(as_person xdg-mime query default image/vnd.ms-modi)
say "xdg-mime query default image/vnd.ms-modi: $app"
[ "$app" == folirex.desktop ] || bad "Folirex is not its default application"
exit "$failed"
