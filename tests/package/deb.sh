#!/usr/bin/env bash
# The Debian package, built as ./package builds it (lintian: no error, no copyright warning),
# then read back: the icons at their sizes, the desktop entry's conversion and the launcher's
# command behind it, the launcher's --version against the package's, the copyright's licence
# texts.
#   deb.sh FOLIREX_EXE MIPAGEVIEW_DLL FOLIREX_CONVERT LICENCES OUT
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$5
rm -rf "$out"
mkdir -p "$out"
fail() { echo "FAILED: $*"; exit 1; }
version=$(dpkg-parsechangelog -l "$root/packaging/debian/changelog" -S Version)
deb="$out/folirex_${version}_amd64.deb"
"$root/packaging/debian/build-deb" "$deb" "$version" "$1" "$2" "$3" "$4" || fail "build-deb"
dpkg-deb -x "$deb" "$out/tree"
cd "$out/tree"
for size in 16 32 48 128 256; do
  [ "$(identify -format '%wx%h' "usr/share/icons/hicolor/${size}x$size/apps/folirex.png")" == \
    "${size}x$size" ] || fail "the ${size}px icon"
done
grep -q '^Exec=folirex --convert-pdf --terminal %F$' usr/share/applications/folirex.desktop ||
  fail "the desktop entry's conversion"
[ "$(usr/bin/folirex --version)" == "folirex $version" ] || fail "folirex --version"
# The desktop action's command: a PDF beside each document, and a failure said in words.
cp "$root/samples/sample.mdi" "$out/a sample.mdi"
printf 'no document' >"$out/damaged.mdi"
status=0
PATH="$PWD/usr/bin:$PATH" usr/bin/folirex --convert-pdf "$out/a sample.mdi" "$out/damaged.mdi" \
  </dev/null >"$out/convert.log" 2>&1 || status=$?
[ $status == 1 ] && qpdf --check "$out/a sample.pdf" >/dev/null && grep -q "not converted" "$out/convert.log" ||
  fail "folirex --convert-pdf: exit $status, $(cat "$out/convert.log")"
# Each library's licence text, not only its name.
for text in "Sam Leffler" "Independent JPEG Group" "Jean-loup Gailly" "Yann Collet" \
  "Artistic License 2.0" "Redistributions in source code must retain" "Lockless Inc" \
  "Leptonica.  All rights reserved" "the complete text of the Apache 2.0 license"; do
  grep -q "$text" usr/share/doc/folirex/copyright || fail "the copyright lacks $text"
done
echo "deb: $deb"
