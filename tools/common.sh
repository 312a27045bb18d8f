# Shared by ./run and ./test: packages, builds, the Wine prefix and the servers
# the program needs on Linux. Sourced, not run.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD="${FOLIREX_BUILD:-$ROOT/build}"   # helpers and parallel work may use their own
export WINEPREFIX="$BUILD/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko installer dialogs

# Wine makes and opens files with non-ASCII names only under a UTF-8 locale, whatever the
# caller's is; C.UTF-8 is on every Debian and keeps Windows' code page at 1252.
export LC_ALL=C.UTF-8 LANG=C.UTF-8

# The Debian packages the scripts install, each with the commands that the scripts and tests
# call from it: the package that owns the command's file, so that dpkg can tell.
COMMANDS=(
  "bash: bash"
  "coreutils: basename cat chmod chown chroot comm cp cut date dd dirname env head id install ln ls md5sum mkdir
   mkfifo mktemp mv nice nproc od readlink realpath rm seq sha256sum sleep sort split stat tail tee timeout touch tr
   truncate wc"
  "diffutils: cmp diff"
  "findutils: find"
  "grep: grep"
  "sed: sed"
  "mount: mount umount"
  "util-linux: mountpoint flock runuser"
  "passwd: useradd"
  "dpkg: dpkg dpkg-query dpkg-deb"
  "apt: apt apt-get apt-cache"
  "mawk: awk"
  "libtiff-tools: tiffcp tiff2pdf tiff2rgba tiffset"
  "git: git"
  "cmake: cmake ctest"
  "make: make"
  "python3-minimal: python3"
  "g++-mingw-w64-i686-posix: i686-w64-mingw32-g++-posix"
  "gcc-mingw-w64-i686-posix: i686-w64-mingw32-gcc-posix"
  "binutils-mingw-w64-i686: i686-w64-mingw32-strip i686-w64-mingw32-windres"
  "g++-mingw-w64-x86-64-posix: x86_64-w64-mingw32-g++-posix"
  "gcc-mingw-w64-x86-64-posix: x86_64-w64-mingw32-gcc-posix"
  "binutils-mingw-w64-x86-64: x86_64-w64-mingw32-strip x86_64-w64-mingw32-windres"
  "gcc: gcc"
  "g++: g++"
  "clang-14: clang clang++"
  "wine: wine wineboot winepath regsvr32"
  "libwine: wineserver"
  "xvfb: Xvfb"
  "xdotool: xdotool"
  "imagemagick-6.q16: convert compare identify import"
  "poppler-utils: pdfinfo pdftoppm pdfimages pdftotext"
  "qpdf: qpdf"
  "libtiff-tools: tiffinfo"
  "cups-daemon: cupsd"
  "cups-client: lpadmin lpstat"
  "zip: zip"
  "gzip: gzip"
  "binutils: strip"
  "libc-bin: iconv locale"
  "nsis: makensis"
  "lintian: lintian"
  "debootstrap: debootstrap"
  "dpkg-dev: dpkg-source dpkg-shlibdeps dpkg-gencontrol dpkg-parsechangelog"
  "nasm: nasm"
  "bsdutils: script"
  "parallel: parallel"
  "time: time"
  "xxhash: xxhsum"
)
# What they need besides: the packages above come through these, and these bring no command
# that the scripts call.
PACKAGES=(googletest wine64 fonts-wine xauth python3 imagemagick cups printer-driver-cups-pdf
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 clang libclang-rt-14-dev libtiff-dev
          libtiff-tools libz-mingw-w64-dev libqpdf-dev zlib1g-dev libxxhash-dev nlohmann-json3-dev g++
          libtesseract-dev tesseract-ocr-eng tesseract-ocr-osd pkg-config icc-profiles-free)
for row in "${COMMANDS[@]}"; do PACKAGES+=("${row%%:*}"); done
# What bench/run alone needs besides (ensure_packages bench): the tools its recognition rows
# measure against, and Debian's PDFs with real text that it scans.
BENCH_COMMANDS=("ocrmypdf: ocrmypdf" "img2pdf: img2pdf")
BENCH_PACKAGES=(libtasn1-doc shared-mime-info)

ensure_packages() {  # ensure_packages [bench]
  local missing=() wanted=("${PACKAGES[@]}") row
  if [ "${1:-}" = bench ]; then
    wanted+=("${BENCH_PACKAGES[@]}")
    for row in "${BENCH_COMMANDS[@]}"; do wanted+=("${row%%:*}"); done
  fi
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Each command of COMMANDS must be a file of its package; $BUILD/bin then holds Debian's copy of
# each, first on the PATH, so that nothing else that the machine puts earlier on it (a Python of
# its own, a stand-in convert) answers instead. That the scripts call no command missing from
# COMMANDS is a test's concern (tests/package/commands.sh), never a reason to stop a build.
check_commands() {
  /usr/bin/python3 "$ROOT/tools/check_commands.py" link "$BUILD/bin" "${COMMANDS[@]}" ||
    { echo "Add the command's package to COMMANDS in tools/common.sh." >&2; return 1; }
  export PATH="$BUILD/bin:$PATH"
}

build_arch() {  # build_arch x86_64|i686 [targets...]
  local arch=$1; shift
  local dir="$BUILD/$arch"
  "$ROOT/tools/deps/build.sh" "$BUILD"   # libtiff and libjpeg-turbo for Windows, built once
  cmake -S "$ROOT" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$arch.cmake" >/dev/null
  if [ $# -gt 0 ]; then
    cmake --build "$dir" -j"$(nproc)" --target "$@"
  else
    cmake --build "$dir" -j"$(nproc)"
  fi
}

# Wine's own fonts, from fonts-wine: Marlett draws the title bar's minimise, maximise and
# close glyphs ("0 1 r" without it), MS Sans Serif is the program's window font. This Wine
# does not look where fonts-wine puts them: the prefix gets copies in its own Fonts folder.
install_wine_fonts() {
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  [ -f "$fonts/marlett.ttf" ] && return 0
  mkdir -p "$fonts"
  # Marlett and the MS Sans Serif family only: with the others (Tahoma among them) Wine draws
  # the component's own small placeholder text wider than it measures it.
  local w=/usr/share/wine/fonts
  cp -n "$w/marlett.ttf" "$w/ms_sans_serif.ttf" "$w"/sserif*.fon "$w"/ssee*.fon "$w"/ssef*.fon "$fonts/"
}

# The converter, natively with the system's compiler, libtiff and qpdf (no Wine).
build_native() {
  cmake -S "$ROOT/convert" -B "$BUILD/native" >/dev/null
  cmake --build "$BUILD/native" -j"$(nproc)"
}

# A Wine prefix of the project's own, with the component registered in it.
prepare_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix in $WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
  # Wine draws the title bars itself: there is no window manager under Xvfb.
  prefix_setting 'HKCU\Software\Wine\X11 Driver' Decorated N
  # Nor does any window manager answer Wine there: a window Wine leaves to one waits two
  # seconds for it each time it is hidden. Under our own Xvfb Wine manages its windows itself.
  if [ -n "${XVFB_PID:-}" ]; then
    prefix_setting 'HKCU\Software\Wine\X11 Driver' Managed N
  else
    prefix_setting 'HKCU\Software\Wine\X11 Driver' Managed Y
  fi
  install_wine_fonts
  local dll="$BUILD/x86_64/component/MiPageView.dll"
  if [ -f "$dll" ]; then
    wine regsvr32 /s "$(winepath -w "$dll" 2>/dev/null)" >/dev/null 2>&1 \
      || { echo "Registering the component failed" >&2; return 1; }
  fi
}

# prefix_setting KEY NAME VALUE: a string value in the prefix's registry, written only when
# the prefix lacks it (the registry files show what the prefix's server last saved).
prefix_setting() {
  local name=$2 value=$3
  grep -q "^\"$name\"=\"$value\"" "$WINEPREFIX/user.reg" "$WINEPREFIX/system.reg" 2>/dev/null &&
    return 0
  wine reg add "$1" /v "$name" /t REG_SZ /d "$value" /f >/dev/null 2>&1
}

# One Wine server for the whole run of the tests. Left to itself the server ends a few seconds
# after its last program, and a program started just then finds it going away and fails to
# start; a persistent one ends only when the run stops it, once nothing runs any more.
#   start_wineserver WINDOWS_PROGRAM [ARGUMENTS...]
# The program, run once with its output to /dev/null, starts the session's own processes (the
# services and the desktop): they would otherwise inherit the first test's output and keep
# CTest waiting for its end. It must ask for a window, so that the desktop starts.
start_wineserver() {
  wineserver -k 2>/dev/null || true   # an idle one of this prefix, which would end by itself
  wineserver -w
  wineserver -p </dev/null >/dev/null 2>&1
  wine "$@" </dev/null >/dev/null 2>&1
}

stop_wineserver() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}

# Starts Xvfb when there is no display; sets DISPLAY and XVFB_PID.
start_xvfb() {
  XVFB_PID=""
  [ -n "${DISPLAY:-}" ] && return 0
  local n
  for n in $(seq 90 130); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    # It ends at once when the number is taken (for instance by a server of another root).
    for _ in $(seq 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && return 0
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
  done
  echo "Could not start Xvfb" >&2
  return 1
}

# CUPS with a PDF printer, the system's default: printing tests print to it. The scripts and
# the programs they start talk to this root's own server through its socket: another root on
# the same machine (tools/fresh-check's) shares the network, and its server answers on
# localhost too.
export CUPS_SERVER=/run/cups/cups.sock
start_cups() {
  if ! lpstat -r 2>/dev/null | grep -q "is running"; then
    cupsd >/dev/null 2>&1 || true
    for _ in $(seq 100); do
      lpstat -r 2>/dev/null | grep -q "is running" && break
      sleep 0.1
    done
  fi
  if ! lpstat -p PDF >/dev/null 2>&1; then
    lpadmin -p PDF -v cups-pdf:/ -E -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
  fi
  lpadmin -d PDF
}
