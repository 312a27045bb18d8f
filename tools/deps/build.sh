#!/usr/bin/env bash
# Builds libjpeg-turbo, libtiff and qpdf for both Windows architectures from Debian's own source
# packages, with Debian's patches applied, into $BUILD/deps/<arch> (static libraries, headers,
# licences), and takes xxHash's header, which is the whole library when inlined, from its
# source package too. zlib is Debian's MinGW package. The source packages come through apt with a
# source list and state of the project's own under $BUILD/deps/apt, so the machine's apt
# configuration stays as it is; the archive's address is taken from the machine's own list.
# Built once: a finished library is left alone (qpdf and xxHash have marks of their own, so that
# a build from before they came along is kept).
#   tools/deps/build.sh BUILD_DIR
set -euo pipefail

BUILD=$1
DEPS="$BUILD/deps"
APT="$DEPS/apt"
SOURCES="$DEPS/sources"
JOBS=${DEPS_JOBS:-2}

done_mark() { echo "$DEPS/$1/.built"; }
qpdf_mark() { echo "$DEPS/$1/.built-qpdf"; }
xxhash_mark() { echo "$DEPS/$1/.built-xxhash"; }

all_built() {
  local arch
  for arch in i686 x86_64; do
    [ -f "$(done_mark "$arch")" ] && [ -f "$(qpdf_mark "$arch")" ] &&
      [ -f "$(xxhash_mark "$arch")" ] || return 1
  done
}

# deb-src entries for the archives the machine already uses for binary packages.
write_source_list() {
  mkdir -p "$APT/lists/partial" "$APT/cache/archives/partial" "$APT/etc"
  local list="$APT/etc/sources.list"
  : >"$list"
  local file uri suites components
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    # One stanza per blank-line-separated block: its URIs, Suites and Components.
    awk -v out="$list" '
      function flush() { if (uri != "" && suites != "") {
          n = split(suites, s, " "); for (i = 1; i <= n; i++)
            print "deb-src " key uri " " s[i] " " comps >> out }
        uri = ""; suites = ""; comps = ""; key = "" }
      /^[[:space:]]*$/ { flush(); next }
      /^URIs:/ { sub(/^URIs:[[:space:]]*/, ""); uri = $0 }
      /^Suites:/ { sub(/^Suites:[[:space:]]*/, ""); suites = $0 }
      /^Components:/ { sub(/^Components:[[:space:]]*/, ""); comps = $0 }
      /^Signed-By:/ { sub(/^Signed-By:[[:space:]]*/, ""); key = "[signed-by=" $0 "] " }
      END { flush() }' "$file"
  done
  [ -s "$list" ] || { echo "No apt archive found in /etc/apt/sources.list.d" >&2; return 1; }
}

apt_options() {
  echo -o Dir::Etc::SourceList="$APT/etc/sources.list" -o Dir::Etc::SourceParts=/dev/null \
    -o Dir::State::Lists="$APT/lists" -o Dir::Cache="$APT/cache"
}
# shellcheck disable=SC2046
apt_own() { apt-get $(apt_options) "$@"; }

# Unpacks the newest revision of a source package that downloads: the archive may list a
# security revision whose files are not there (yet).
fetch_source() {  # fetch_source NAME -> prints the unpacked directory
  local name=$1 version dir
  mkdir -p "$SOURCES"
  # shellcheck disable=SC2046
  for version in $(apt-cache $(apt_options) showsrc "$name" | awk '/^Version:/ {print $2}' |
                   sort -u -r -V); do
    dir="$SOURCES/$name-${version#*:}"  # no epoch: make cannot take a colon in a path
    if [ -d "$dir" ]; then echo "$dir"; return 0; fi
    if (cd "$SOURCES" && apt_own source --download-only -qq "$name=$version" >&2); then
      local dsc
      dsc=$(ls "$SOURCES/${name}_${version#*:}.dsc")
      dpkg-source --no-check -x "$dsc" "$dir" >&2
      echo "$dir"
      return 0
    fi
    echo "$name $version does not download; trying the revision before it" >&2
  done
  echo "No revision of $name could be fetched" >&2
  return 1
}

toolchain_args() {  # toolchain_args ARCH
  local arch=$1
  echo -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR="$([ "$arch" = i686 ] && echo X86 || echo AMD64)" \
    -DCMAKE_C_COMPILER="$arch-w64-mingw32-gcc-posix" -DCMAKE_CXX_COMPILER="$arch-w64-mingw32-g++-posix" -DCMAKE_RC_COMPILER="$arch-w64-mingw32-windres" \
    -DCMAKE_FIND_ROOT_PATH="/usr/$arch-w64-mingw32;$DEPS/$arch" \
    -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY \
    -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY -DCMAKE_BUILD_TYPE=Release
}

build_jpeg() {  # build_jpeg ARCH SOURCE
  local arch=$1 src=$2 out="$DEPS/$arch" work="$DEPS/work/$arch/jpeg"
  # shellcheck disable=SC2046
  cmake -S "$src" -B "$work" $(toolchain_args "$arch") -DCMAKE_INSTALL_PREFIX="$out" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON -DREQUIRE_SIMD=ON \
    -DCMAKE_ASM_NASM_COMPILER=nasm >/dev/null
  cmake --build "$work" -j"$JOBS" --target jpeg-static >/dev/null
  mkdir -p "$out/lib" "$out/include" "$out/licences/libjpeg-turbo"
  cp "$work/libjpeg.a" "$out/lib/"
  cp "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$work/jconfig.h" "$out/include/"
  cp "$src/LICENSE.md" "$src/README.ijg" "$out/licences/libjpeg-turbo/"
}

build_tiff() {  # build_tiff ARCH SOURCE
  local arch=$1 src=$2 out="$DEPS/$arch" work="$DEPS/work/$arch/tiff"
  # shellcheck disable=SC2046
  cmake -S "$src" -B "$work" $(toolchain_args "$arch") -DCMAKE_INSTALL_PREFIX="$out" \
    -DBUILD_SHARED_LIBS=OFF -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF \
    -Dcxx=OFF -Dzlib=ON -Djpeg=ON -Dold-jpeg=ON -Djpeg12=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF \
    -Djbig=OFF -Dlerc=OFF -Dlibdeflate=OFF -Dpixarlog=ON \
    -DZLIB_INCLUDE_DIR="/usr/$arch-w64-mingw32/include" -DZLIB_LIBRARY="/usr/$arch-w64-mingw32/lib/libz.a" \
    -DJPEG_INCLUDE_DIR="$out/include" -DJPEG_LIBRARY="$out/lib/libjpeg.a" >/dev/null
  cmake --build "$work" -j"$JOBS" --target tiff >/dev/null
  mkdir -p "$out/licences/libtiff" "$out/licences/zlib"
  cp "$work/libtiff/libtiff.a" "$out/lib/"
  cp "$src/libtiff/tiff.h" "$src/libtiff/tiffio.h" "$src/libtiff/tiffvers.h" \
    "$work/libtiff/tiffconf.h" "$out/include/"
  cp "$src/LICENSE.md" "$out/licences/libtiff/"
  cp /usr/share/doc/libz-mingw-w64-dev/copyright "$out/licences/zlib/copyright"
}

# qpdf for the converter: its own (native) crypto, not gnutls or openssl, which would bring
# their own dependencies; zlib from Debian's MinGW package, libjpeg from the build above. No
# pkg-config: the host's .pc files describe Linux libraries.
build_qpdf() {  # build_qpdf ARCH SOURCE
  local arch=$1 src=$2 out="$DEPS/$arch" work="$DEPS/work/$arch/qpdf"
  # Its configuration checks link with "Advapi32", as Windows' own file system would find it;
  # MinGW's library is libadvapi32.a, and without a name of that spelling every check fails.
  mkdir -p "$work/case"
  ln -sf "/usr/$arch-w64-mingw32/lib/libadvapi32.a" "$work/case/libAdvapi32.a"
  # shellcheck disable=SC2046
  PKG_CONFIG_LIBDIR="$work/no-pkgconfig" cmake -S "$src" -B "$work" $(toolchain_args "$arch") \
    -DCMAKE_EXE_LINKER_FLAGS="-L$work/case" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DUSE_IMPLICIT_CRYPTO=OFF \
    -DREQUIRE_CRYPTO_NATIVE=ON -DBUILD_DOC=OFF -DINSTALL_EXAMPLES=OFF \
    -DZLIB_H_PATH="/usr/$arch-w64-mingw32/include" -DZLIB_LIB_PATH="/usr/$arch-w64-mingw32/lib/libz.a" \
    -DLIBJPEG_H_PATH="$out/include" -DLIBJPEG_LIB_PATH="$out/lib/libjpeg.a" >/dev/null
  cmake --build "$work" -j"$JOBS" --target libqpdf >/dev/null
  mkdir -p "$out/include/qpdf" "$out/licences/qpdf"
  cp "$work/libqpdf/libqpdf.a" "$out/lib/"
  cp "$src"/include/qpdf/*.h "$src"/include/qpdf/*.hh "$out/include/qpdf/"
  cp "$src/LICENSE.txt" "$src/NOTICE.md" "$src/Artistic-2.0" "$out/licences/qpdf/"
}

# xxHash for the converter's PDF IDs: the header alone, compiled into the converter.
install_xxhash() {  # install_xxhash ARCH SOURCE
  local arch=$1 src=$2 out="$DEPS/$arch"
  mkdir -p "$out/include" "$out/licences/xxhash"
  cp "$src/xxhash.h" "$out/include/"
  cp "$src/LICENSE" "$out/licences/xxhash/"
}

main() {
  all_built && return 0
  echo "Building libjpeg-turbo, libtiff and qpdf, and taking xxHash, for Windows from Debian's sources (once)"
  write_source_list
  apt_own update -qq
  local jpeg tiff qpdf xxhash arch
  jpeg=$(fetch_source libjpeg-turbo)
  tiff=$(fetch_source tiff)
  qpdf=$(fetch_source qpdf)
  xxhash=$(fetch_source xxhash)
  for arch in i686 x86_64; do
    if [ ! -f "$(done_mark "$arch")" ]; then
      rm -rf "${DEPS:?}/$arch" "$DEPS/work/$arch"
      build_jpeg "$arch" "$jpeg"
      build_tiff "$arch" "$tiff"
      basename "$jpeg" >"$(done_mark "$arch")"
      basename "$tiff" >>"$(done_mark "$arch")"
    fi
    if [ ! -f "$(qpdf_mark "$arch")" ]; then
      rm -rf "$DEPS/work/$arch/qpdf"
      build_qpdf "$arch" "$qpdf"
      basename "$qpdf" >"$(qpdf_mark "$arch")"
    fi
    if [ ! -f "$(xxhash_mark "$arch")" ]; then
      install_xxhash "$arch" "$xxhash"
      basename "$xxhash" >"$(xxhash_mark "$arch")"
    fi
  done
}

main
