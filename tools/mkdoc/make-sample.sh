#!/usr/bin/env bash
# Regenerates samples/sample.mdi: builds tools/mkdoc/mksample.cpp with the document writer
# for x86_64 Windows and runs it under Wine (its text is drawn with GDI and Wine's Tahoma).
set -euo pipefail
source "$(dirname "$0")/../common.sh"
ensure_packages
out="$BUILD/mksample"
mkdir -p "$out"
"$ROOT/tools/deps/build.sh" "$BUILD"   # libtiff and libjpeg-turbo, which code the pages
deps="$BUILD/deps/x86_64"
x86_64-w64-mingw32-g++-posix -std=c++17 -O2 -Wall -Wextra -Werror -I"$ROOT" -I"$deps/include" \
  "$ROOT/tools/mkdoc/mksample.cpp" "$ROOT"/tools/docwriter/*.cpp -L"$deps/lib" \
  -static -static-libgcc -static-libstdc++ -ltiff -ljpeg -lz -lgdi32 -o "$out/mksample.exe"
prepare_prefix
wine "$out/mksample.exe" "$(winepath -w "$ROOT/samples/sample.mdi")"
ls -l "$ROOT/samples/sample.mdi"
