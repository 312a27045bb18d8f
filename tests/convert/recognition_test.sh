#!/usr/bin/env bash
# Recognition, natively: a page of known text, rendered at 300 dpi with poppler and made a G4 scan
# with the project's writer (plain, with stored text, turned), converted; its words found and
# placed as the rendering's own words (pdftotext -bbox) say. Exits non-zero on the first fault.
set -euo pipefail
source "$(dirname "$0")/../../tools/common.sh"
build_native >/dev/null
bin="$BUILD/native"
conv="$bin/folirex-convert"
words="python3 $ROOT/tests/convert/words.py"
work=$(mktemp -d "$BUILD/recognition-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
cd "$work"
"$bin/convert_placement_test" >/dev/null || fail "the placement of stored words"

$words page page.pdf
$words truth page.pdf >truth.txt
pdftoppm -r 300 -mono page.pdf rendered
"$bin/convert_test_docs" --scan rendered-1.pbm 300 1 - plain.mdi
# at_least N OF FRACTION: N is at least FRACTION of OF
at_least() { awk -v n="$1" -v of="$2" -v f="$3" 'BEGIN { exit !(of > 0 && n >= f * of) }'; }

# A plain scan's text output is the recognized text: nearly every word, in order.
"$conv" -q -t txt plain.mdi || fail "plain: exit $?"
read -r found total < <($words found truth.txt plain.txt)
at_least "$found" "$total" 0.95 || fail "plain: $found of $total words found"
# Without recognition a plain scan has no text; a language without data is bad usage.
"$conv" -q --ocr never -t txt -o never plain.mdi && [ ! -s never/plain.txt ] ||
  fail "--ocr never recognized"
status=0
"$conv" -q -l xx-none -t txt -o bad plain.mdi 2>bad.txt || status=$?
[ $status = 2 ] && grep -q "xx-none" bad.txt || fail "a missing language: exit $status, $(cat bad.txt)"
# A scan with stored text: the PDF's text is the stored text word for word (an unprinted word and
# a correction among them), its words over their printed words; turned (Orientation 6), the page
# is upright and so is its layer.
$words stored >stored.txt
"$bin/convert_test_docs" --scan rendered-1.pbm 300 1 stored.txt stored.mdi
"$bin/convert_test_docs" --scan rendered-1.pbm 300 6 stored.txt turned.mdi
for doc in plain stored turned; do
  "$conv" -q -t pdf -t txt -t alto -o out $doc.mdi || fail "$doc: exit $?"
  # ALTO: the schema's shape, and the same words on the same boxes as the PDF's layer.
  read -r inside total < <($words alto out/$doc.alto.xml out/$doc.pdf 300) || fail "$doc: ALTO's shape"
  at_least "$inside" "$total" 0.95 && at_least "$total" 64 0.95 ||
    fail "$doc: $inside of ALTO's $total words on the PDF's boxes"
  pdfinfo out/$doc.pdf | grep -q "^Page size: *612 x 792 pts" || fail "$doc: not upright"
  read -r inside total < <($words placed truth.txt out/$doc.pdf)
  at_least "$inside" "$total" 0.95 && at_least "$total" 64 0.95 ||
    fail "$doc: $inside of $total words found placed on their printed words"
done
for doc in stored turned; do
  [ "$(pdftotext out/$doc.pdf - | tr -s ' \n\f' '  ')" = "$(tr -s ' \r\n' '   ' <stored.txt) " ] ||
    fail "$doc: the PDF's text is not the stored text: $(pdftotext out/$doc.pdf -)"
  cmp -s out/$doc.txt stored.txt || fail "$doc: the text output is not the stored text"
done
# --ocr always takes the recognized text; never keeps the stored text's lines spread down the page.
"$conv" -q --ocr always -t txt -o always stored.mdi
grep -q "MONDAY" always/stored.txt && fail "--ocr always kept the stored text"
"$conv" -q --ocr never -t pdf -o never stored.mdi
read -r inside total < <($words placed truth.txt never/stored.pdf)
at_least "$inside" "$total" 0.5 && fail "--ocr never placed the words"
# PDF/A-2b's clauses that apply (tests/convert/pdfa_check.py), with the TIFF's own description
# (DocumentName, Artist, DateTime) in the information and the XMP, and --title, --author over it.
for doc in plain stored turned; do python3 "$ROOT/tests/convert/pdfa_check.py" out/$doc.pdf >/dev/null || fail "$doc: PDF/A"; done
convert rendered-1.pbm -density 300 -units PixelsPerInch -compress Group4 described.tif
tiffset -s 269 "County archive report" described.tif && tiffset -s 315 "J. Müller" described.tif &&
  tiffset -s 306 "2023:10:05 14:30:00" described.tif
"$conv" -q --ocr never -t pdf described.tif && "$conv" -q --ocr never --title Другой --author "A & B" -o titled described.tif
python3 "$ROOT/tests/convert/pdfa_check.py" described.tif.pdf "County archive report" "J. Müller" >/dev/null &&
  python3 "$ROOT/tests/convert/pdfa_check.py" titled/described.tif.pdf Другой "A & B" >/dev/null || fail "the description"
pdfinfo -meta described.tif.pdf | grep -q "<dc:source>described.tif</dc:source>" &&
  pdfinfo -meta described.tif.pdf | grep -q "$(sha256sum <described.tif | cut -c1-64)" || fail "the source in the XMP"
echo "recognition tests passed ($found of $total words found)"
