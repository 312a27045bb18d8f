#!/usr/bin/env bash
# The Windows console build under Wine: a document whose name is in Cyrillic and Greek, given
# as it is, and another given as a Windows path with backslashes, to PDF, TIFF and text; a
# scanned page recognized with Tesseract as built for Windows. The outputs are checked natively:
# qpdf and libtiff, and byte for byte against the native build's (the same qpdf, libtiff, zlib
# and Tesseract versions from Debian 12 on both sides, and the same language data).
#   windows_smoke.sh FOLIREX_CONVERT_EXE
set -euo pipefail
source "$(dirname "$0")/../../tools/common.sh"
exe=$1
build_native >/dev/null
bin="$BUILD/native"
work=$(mktemp -d "$BUILD/convert-windows.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
"$bin/convert_test_docs" "$work"
cd "$work"

name="Дело №7 — ελληνικά"
cp mixed.mdi "$name.mdi"
# The page in a coding no decoder reads is lost in the PDF: exit 4 on both sides. Without
# recognition here (the scanned page at the end is recognized on both sides).
status=0
"$bin/folirex-convert" -q --ocr never -t pdf -t tiff -o native "$name.mdi" batch1.mdi 2>/dev/null ||
  status=$?
[ $status = 4 ] || fail "native: exit $status"
# An absolute path inside the current folder is mirrored from there, as a relative one.
status=0
wine "$exe" -q --ocr never -t pdf -t tiff -t txt -o out --report report.json "$name.mdi" \
  "$(winepath -w "$work/batch1.mdi" 2>/dev/null)" 2>/dev/null || status=$?
[ $status = 4 ] || fail "exit $status"

qpdf --check "out/$name.pdf" >/dev/null || fail "qpdf --check"
[ "$(tiffinfo "out/$name.tif" 2>/dev/null | grep -c "Tag 37679: 0x1,0x0,")" = 7 ] ||
  fail "tiffinfo does not show the text tag on every page"
# The PDF names its source file: the same name on both sides.
for doc in mixed batch1; do
  file=$doc
  [ $doc = mixed ] && file=$name
  cmp "out/$file.txt" $doc.expected.txt || fail "$doc: text output differs"
  cmp "out/$file.pdf" "native/$file.pdf" || fail "$doc: PDF differs from the native build's"
  cmp "out/$file.tif" "native/$file.tif" || fail "$doc: TIFF differs from the native build's"
done
# One long document alone: its PDF is written on a second thread, to the same bytes.
"$bin/folirex-convert" -q --ocr never -t pdf -o native long.mdi
wine "$exe" -q --ocr never -t pdf -o out long.mdi || fail "long: exit $?"
cmp out/long.pdf native/long.pdf || fail "long: PDF differs from the native build's"
# Recognition: a page of known text scanned at 300 dpi, recognized with the language data in the
# tessdata folder beside the program (the build's link to Debian's): the same words on the same
# boxes as the native build's Tesseract finds (ALTO), and the same PDF.
python3 "$ROOT/tests/convert/words.py" page page.pdf
pdftoppm -r 300 -mono page.pdf rendered
"$bin/convert_test_docs" --scan rendered-1.pbm 300 1 - scan.mdi
"$bin/folirex-convert" -q -t alto -t pdf -o native scan.mdi
wine "$exe" -q -t alto -t pdf -o out scan.mdi || fail "scan: exit $?"
[ "$(grep -o "<String " out/scan.alto.xml | wc -l)" -ge 60 ] || fail "scan: too few words recognized"
cmp out/scan.alto.xml native/scan.alto.xml || fail "scan: words or boxes differ from the native build's"
cmp out/scan.pdf native/scan.pdf || fail "scan: PDF differs from the native build's"
python3 - "$name" <<'PY' || fail "report"
import hashlib, json, sys
name = sys.argv[1]
files = json.load(open("report.json", encoding="utf-8"))["files"]
assert files[0]["input"] == name + ".mdi" and files[0]["status"] == "converted", files[0]
assert [o["path"] for o in files[0]["outputs"]] == ["out\\" + name + e for e in (".pdf", ".tif", ".txt")], files[0]
for o in files[0]["outputs"]:
    path = o["path"].replace("\\", "/")
    assert o["sha256"] == hashlib.sha256(open(path, "rb").read()).hexdigest(), o
assert [p["page"] for p in files[0]["lostImages"]] == [6], files[0]
assert files[1]["input"].endswith("\\batch1.mdi") and files[1]["status"] == "converted", files[1]
PY
echo "Windows converter smoke test passed"
