# Shared by ./run and ./test: packages, builds, the Wine prefix and the servers
# the program needs on Linux. Sourced, not run.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD="${FOLIREX_BUILD:-$ROOT/build}"   # helpers and parallel work may use their own
export WINEPREFIX="$BUILD/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko installer dialogs

PACKAGES=(cmake g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest wine64 fonts-wine xvfb xauth
          xdotool xclip imagemagick poppler-utils cups printer-driver-cups-pdf libtiff-tools
          clang libclang-rt-14-dev zip nasm libz-mingw-w64-dev dpkg-dev libtiff-dev)

ensure_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
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

# A Wine prefix of the project's own, with the component registered in it.
prepare_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix in $WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
  # Wine draws the title bars itself: there is no window manager under Xvfb.
  if ! grep -q '"Decorated"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
    wineserver -w
  fi
  local dll="$BUILD/x86_64/component/MiPageView.dll"
  if [ -f "$dll" ]; then
    wine regsvr32 /s "$(winepath -w "$dll" 2>/dev/null)" >/dev/null 2>&1 \
      || { echo "Registering the component failed" >&2; return 1; }
  fi
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
    for _ in $(seq 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && return 0
      sleep 0.1
    done
  done
  echo "Could not start Xvfb" >&2
  return 1
}

# CUPS with a PDF printer, the system's default: printing tests print to it.
start_cups() {
  if ! lpstat -r 2>/dev/null | grep -q "is running"; then
    cupsd >/dev/null 2>&1 || true
    for _ in $(seq 50); do
      lpstat -r 2>/dev/null | grep -q "is running" && break
      sleep 0.1
    done
  fi
  if ! lpstat -p PDF >/dev/null 2>&1; then
    lpadmin -p PDF -v cups-pdf:/ -E -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
  fi
  lpadmin -d PDF
}
