#!/usr/bin/env bash
# The Windows setup in a new Wine prefix of its own: a silent install for every user, read back
# with reg query, the sample opened through its association, the converter run by name from a
# new command prompt and through Explorer's verb; then, with a fake original component
# registered, a silent install for the current user that keeps it and takes the viewer of its
# architecture; then installs for the current user over PATHs of every kind, each taken back
# out as it was. Each silent uninstall leaves the prefix as it found it.
#
# Environment (set by tests/package/CMakeLists.txt; DISPLAY by ./test):
#   SETUP_NSI  the setup's script   SETUP_ICON  its icon       LICENCES  the licences folder
#   WIN64_EXE, WIN64_DLL, CONVERT   the x86_64 viewer, component and converter
#   WIN32_DIR  the i686 build (Folirex.exe, component/MiPageView.dll)
#   PROBE      tests/e2e's probe    SAMPLE      the sample     OUT       this test's folder
set -euo pipefail

die() {
  echo "FATAL: $*" >&2
  exit 1
}
for var in SETUP_NSI SETUP_ICON LICENCES WIN64_EXE WIN64_DLL CONVERT WIN32_DIR PROBE SAMPLE OUT \
  DISPLAY; do
  [ -n "${!var:-}" ] || die "$var is not set (run through ./test or ctest in a build folder)"
done
WIN32_EXE="$WIN32_DIR/Folirex.exe"
WIN32_DLL="$WIN32_DIR/component/MiPageView.dll"
for file in "$WIN64_EXE" "$WIN64_DLL" "$CONVERT" "$WIN32_EXE" "$WIN32_DLL" "$PROBE" "$SAMPLE"; do
  [ -f "$file" ] || die "missing $file (./test builds both architectures)"
done

PASSED=0 FAILED=0
pass() { PASSED=$((PASSED + 1)); echo "PASS: $*"; }
fail() { FAILED=$((FAILED + 1)); echo "FAIL: $*"; }
expect_eq() { if [ "$2" == "$3" ]; then pass "$1"; else fail "$1: got '$2', expected '$3'"; fi; }
expect() {
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

rm -rf "$OUT"
mkdir -p "$OUT/win32" "$OUT/win64"
export WINEPREFIX="$OUT/prefix" WINEDEBUG=-all
# No Mono or Gecko installers; and no menu entries or file types of Wine's in the user's home.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# The shipped setup is 32-bit, which this machine cannot run; the same script built for 64-bit
# Windows does here what that one does on 64-bit Windows.
ln -s "$WIN32_EXE" "$WIN32_DLL" "$OUT/win32/"
ln -s "$WIN64_EXE" "$WIN64_DLL" "$OUT/win64/"
# The converter is optional: the 64-bit build's, with its Explorer script (CR LF, as ./package
# ships it); the 32-bit setup here goes without.
ln -s "$CONVERT" "$OUT/win64/folirex-convert.exe"
sed 's/$/\r/' "$(dirname "$SETUP_NSI")/../convert-to-pdf.cmd" >"$OUT/win64/convert-to-pdf.cmd"
# Its recognition data, as ./package stages it: Debian's.
mkdir "$OUT/win64/tessdata"
ln -s /usr/share/tesseract-ocr/5/tessdata/{eng,osd}.traineddata "$OUT/win64/tessdata/"
setup="$OUT/Folirex-setup-amd64.exe"
makensis -V2 -WX -DTARGET=amd64-unicode -DCOMPRESSOR=zlib -DVERSION=2.0 -DWIN32="$OUT/win32" -DWIN64="$OUT/win64" \
  -DLICENCES="$LICENCES" -DICON="$SETUP_ICON" -DOUTFILE="$setup" "$SETUP_NSI" >"$OUT/makensis.log" ||
  die "makensis failed: $(cat "$OUT/makensis.log")"

# The prefix's own server, for the whole test from the prefix's making on (see start_wineserver
# in tools/common.sh); it and every program of this prefix end with the test.
mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
trap 'wineserver -k 2>/dev/null || true' EXIT
wineboot -i >/dev/null 2>&1 || die "cannot create the Wine prefix"
# No window manager under Xvfb: Wine draws the title bar itself (with Marlett's glyphs) and
# manages its windows, as in the project's prefix.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"

probe() { wine "$PROBE" "$@" 2> >(tr -d '\r' >&2) | tr -d '\r'; }
winpath() { winepath -w "$1" 2>/dev/null; }

# value KEY NAME [/reg:32|/reg:64]: the data of a registry value (NAME "" for the default one),
# or nothing when it is missing.
value() {
  local name=(/v "$2")
  [ -n "$2" ] || name=(/ve)
  wine reg query "$1" "${name[@]}" ${3:+"$3"} 2>/dev/null | tr -d '\r' |
    sed -E -n 's/^ {4}.* {4}REG_[A-Z_]+( {4})?//p' | sed 's/^(value not set)$//'
}
has_key() { wine reg query "$1" ${2:+"$2"} >/dev/null 2>&1; }
lacks_key() { ! has_key "$@"; }

# snapshot NAME: the registry branches a setup writes and the files of drive C:, less what Wine
# writes there by itself when it pleases (its own settings, the network cards it finds, the
# temporary folders).
snapshot() {
  local reg
  for reg in 'HKLM\Software' HKCU; do
    wine reg export "$reg" "$OUT/export.reg" /y >/dev/null 2>&1 || die "cannot export $reg"
    iconv -f UTF-16 -t UTF-8 "$OUT/export.reg" | tr -d '\r' |
      awk -v RS= '!/^\[HKEY_CURRENT_USER\\Software\\Wine\\/ && !/^\[[^]]*\\NetworkCards\\/' \
        >>"$OUT/$1.reg"
  done
  (cd "$WINEPREFIX/drive_c" && find . -path ./windows/temp -prune -o -path './users/*/Temp' -prune \
    -o -print | sort) >"$OUT/$1.files"
}

# unchanged SINCE NOW: the prefix's snapshots are the same (the differences are in the log).
unchanged() {
  diff "$OUT/$1.reg" "$OUT/$2.reg" && diff "$OUT/$1.files" "$OUT/$2.files"
}

# uninstall FOLDER: the silent uninstaller, which goes on in a copy of itself and ends by
# removing the folder it was in.
uninstall() {
  wine "$(winpath "$1")\\Uninstall.exe" /S || return 1
  local deadline=$((SECONDS + 30))
  while [ -e "$1" ]; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

CLSID='{EF347A62-BA21-42E4-94A0-1C0A6D7FDFE7}'
UNINST='Software\Microsoft\Windows\CurrentVersion\Uninstall\Folirex'
MACHINE_ENV='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
VERB='shell\Folirex.ConvertToPdf'

# path_value KEY: the PATH value of an environment as reg shows it, its type too; or nothing.
path_value() { wine reg query "$1" /v Path 2>/dev/null | tr -d '\r' | grep -E '^ {4}Path ' || true; }
# by_name: the converter's version, run by its name from a new command prompt.
by_name() { wine cmd /c folirex-convert --version 2>&1 | tr -d '\r'; }

# until_true SECONDS COMMAND...: whether the command succeeds within the time.
until_true() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# verb DOCUMENT: runs Explorer's "Convert to searchable PDF" on the document as the registry
# holds its command line, its key presses from the pipe $OUT/keys; its output in $OUT/verb.log.
# Sets VERB_PID.
verb() {
  local line
  line=$(value "HKLM\\Software\\Classes\\SystemFileAssociations\\.mdi\\$VERB\\command" "")
  line=${line//%1/$(winpath "$1")}
  eval "local command=($line)"  # the registry's quoting: paths in double quotes
  rm -f "$OUT/keys"
  mkfifo "$OUT/keys"
  wine "${command[@]}" <"$OUT/keys" >"$OUT/verb.log" 2>&1 &
  VERB_PID=$!
  exec 8>"$OUT/keys"
}
# verb_ends: a key for the verb's window, which must then close; its exit status.
verb_ends() {
  echo >&8
  exec 8>&-
  until_true 30 eval '! kill -0 "$VERB_PID" 2>/dev/null' || return 99
  wait "$VERB_PID"
}

# --- For every user, where no imaging component is registered: the stand-in, 64-bit.
snapshot before-machine
machine_path=$(path_value "$MACHINE_ENV")
expect_eq "folirex-convert is not found by name before" "$(by_name | grep -c '^folirex-convert 2.0$')" 0
expect "the setup for every user installs" wine "$setup" /S /ALLUSERS
# Installing over an earlier install upgrades it in place.
expect "the setup installs over itself" wine "$setup" /S /ALLUSERS
dir="$WINEPREFIX/drive_c/Program Files/Folirex"
win='C:\Program Files\Folirex'
expect "the 64-bit viewer is installed" cmp -s "$dir/Folirex.exe" "$WIN64_EXE"
expect "the 64-bit stand-in is installed" cmp -s "$dir/MiPageView.dll" "$WIN64_DLL"
expect "the 64-bit converter is installed" cmp -s "$dir/folirex-convert.exe" "$CONVERT"
expect "the licences are installed" test -f "$dir/licences/libtiff/LICENSE.md"
expect "the recognition data is installed beside the converter" \
  cmp -s "$dir/tessdata/eng.traineddata" /usr/share/tesseract-ocr/5/tessdata/eng.traineddata
expect "the project's licence is installed" grep -q "MIT License" "$dir/LICENSE.txt"
expect "the uninstaller is installed" test -f "$dir/Uninstall.exe"
expect "the Start-menu entry is the machine's" \
  test -f "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Folirex.lnk"
expect_eq "the stand-in is registered for the machine" \
  "$(value "HKLM\\Software\\Classes\\CLSID\\$CLSID\\InprocServer32" "" /reg:64)" "$win\\MiPageView.dll"
expect_eq ".mdi is Folirex's" "$(value 'HKLM\Software\Classes\.mdi' "")" Folirex.Document
expect_eq "its open verb passes the document" \
  "$(value 'HKLM\Software\Classes\Folirex.Document\shell\open\command' "")" "\"$win\\Folirex.exe\" \"%1\""
expect_eq "its icon is the program's" \
  "$(value 'HKLM\Software\Classes\Folirex.Document\DefaultIcon' "")" "\"$win\\Folirex.exe\",0"
for ext in .tif .tiff; do
  expect "Folirex is in $ext's Open with" has_key "HKLM\\Software\\Classes\\$ext\\OpenWithList\\Folirex.exe"
  expect_eq "$ext keeps its own type" "$(value "HKLM\\Software\\Classes\\$ext" "")" ""
done
expect_eq "Open with runs the program" \
  "$(value 'HKLM\Software\Classes\Applications\Folirex.exe\shell\open\command' "")" \
  "\"$win\\Folirex.exe\" \"%1\""
expect_eq "installed programs: the version" "$(value "HKLM\\$UNINST" DisplayVersion)" 2.0
expect_eq "installed programs: the publisher" "$(value "HKLM\\$UNINST" Publisher)" Folirex
expect_eq "installed programs: the removal" "$(value "HKLM\\$UNINST" QuietUninstallString)" \
  "\"$win\\Uninstall.exe\" /S"
size=$(($(value "HKLM\\$UNINST" EstimatedSize)))
expect "installed programs: the size, $size KiB" test "$size" -gt 100
expect "nothing is installed for the user" lacks_key "HKCU\\$UNINST"

# Default apps: the capabilities, registered.
expect_eq "registered application" "$(value 'HKLM\Software\RegisteredApplications' Folirex)" \
  'Software\Folirex\Capabilities'
for ext in .mdi .tif .tiff; do
  progid=Folirex.Tiff
  [ $ext != .mdi ] || progid=Folirex.Document
  expect_eq "its capabilities take $ext" \
    "$(value 'HKLM\Software\Folirex\Capabilities\FileAssociations' $ext)" $progid
  expect_eq "the $ext verb runs the script beside the converter" \
    "$(value "HKLM\\Software\\Classes\\SystemFileAssociations\\$ext\\$VERB\\command" "")" \
    "\"$win\\convert-to-pdf.cmd\" \"%1\""
done
expect_eq "the TIFF type opens in Folirex" \
  "$(value 'HKLM\Software\Classes\Folirex.Tiff\shell\open\command' "")" "\"$win\\Folirex.exe\" \"%1\""

# The machine's PATH: its own entries, then the program's folder, once (two installs).
expect_eq "the machine's PATH ends with the program's folder" "$(path_value "$MACHINE_ENV")" \
  "$machine_path;$win"
expect_eq "folirex-convert runs by name from a new command prompt" "$(by_name)" "folirex-convert 2.0"

# Explorer's verb: a document of a non-ASCII name becomes a PDF beside it, and the window waits
# for a key; one that cannot be converted says so in words.
mkdir -p "$OUT/docs"
doc="$OUT/docs/Дело №7 — ελληνικά.mdi"
cp "$SAMPLE" "$doc"
verb "$doc"
expect "the verb converts the document beside it" until_true 60 eval \
  '[ -s "${doc%.mdi}.pdf" ] && grep -q "Press any key" "$OUT/verb.log"'
expect "the verb's window waits for the user" kill -0 "$VERB_PID"
status=0
verb_ends || status=$?
expect_eq "the verb ends on a key, with success" "$status" 0
expect "the PDF is whole" qpdf --check "${doc%.mdi}.pdf"
# (in the console's code page, which is no UTF-8)
expect "the verb names the PDF" env LC_ALL=C grep -q "converted to .*\.pdf" "$OUT/verb.log"
head -c 64 /dev/urandom >"$OUT/docs/damaged.mdi"
verb "$OUT/docs/damaged.mdi"
status=0
verb_ends || status=$?
expect_eq "a failed conversion ends with failure" "$status" 1
expect "it says why, in words" grep -q "damaged.mdi: The file is not a document" "$OUT/verb.log"
expect "and that it was not converted" grep -q "NOT converted" "$OUT/verb.log"

# The sample through its association, as a double click starts it.
cp "$SAMPLE" "$OUT/sample.mdi"
expect "wine start on the sample" wine start "$(winpath "$OUT/sample.mdi")"
expect_eq "the caption names the document" \
  "$(probe wait-caption "Folirex - $(winpath "$OUT/sample.mdi")" 20000)" "Folirex - $(winpath "$OUT/sample.mdi")"
expect_eq "the stand-in shows its first page" "$(probe wait-panel 1 "Page 1 of 3" 10000)" "Page 1 of 3"
import -window root "$OUT/association.png"
wid=$(xdotool search --onlyvisible --name '^Folirex' 2>/dev/null | head -n 1)
[ -n "$wid" ] && xdotool windowfocus "$wid" 2>/dev/null
probe wait-focus main 10000 || die "the main window never took the keyboard focus"
xdotool key alt+F4
expect "Alt+F4 closes it" probe gone 10000
expect "the program wrote its last-file record beside itself" test -f "$dir/Folirex.exe.cfg"

rm -rf "$OUT/docs"
expect "the silent uninstall ends" uninstall "$dir"
snapshot after-machine
expect "the uninstall leaves no file or key" unchanged before-machine after-machine
expect_eq "the machine's PATH is as it was" "$(path_value "$MACHINE_ENV")" "$machine_path"
expect "no registered application is left" lacks_key 'HKLM\Software\Folirex\Capabilities'


# --- For the current user, with an original registered (for 32-bit programs, as the original
# is): neither the stand-in nor its registration, and the 32-bit viewer.
fake='C:\Program Files (x86)\Common Files\Microsoft Shared\MODI\12.0\MDIVWCTL.DLL'
wine reg add "HKLM\\Software\\Classes\\CLSID\\$CLSID\\InprocServer32" /ve /d "$fake" /f /reg:32 \
  >/dev/null 2>&1 || die "cannot register the fake original"
snapshot before-user
expect "the setup for the current user installs" wine "$setup" /S
local_appdata=$(value 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' 'Local AppData')
win="$local_appdata\\Programs\\Folirex"
dir=$(winepath -u "$win" 2>/dev/null)
expect "the 32-bit viewer is installed, in the user's programs folder" cmp -s "$dir/Folirex.exe" "$WIN32_EXE"
expect "no stand-in is installed" test ! -e "$dir/MiPageView.dll"
expect "nor a converter, which this 32-bit build lacks" test ! -e "$dir/folirex-convert.exe"
expect_eq "the original keeps its registration" \
  "$(value "HKLM\\Software\\Classes\\CLSID\\$CLSID\\InprocServer32" "" /reg:32)" "$fake"
expect "nor is the stand-in registered for the user" lacks_key "HKCU\\Software\\Classes\\CLSID\\$CLSID"
expect "nor for 64-bit programs" lacks_key "HKLM\\Software\\Classes\\CLSID\\$CLSID" /reg:64
expect_eq ".mdi is Folirex's for the user" "$(value 'HKCU\Software\Classes\.mdi' "")" Folirex.Document
expect_eq "the user's open verb" \
  "$(value 'HKCU\Software\Classes\Folirex.Document\shell\open\command' "")" "\"$win\\Folirex.exe\" \"%1\""
expect_eq "installed programs, the user's" "$(value "HKCU\\$UNINST" DisplayVersion)" 2.0
expect "nothing is installed for the machine" lacks_key "HKLM\\$UNINST"
expect "the Start-menu entry is the user's" test -f \
  "$(winepath -u "$(value 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' Programs)" 2>/dev/null)/Folirex.lnk"

expect "the user's silent uninstall ends" uninstall "$dir"
snapshot after-user
expect "the user's uninstall leaves no file or key, and the original as it was" \
  unchanged before-user after-user

# --- For the current user, 64-bit with the converter, over the user's PATH as it may be: other
# entries (and empty ones), none at all, an empty one, and as long as the setup can take with its folder
# added, or one character longer, which it leaves alone.
wine reg delete "HKLM\\Software\\Classes\\CLSID\\$CLSID" /f /reg:32 >/dev/null 2>&1 ||
  die "cannot remove the fake original"
dir="$(winepath -u "$local_appdata" 2>/dev/null)/Programs/Folirex"
added=";$win"
long=$(printf 'C:\\%0*d' $((1023 - ${#added} - 3)) 0)  # with the folder: 1023 characters
for path in 'REG_EXPAND_SZ C:\one;%SystemRoot%\two;;D:\three;' none 'REG_EXPAND_SZ ' \
  "REG_SZ $long" "REG_SZ ${long}x"; do
  wine reg delete 'HKCU\Environment' /v Path /f >/dev/null 2>&1 || true
  [ "$path" == none ] ||
    wine reg add 'HKCU\Environment' /v Path /t "${path%% *}" /d "${path#* }" /f >/dev/null 2>&1
  before=$(path_value 'HKCU\Environment')
  case $path in
    none) what="no user's PATH" expected="    Path    REG_EXPAND_SZ    $win" ;;
    'REG_EXPAND_SZ ') what="an empty user's PATH" expected="$before$win" ;;
    *x) what="a user's PATH too long to take the folder" expected=$before ;;
    *C:\\0*) what="a user's PATH as long as can take the folder" expected="$before$added" ;;
    *) what="a user's PATH of other entries" expected="$before$added" ;;
  esac
  expect "$what: the setup installs" wine "$setup" /S
  expect_eq "$what: after the install" "$(path_value 'HKCU\Environment')" "$expected"
  if [ "$path" == none ]; then
    expect_eq "folirex-convert runs by name for the user" "$(by_name)" "folirex-convert 2.0"
  fi
  expect "$what: the uninstall ends" uninstall "$dir"
  expect_eq "$what: after the uninstall, as before" "$(path_value 'HKCU\Environment')" "$before"
done

echo "setup: $PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ] && [ "$PASSED" -gt 0 ]
