#!/usr/bin/env bash
# Builds libjpeg-turbo, libtiff and qpdf for both Windows architectures from Debian's own source
# packages, with Debian's patches applied (static libraries, headers, licences), and takes
# xxHash's header, which is the whole library when inlined, from its source package too. zlib is
# Debian's MinGW package.
#
# The build takes long, so it lives in a cache outside the clone, one folder per key: the source
# versions it was built from and this script's own text. $BUILD/deps is a link to it, and every
# clone of the machine shares it. The first key tried comes from the versions the machine's
# installed -dev packages were built from: when the cache holds that, nothing else is asked (no
# network). Otherwise apt, with a source list and state of the project's own (the machine's apt
# configuration stays as it is, only its archives' addresses are read), fetches those versions,
# or the newest that downloads, and the libraries are built once for every clone.
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
DEPS=""   # the folder being built
SCRIPT=$(realpath "$0")
# The source package of each library, and the -dev package that tells the machine's version.
LIBRARIES=("libjpeg-turbo libjpeg62-turbo-dev" "tiff libtiff-dev" "qpdf libqpdf-dev"
           "xxhash libxxhash-dev")

all_built() {  # all_built FOLDER
  local arch mark
  for arch in i686 x86_64; do
    for mark in .built .built-qpdf .built-xxhash; do
      [ -f "$1/$arch/$mark" ] || return 1
    done
  done
}

# key "SOURCE VERSION"...: names the build of those versions by this script. As the unpacked
# sources' folders are named: no epoch.
key() {
  local row
  { cat "$SCRIPT"; for row in "$@"; do echo "${row%% *}-${row##*[ :]}"; done; } |
    sha256sum | cut -c1-16
}

# "SOURCE VERSION" of each library as installed on the machine, nothing when one is missing.
installed_versions() {
  local row version
  for row in "${LIBRARIES[@]}"; do
    version=$(dpkg-query -W -f='${source:Version}' "${row#* }" 2>/dev/null) || return 0
    [ -n "$version" ] || return 0
    echo "${row%% *} $version"
  done
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
      dpkg-source --no-check -x "$dsc" "$dir" >&2
      echo "$dir"
      return 0
    fi
    echo "$name $version does not download; trying another revision" >&2
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

build_all() {  # build_all FOLDER JPEG TIFF QPDF XXHASH: the libraries, into FOLDER
  DEPS=$1
  local jpeg=$2 tiff=$3 qpdf=$4 xxhash=$5 arch
  rm -rf "$DEPS"
  for arch in i686 x86_64; do
    build_jpeg "$arch" "$jpeg"
    build_tiff "$arch" "$tiff"
    basename "$jpeg" >"$DEPS/$arch/.built"
    basename "$tiff" >>"$DEPS/$arch/.built"
    build_qpdf "$arch" "$qpdf"
    basename "$qpdf" >"$DEPS/$arch/.built-qpdf"
    install_xxhash "$arch" "$xxhash"
    basename "$xxhash" >"$DEPS/$arch/.built-xxhash"
  done
  rm -rf "$DEPS/work"
}

main() {
  if [ -e "$LINK" ] && ! [[ "$(readlink "$LINK")" == "$CACHE"/* ]] && all_built "$LINK"; then
    return 0
  fi
  mkdir -p "$CACHE"
  local installed wanted
  mapfile -t installed < <(installed_versions)
  wanted=$(key "${installed[@]}")
  if [ ${#installed[@]} -eq ${#LIBRARIES[@]} ] && all_built "$CACHE/$wanted"; then
    [ "$(readlink "$LINK")" == "$CACHE/$wanted" ] || link_deps "$CACHE/$wanted"
    return 0
  fi
  # One build at a time: a clone that waited here then finds the libraries built.
  exec 9>"$CACHE/.lock"
  flock 9
  echo "Building libjpeg-turbo, libtiff and qpdf, and taking xxHash, for Windows from Debian's sources, into $CACHE (once)"
  write_source_list
  apt_own update -qq
  local row dirs=() versions=() dir
  for row in "${LIBRARIES[@]}"; do
    local name=${row%% *} version=""
    for dir in "${installed[@]}"; do [[ "$dir" == "$name "* ]] && version=${dir#* }; done
    dir=$(fetch_source "$name" "$version")
    dirs+=("$dir")
    versions+=("$name ${dir#"$SOURCES/$name-"}")
  done
  local built
  built=$(key "${versions[@]}")
  echo "Libraries from: ${versions[*]} (key $built)"
  if ! all_built "$CACHE/$built"; then
    build_all "$CACHE/$built.partial" "${dirs[@]}"
    rm -rf "${CACHE:?}/$built"
    mv "$CACHE/$built.partial" "$CACHE/$built"
  fi
  # The installed versions' key names the build the archive gave for them.
  [ ${#installed[@]} -ne ${#LIBRARIES[@]} ] || [ "$wanted" == "$built" ] ||
    ln -sfn "$built" "$CACHE/$wanted"
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
