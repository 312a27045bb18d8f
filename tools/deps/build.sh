#!/usr/bin/env bash
# Builds the libraries the Windows programs link statically, for both architectures, from Debian's
# own source packages with Debian's patches applied (static libraries, headers, licences):
# libjpeg-turbo and libtiff for the component and the converter, qpdf, Leptonica and Tesseract
# for the converter; and takes xxHash's header, which is the whole library when inlined, from its
# source package too. zlib is Debian's MinGW package.
#
# The builds take long, so they live in a cache outside the clone. Each library is built on its
# own into a folder named by its key: its source version, the text of the functions that build it
# and the keys of the libraries it is built against. Changing one library, or adding one, builds
# that one and those built against it, and leaves the others as they are. $BUILD/deps links to a
# folder of the cache that gathers one build of each (hard links), named by their keys; every
# clone of the machine shares it. The first keys tried come from the versions the machine's
# installed -dev packages were built from: when the cache holds those, nothing else is asked (no
# network). Otherwise apt, with a source list and state of the project's own (the machine's apt
# configuration stays as it is, only its archives' addresses are read), fetches those versions,
# or the newest that downloads, and what is missing is built once for every clone.
# A $BUILD/deps that is a finished folder of its own, or a link elsewhere, is used as it is.
#   tools/deps/build.sh --source-list ETC_APT   prints the deb-src lines it takes from that
#                                               folder's lists (and says which file gave them)
#   tools/deps/build.sh BUILD_DIR        FOLIREX_CACHE: the cache (default /var/cache/folirex
#                                        for root, else ~/.cache/folirex)
set -euo pipefail

ETC_APT=/etc/apt
BUILD=$1
LINK="$BUILD/deps"
if [ -n "${FOLIREX_CACHE:-}" ]; then
  CACHE="$FOLIREX_CACHE/deps"
elif [ "$(id -u)" -eq 0 ]; then
  CACHE=/var/cache/folirex/deps
else
  CACHE="${XDG_CACHE_HOME:-$HOME/.cache}/folirex/deps"
fi
APT="$CACHE/apt"
SOURCES="$CACHE/sources"
JOBS=${DEPS_JOBS:-2}
ARCHES=(x86_64 i686)
# Each library: its source package, the -dev package that tells the machine's version, the
# function that builds it, and the libraries it is built against (built before it).
LIBRARIES=("libjpeg-turbo libjpeg62-turbo-dev build_jpeg"
           "tiff libtiff-dev build_tiff libjpeg-turbo"
           "qpdf libqpdf-dev build_qpdf libjpeg-turbo"
           "xxhash libxxhash-dev install_xxhash"
           "leptonlib libleptonica-dev build_leptonica tiff libjpeg-turbo"
           "tesseract libtesseract-dev build_tesseract leptonlib")
declare -A VERSION KEY PREFIX   # by source package: its version, its key, its built folder
APT_READY=""

# A library's folder holds ARCH/.built-NAME for each architecture once it is complete; the
# gathered folder holds every library's.
all_built() {  # all_built FOLDER [NAME...]: the libraries named (default: all) are built there
  local arch row names=("${@:2}")
  [ ${#names[@]} -gt 0 ] || for row in "${LIBRARIES[@]}"; do names+=("${row%% *}"); done
  for arch in "${ARCHES[@]}"; do
    for row in "${names[@]}"; do
      [ -f "$1/$arch/.built-$row" ] || return 1
    done
  done
}

field() {  # field NAME N: the Nth word of the library's row (1: source, 2: -dev, 3: function)
  local row words
  for row in "${LIBRARIES[@]}"; do
    [ "${row%% *}" != "$1" ] || { read -ra words <<<"$row"; echo "${words[$(($2 - 1))]}"; return; }
  done
}
depends_on() {  # depends_on NAME: the libraries it is built against
  local row words
  for row in "${LIBRARIES[@]}"; do
    [ "${row%% *}" != "$1" ] || { read -ra words <<<"$row"; echo "${words[@]:3}"; return; }
  done
}

# lib_key NAME: names the build of VERSION[NAME] by the functions that build it, against the
# keys of what it is built against. As the unpacked sources' folders are named: no epoch.
lib_key() {
  local name=$1 dep
  { declare -f toolchain_args "$(field "$name" 3)"
    echo "$name-${VERSION[$name]#*:}"
    for dep in $(depends_on "$name"); do echo "$dep ${KEY[$dep]}"; done
  } | sha256sum | cut -c1-16
}
lib_folder() { echo "$CACHE/lib/$1-${VERSION[$1]#*:}-${KEY[$1]}"; }

# The gathered folder's key: every library's, and how they are gathered.
gathered_key() {
  local row
  { declare -f gather; for row in "${LIBRARIES[@]}"; do echo "${row%% *} ${KEY[${row%% *}]}"; done
  } | sha256sum | cut -c1-16
}

# VERSION of each library as installed on the machine; says whether all of them are.
installed_versions() {
  local row name version all=0
  for row in "${LIBRARIES[@]}"; do
    name=${row%% *}
    version=$(dpkg-query -W -f='${source:Version}' "$(field "$name" 2)" 2>/dev/null) || version=""
    if [ -n "$version" ]; then VERSION[$name]=$version; else all=1; fi
  done
  return $all
}

link_deps() {  # link_deps FOLDER: $BUILD/deps becomes a link to it
  mkdir -p "$BUILD"
  [ -L "$LINK" ] || rm -rf "${LINK:?}"   # an unfinished folder of an earlier layout
  ln -sfn "$1" "$LINK"
}

# deb-src entries for the archives the machine already uses for binary packages, from both of
# apt's formats: the one-line /etc/apt/sources.list (and .list files) and the deb822 .sources
# files. Only the signed-by and trusted options are kept; a CD-ROM or a disabled stanza is no
# archive to fetch from. Says which file gave which archive.
write_source_list() {
  mkdir -p "$APT/lists/partial" "$APT/cache/archives/partial" "$APT/etc"
  local list="$APT/etc/sources.list" file
  : >"$list"
  for file in "$ETC_APT/sources.list" "$ETC_APT"/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    awk '
      { sub(/#.*/, "") }
      $1 != "deb" { next }
      {
        line = $0; sub(/^[[:space:]]*deb[[:space:]]+/, "", line); key = ""
        if (line ~ /^\[/) {  # [options], spaces allowed inside
          options = substr(line, 2, index(line, "]") - 2); line = substr(line, index(line, "]") + 1)
          n = split(options, o, /[[:space:]]+/)
          for (i = 1; i <= n; i++) if (o[i] ~ /^(signed-by|trusted)=/) key = key o[i] " "
          if (key != "") key = "[" substr(key, 1, length(key) - 1) "] "
        }
        n = split(line, w, /[[:space:]]+/); f = 0
        for (i = 1; i <= n; i++) if (w[i] != "") word[++f] = w[i]
        if (f >= 2 && word[1] !~ /^cdrom:/) {
          rest = ""; for (i = 3; i <= f; i++) rest = rest " " word[i]
          print "deb-src " key word[1] " " word[2] rest
        }
      }' "$file" >"$APT/etc/found"
    report_sources "$file"
  done
  for file in "$ETC_APT"/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    # One stanza per blank-line-separated block: its URIs, Suites and Components.
    awk '
      function flush(  n, m, s, u, i, j) {
        if (types ~ /(^|[[:space:]])deb($|[[:space:]])/ && enabled !~ /^(no|false)$/) {
          n = split(uris, u, /[[:space:]]+/); m = split(suites, s, /[[:space:]]+/)
          for (i = 1; i <= n; i++) for (j = 1; j <= m; j++)
            if (u[i] != "" && s[j] != "" && u[i] !~ /^cdrom:/)
              print "deb-src " key u[i] " " s[j] (comps == "" ? "" : " " comps)
        }
        types = uris = suites = comps = key = enabled = ""
      }
      function field() { v = $0; sub(/^[^:]*:[[:space:]]*/, "", v); sub(/[[:space:]]+$/, "", v); return v }
      /^#/ { next }
      /^[[:space:]]*$/ { flush(); next }
      tolower($0) ~ /^types:/ { types = field() }
      tolower($0) ~ /^uris:/ { uris = field() }
      tolower($0) ~ /^suites:/ { suites = field() }
      tolower($0) ~ /^components:/ { comps = field() }
      tolower($0) ~ /^enabled:/ { enabled = tolower(field()) }
      # An embedded key (on the lines below) is not kept: apt then tries its own keyrings.
      tolower($0) ~ /^signed-by:/ {
        v = field(); if (v != "" && v !~ /^-----BEGIN/) key = "[signed-by=" v "] " }
      END { flush() }' "$file" >"$APT/etc/found"
    report_sources "$file"
  done
  rm -f "$APT/etc/found"
  [ -s "$list" ] || {
    echo "No Debian archive found in $ETC_APT/sources.list, nor in $ETC_APT/sources.list.d" >&2
    return 1
  }
}

report_sources() {  # report_sources FILE: what write_source_list took from FILE
  [ -s "$APT/etc/found" ] || return 0
  cat "$APT/etc/found" >>"$APT/etc/sources.list"
  echo "Debian's sources from $1:" >&2
  sed 's/^deb-src \(\[[^]]*\] \)\{0,1\}/  /' "$APT/etc/found" >&2
}

apt_options() {
  echo -o Dir::Etc::SourceList="$APT/etc/sources.list" -o Dir::Etc::SourceParts=/dev/null \
    -o Dir::State::Lists="$APT/lists" -o Dir::Cache="$APT/cache"
}
# shellcheck disable=SC2046
apt_own() { apt-get $(apt_options) "$@"; }

# Unpacks the given revision of a source package, or else the newest that downloads: the archive
# may no longer hold the installed one, or list a security revision whose files are not there
# (yet).
fetch_source() {  # fetch_source NAME [VERSION] -> prints the unpacked directory
  local name=$1 wanted=${2:-} version dir
  mkdir -p "$SOURCES"
  # shellcheck disable=SC2046
  for version in $( (echo "$wanted"; apt-cache $(apt_options) showsrc "$name" |
                     awk '/^Version:/ {print $2}' | sort -u -r -V) | awk 'NF && !seen[$0]++'); do
    dir="$SOURCES/$name-${version#*:}"  # no epoch: make cannot take a colon in a path
    if [ -d "$dir" ]; then echo "$dir"; return 0; fi
    if (cd "$SOURCES" && apt_own source --download-only -qq "$name=$version" >&2); then
      local dsc
      dsc=$(ls "$SOURCES/${name}_${version#*:}.dsc")
      # Unpacked beside its place and then moved there: an interrupted unpacking is not taken
      # for the sources the next time.
      rm -rf "$dir.partial"
      dpkg-source --no-check -x "$dsc" "$dir.partial" >&2
      mv "$dir.partial" "$dir"
      echo "$dir"
      return 0
    fi
    echo "$name $version does not download; trying another revision" >&2
  done
  echo "No revision of $name could be fetched" >&2
  return 1
}

toolchain_args() {  # toolchain_args ARCH: a cross build that finds what is under /usr/ARCH-w64-mingw32
  local arch=$1
  echo -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR="$([ "$arch" = i686 ] && echo X86 || echo AMD64)" \
    -DCMAKE_C_COMPILER="$arch-w64-mingw32-gcc-posix" -DCMAKE_CXX_COMPILER="$arch-w64-mingw32-g++-posix" -DCMAKE_RC_COMPILER="$arch-w64-mingw32-windres" \
    -DCMAKE_FIND_ROOT_PATH="/usr/$arch-w64-mingw32" \
    -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY \
    -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY \
    -DCMAKE_BUILD_TYPE=Release
}

# Each builder: BUILDER ARCH SOURCE OUT, with OUT/lib, OUT/include and OUT/licences/NAME to fill;
# what it is built against is in ${PREFIX[NAME]}/ARCH. Its work folder is OUT/../work.

build_jpeg() {
  local arch=$1 src=$2 out=$3 work="$3/../work/jpeg-$1"
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

build_tiff() {
  local arch=$1 src=$2 out=$3 work="$3/../work/tiff-$1" jpeg="${PREFIX[libjpeg-turbo]}/$1"
  # shellcheck disable=SC2046
  cmake -S "$src" -B "$work" $(toolchain_args "$arch") -DCMAKE_INSTALL_PREFIX="$out" \
    -DBUILD_SHARED_LIBS=OFF -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF \
    -Dcxx=OFF -Dzlib=ON -Djpeg=ON -Dold-jpeg=ON -Djpeg12=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF \
    -Djbig=OFF -Dlerc=OFF -Dlibdeflate=OFF -Dpixarlog=ON \
    -DZLIB_INCLUDE_DIR="/usr/$arch-w64-mingw32/include" -DZLIB_LIBRARY="/usr/$arch-w64-mingw32/lib/libz.a" \
    -DJPEG_INCLUDE_DIR="$jpeg/include" -DJPEG_LIBRARY="$jpeg/lib/libjpeg.a" >/dev/null
  cmake --build "$work" -j"$JOBS" --target tiff >/dev/null
  mkdir -p "$out/lib" "$out/include" "$out/licences/libtiff" "$out/licences/zlib"
  cp "$work/libtiff/libtiff.a" "$out/lib/"
  cp "$src/libtiff/tiff.h" "$src/libtiff/tiffio.h" "$src/libtiff/tiffvers.h" \
    "$work/libtiff/tiffconf.h" "$out/include/"
  cp "$src/LICENSE.md" "$out/licences/libtiff/"
  cp /usr/share/doc/libz-mingw-w64-dev/copyright "$out/licences/zlib/copyright"
}

# qpdf: its own (native) crypto, not gnutls or openssl, which would bring their own dependencies;
# zlib from Debian's MinGW package, libjpeg from the build above. No pkg-config: the host's .pc
# files describe Linux libraries.
build_qpdf() {
  local arch=$1 src=$2 out=$3 work="$3/../work/qpdf-$1" jpeg="${PREFIX[libjpeg-turbo]}/$1"
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
    -DLIBJPEG_H_PATH="$jpeg/include" -DLIBJPEG_LIB_PATH="$jpeg/lib/libjpeg.a" >/dev/null
  cmake --build "$work" -j"$JOBS" --target libqpdf >/dev/null
  mkdir -p "$out/lib" "$out/include/qpdf" "$out/licences/qpdf"
  cp "$work/libqpdf/libqpdf.a" "$out/lib/"
  cp "$src"/include/qpdf/*.h "$src"/include/qpdf/*.hh "$out/include/qpdf/"
  cp "$src/LICENSE.txt" "$src/NOTICE.md" "$src/Artistic-2.0" "$out/licences/qpdf/"
}

# xxHash for the converter's PDF IDs: the header alone, compiled into the converter.
install_xxhash() {
  local src=$2 out=$3
  mkdir -p "$out/include" "$out/licences/xxhash"
  cp "$src/xxhash.h" "$out/include/"
  cp "$src/LICENSE" "$out/licences/xxhash/"
}

# Leptonica, the image library under Tesseract: with libtiff, libjpeg-turbo and zlib, the
# libraries built here; no PNG, GIF, WebP or JPEG 2000 (recognition is handed pixels, never
# files), no programs.
build_leptonica() {
  local arch=$1 src=$2 out=$3 work="$3/../work/leptonica-$1"
  local jpeg="${PREFIX[libjpeg-turbo]}/$1" tiff="${PREFIX[tiff]}/$1" library
  # shellcheck disable=SC2046
  cmake -S "$src" -B "$work" $(toolchain_args "$arch") -DCMAKE_INSTALL_PREFIX="$out" \
    -DBUILD_SHARED_LIBS=OFF -DSW_BUILD=OFF -DBUILD_PROG=OFF \
    -DCMAKE_DISABLE_FIND_PACKAGE_GIF=ON -DCMAKE_DISABLE_FIND_PACKAGE_PNG=ON \
    -DCMAKE_DISABLE_FIND_PACKAGE_PkgConfig=ON \
    -DZLIB_INCLUDE_DIR="/usr/$arch-w64-mingw32/include" -DZLIB_LIBRARY="/usr/$arch-w64-mingw32/lib/libz.a" \
    -DJPEG_INCLUDE_DIR="$jpeg/include" -DJPEG_LIBRARY="$jpeg/lib/libjpeg.a" \
    -DTIFF_INCLUDE_DIR="$tiff/include" -DTIFF_LIBRARY="$tiff/lib/libtiff.a" >/dev/null
  nice cmake --build "$work" -j"$JOBS" --target leptonica >/dev/null
  cmake --install "$work" >/dev/null   # with the CMake package that Tesseract's build finds
  # The library's name carries its version; the converter's build links it by a plain one.
  library=$(cd "$out/lib" && ls libleptonica-*.a)
  ln -f "$out/lib/$library" "$out/lib/libleptonica.a"
  mkdir -p "$out/licences/leptonica"
  cp "$src/leptonica-license.txt" "$out/licences/leptonica/"
}

# Tesseract's library (no program, no training tools), on the Leptonica above. Without libcurl
# and libarchive (it reads its data from files), without OpenMP (the converter runs a recognizer
# a job, one thread each) and without the ScrollView debugging window. Its SIMD code is chosen at
# run time from what the processor has; nothing else is compiled for the building machine's
# (-march=native). mingw-w64's GCC aligns the stack to 16 bytes only, so aligned AVX moves of
# spilled values would fault: the assembler makes every vector move an unaligned one. Tesseract
# keeps each text line's image for its LSTM as PNG bytes, through Leptonica, which has no PNG
# here (it would write BMP instead, with a warning on standard error for every line):
# TESSERACT_IMAGEDATA_AS_PIX keeps the image itself, the same pixels. On 32-bit, SSE2 arithmetic as on 64-bit and on Linux, not the
# x87's extended precision, so that a page gives the same words and boxes everywhere.
build_tesseract() {
  local arch=$1 src=$2 out=$3 work="$3/../work/tesseract-$1" lept="${PREFIX[leptonlib]}/$1" library
  # Leptonica's CMake package names its headers where it was installed, the folder before it
  # was moved into place: the headers are given here.
  local flags="-Wa,-muse-unaligned-vector-move -DTESSERACT_IMAGEDATA_AS_PIX -I$lept/include/leptonica"
  [ "$arch" != i686 ] || flags+=" -msse2 -mfpmath=sse"
  # shellcheck disable=SC2046
  cmake -S "$src" -B "$work" $(toolchain_args "$arch") -DCMAKE_INSTALL_PREFIX="$out" \
    -DCMAKE_FIND_ROOT_PATH="/usr/$arch-w64-mingw32;$lept" \
    -DBUILD_SHARED_LIBS=OFF -DSW_BUILD=OFF -DBUILD_TRAINING_TOOLS=OFF -DBUILD_TESTS=OFF \
    -DGRAPHICS_DISABLED=ON -DOPENMP_BUILD=OFF -DDISABLE_CURL=ON -DDISABLE_ARCHIVE=ON \
    -DENABLE_LTO=OFF -DINSTALL_CONFIGS=OFF -DCOMPILER_SUPPORTS_MARCH_NATIVE=OFF \
    -DCMAKE_DISABLE_FIND_PACKAGE_TIFF=ON -DCMAKE_DISABLE_FIND_PACKAGE_PkgConfig=ON \
    -DCMAKE_CXX_FLAGS="$flags" \
    -DLeptonica_DIR="$lept/lib/cmake/leptonica" >/dev/null
  nice cmake --build "$work" -j"$JOBS" --target libtesseract >/dev/null
  mkdir -p "$out/lib" "$out/include/tesseract" "$out/licences/tesseract"
  library=$(cd "$work" && ls libtesseract*.a)
  cp "$work/$library" "$out/lib/libtesseract.a"
  cp "$src"/include/tesseract/*.h "$work/include/tesseract/version.h" "$out/include/tesseract/"
  cp "$src/LICENSE" "$out/licences/tesseract/"
}

# Builds NAME from SOURCE into its folder, both architectures; says how long it took: elapsed,
# and the processor time of the build, which does not depend on what else the machine runs.
build_library() {  # build_library NAME SOURCE
  local name=$1 src=$2 folder arch TIMEFORMAT
  folder=$(lib_folder "$name")
  rm -rf "$folder.partial"
  echo "Building $name ${VERSION[$name]} for Windows from Debian's source package, once"
  TIMEFORMAT="Built $name (${VERSION[$name]}) for ${ARCHES[*]} in %0R s (processor time %0U s + %0S s)"
  time {
    for arch in "${ARCHES[@]}"; do
      mkdir -p "$folder.partial/$arch"
      "$(field "$name" 3)" "$arch" "$src" "$folder.partial/$arch"
      basename "$src" >"$folder.partial/$arch/.built-$name"
    done
  }
  rm -rf "$folder.partial/work"
  rm -rf "$folder"
  mv "$folder.partial" "$folder"
}

# gather FOLDER: one folder a architecture with every library's files, hard links to their builds.
gather() {
  local row arch
  rm -rf "$1.partial"
  for arch in "${ARCHES[@]}"; do
    mkdir -p "$1.partial/$arch"
    for row in "${LIBRARIES[@]}"; do
      cp -al "${PREFIX[${row%% *}]}/$arch/." "$1.partial/$arch/"
    done
  done
  rm -rf "$1"
  mv "$1.partial" "$1"
}

# KEY and PREFIX of each library from its VERSION, in order: a library's key takes those of the
# libraries it is built against.
name_builds() {
  local row
  for row in "${LIBRARIES[@]}"; do
    KEY[${row%% *}]=$(lib_key "${row%% *}")
    PREFIX[${row%% *}]=$(lib_folder "${row%% *}")
  done
}

# Each library in order: the cache's build of its VERSION when there is one, else the version
# apt fetches (that one, or the newest that downloads), built unless the cache holds it.
build_missing() {
  local row name dir
  for row in "${LIBRARIES[@]}"; do
    name=${row%% *}
    if [ -n "${VERSION[$name]:-}" ]; then
      KEY[$name]=$(lib_key "$name")
      PREFIX[$name]=$(lib_folder "$name")
      ! all_built "${PREFIX[$name]}" "$name" || continue
    fi
    if [ -z "$APT_READY" ]; then
      write_source_list
      apt_own update -qq
      APT_READY=1
    fi
    dir=$(fetch_source "$name" "${VERSION[$name]:-}")
    VERSION[$name]=${dir#"$SOURCES/$name-"}
    KEY[$name]=$(lib_key "$name")
    PREFIX[$name]=$(lib_folder "$name")
    all_built "${PREFIX[$name]}" "$name" || build_library "$name" "$dir"
  done
}

main() {
  if [ -e "$LINK" ] && ! [[ "$(readlink "$LINK")" == "$CACHE"/* ]] && all_built "$LINK"; then
    return 0
  fi
  mkdir -p "$CACHE/lib"
  local wanted=""
  if installed_versions; then
    name_builds
    wanted=$(gathered_key)
    if all_built "$CACHE/$wanted"; then
      [ "$(readlink "$LINK")" == "$CACHE/$wanted" ] || link_deps "$CACHE/$wanted"
      return 0
    fi
  fi
  # One build at a time: a clone that waited here then finds the libraries built.
  exec 9>"$CACHE/.lock"
  flock 9
  build_missing
  local built row
  built=$(gathered_key)
  if ! all_built "$CACHE/$built"; then
    echo "The Windows libraries, from Debian's sources, in $CACHE/$built:"
    for row in "${LIBRARIES[@]}"; do
      echo "  ${row%% *} ${VERSION[${row%% *}]} (key ${KEY[${row%% *}]})"
    done
    gather "$CACHE/$built"
  fi
  # The installed versions' key names the build the archive gave for them.
  [ -z "$wanted" ] || [ "$wanted" == "$built" ] || ln -sfn "$built" "$CACHE/$wanted"
  link_deps "$CACHE/$built"
}

if [ "$1" == --source-list ]; then
  ETC_APT=$2 APT=$(mktemp -d)
  trap 'rm -rf "$APT"' EXIT
  write_source_list
  cat "$APT/etc/sources.list"
else
  main
fi
