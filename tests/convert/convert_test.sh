#!/usr/bin/env bash
# The converter's tests, natively: builds it, writes documents with the project's writer, and
# checks the outputs with qpdf, poppler's tools and libtiff. Exits non-zero on the first fault.
set -euo pipefail
source "$(dirname "$0")/../../tools/common.sh"
build_native >/dev/null
bin="$BUILD/native"
conv="$bin/folirex-convert"
work=$(mktemp -d "$BUILD/convert-test.XXXXXX")
cleanup() {
  for m in readonly full; do mountpoint -q "$work/$m" && umount "$work/$m"; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
"$bin/convert_worker_test" || fail "the worker"
"$bin/convert_test_docs" "$work"
cd "$work"

# Text in every script: a page of more characters than one font holds, back from the PDF.
pdf_text_matches() {  # pdf_text_matches DOC: each page's words as the text output has them
  pdftotext -enc UTF-8 "$1.pdf" "$1.pdf.txt"
  python3 - "$1.pdf.txt" "$1.expected.txt" <<'PY'
import sys
got, want = (open(p, encoding="utf-8").read().split("\f") for p in sys.argv[1:])
norm = lambda page: " ".join(page.split())
for n, w in enumerate(want):
    if norm(got[n]) != norm(w):
        sys.exit(f"page {n + 1}: {norm(got[n])!r} instead of {norm(w)!r}")
PY
}
"$conv" -q -t pdf characters.mdi || fail "characters: exit $?"
qpdf --check characters.pdf >/dev/null || fail "characters: qpdf --check"
pdf_text_matches characters || fail "characters: pdftotext differs"

# Every output of a document of every kind of page, big-endian too. The page in a coding no
# decoder reads loses its image in the PDF: said on standard error despite -q, and exit 4.
for doc in mixed mixed-mm; do
  status=0
  "$conv" -q -t pdf -t tiff -t txt "$doc.mdi" 2>lost.txt || status=$?
  [ $status = 4 ] || fail "$doc: exit $status, not 4 for a lost page"
  grep -q "^folirex-convert: $doc.mdi: page 6: .*34718" lost.txt || fail "$doc: loss not said: $(cat lost.txt)"
  cmp "$doc.txt" "$doc.expected.txt" || fail "$doc: text output differs"
  qpdf --check "$doc.pdf" >/dev/null || fail "$doc: qpdf --check"
  python3 "$ROOT/tests/convert/pdfa_check.py" "$doc.pdf" >/dev/null || fail "$doc: PDF/A"
  pdfinfo "$doc.pdf" | grep -q "^Pages: *7$" || fail "$doc: page count"
  # 248 x 351 pixels at 30 dpi, 11.81 per cm, and without a resolution at 200 dpi.
  sizes=$(pdfinfo -f 1 -l 7 "$doc.pdf" | grep "^Page.*size:" | awk '{print $4 "x" $6}' | tr '\n' ' ')
  [ "$sizes" = "595.2x842.4 595.2x842.4 595.2x842.4 595.252x842.473 595.2x842.4 595.2x842.4 89.28x126.36 " ] ||
    fail "$doc: page sizes $sizes"
  # CCITT and JPEG pages passed through, the others as pixels; the undecodable one has no image.
  encodings=$(pdfimages -list "$doc.pdf" | awk 'NR > 2 {print $1 ":" $9}' | sort -u | tr '\n' ' ')
  [ "$encodings" = "1:ccitt 2:jpeg 3:jpeg 4:image 5:image 7:ccitt " ] ||
    fail "$doc: image encodings $encodings"
  # Every page's text comes back from the invisible layer, Cyrillic and Greek included.
  pdf_text_matches "$doc" || fail "$doc: pdftotext differs"
  # Each page is drawn as its input: poppler's rendering against the TIFF output's pixels (the
  # input's, checked below), apart from the edges' smoothing (about 0.05; a blank page is 0.2).
  # The undecodable page has its placeholder instead.
  for n in 1 2 3 4 5 7; do
    pdftoppm -f $n -l $n -scale-to-x 248 -scale-to-y 351 -png "$doc.pdf" drawn
    convert "$doc.tif[$((n - 1))]" input.png 2>/dev/null
    error=$(compare -metric RMSE "drawn-$n.png" input.png null: 2>&1 || true)  # 1: they differ
    error=${error##*(} error=${error%)}
    awk -v e="$error" 'BEGIN { exit !(e < 0.1) }' || fail "$doc: page $n drawn unlike it (RMSE $error)"
  done
  "$bin/convert_compare" "$doc.mdi" "$doc.tif" >/dev/null || fail "$doc: TIFF pages differ"
  [ "$(head -c 2 "$doc.tif")" = "II" ] || fail "$doc: TIFF is not II"
  [ "$(tiffinfo "$doc.tif" 2>/dev/null | grep -c "Tag 37679: 0x1,0x0,")" = 7 ] ||
    fail "$doc: tiffinfo does not show the text tag on every page"
done

# A long document's PDF, written by a second thread when one is spare (one file, two jobs) or by
# the converting one (one job): the same bytes, and the ID is the XXH128 of all bytes before it.
"$conv" -q -j 1 -t pdf -o inline long.mdi && "$conv" -q -j 2 -t pdf -o spare long.mdi ||
  fail "long: exit $?"
[ "$(stat -c %s inline/long.pdf)" -gt 3000000 ] || fail "long: too short to take several batches"
cmp inline/long.pdf spare/long.pdf || fail "long: a spare processor changes the PDF"
qpdf --check spare/long.pdf >/dev/null || fail "long: qpdf --check"
at=$(grep -abo '/ID \[<' spare/long.pdf | tail -1 | cut -d: -f1)
[ "$(head -c "$at" spare/long.pdf | xxhsum -H2 | cut -c1-32)" = "$(tail -c +$((at + 7)) spare/long.pdf | head -c 32)" ] ||
  fail "long: the ID is not the digest of the bytes before it"
# Its pages are single uncompressed strips of 87 KB, which libtiff would read as 8 KB strips:
# whole in the TIFF output, and the PDF's images are the input's pixels, every one.
"$conv" -q -t tiff long.mdi && "$bin/convert_compare" long.mdi long.tif >/dev/null ||
  fail "long: TIFF pages differ"
pdfimages -f 40 -l 40 spare/long.pdf last
error=$(compare -metric AE "long.tif[39]" last-000.ppm null: 2>&1 || true)
[ "${error%%[!0-9]*}" = 0 ] || fail "long: the PDF's last page has ${error%%[!0-9]*} pixels wrong"
# A disk that fills up fails the file, on either thread, and leaves nothing of it.
mkdir full && mount -t tmpfs -o size=1m tmpfs full
for jobs in 1 2; do
  status=0
  "$conv" -q -j $jobs -t pdf -o full long.mdi 2>full.txt || status=$?
  [ $status = 1 ] && grep -q "No space left" full.txt || fail "a full disk, -j $jobs: exit $status, $(cat full.txt)"
  [ -z "$(ls -A full)" ] || fail "a full disk, -j $jobs: left $(ls -A full)"
done

# A batch with a damaged file, a read-only output folder and a foreign file at an output's name:
# the rest converted, exit 1, each said in the report; a re-run skips only what is provably
# complete.
mkdir out readonly
mount --bind readonly readonly && mount -o remount,ro,bind readonly
echo "existing" > out/batch2.pdf
set +e
"$conv" -q -t pdf -o out --report report.json damaged.mdi batch1.mdi batch2.mdi 2>stderr.txt
status=$?
"$conv" -q -t pdf -o readonly --report report-ro.json batch3.mdi 2>>stderr.txt
status_ro=$?
set -e
[ $status = 1 ] && [ $status_ro = 1 ] || fail "batch exit $status and $status_ro, not 1"
grep -q "damaged.mdi: The file is truncated" stderr.txt || fail "no sentence for the damaged file"
[ "$(cat out/batch2.pdf)" = existing ] || fail "an existing output was replaced"
qpdf --check out/batch1.pdf >/dev/null || fail "batch1 not converted"
python3 - "$(sha256sum <batch1.mdi | cut -c1-64)" "$(sha256sum <out/batch1.pdf | cut -c1-64)" <<'PY' || fail "report"
import json, sys
r = {f["input"]: f for f in json.load(open("report.json"))["files"]}
assert r["damaged.mdi"]["status"] == "failed" and "truncated" in r["damaged.mdi"]["error"], r
b1 = r["batch1.mdi"]
assert b1["status"] == "converted" and b1["inputSha256"] == sys.argv[1] and b1["inputSize"] == 504, b1
assert [(o["path"], o["sha256"]) for o in b1["outputs"]] == [("out/batch1.pdf", sys.argv[2])], b1
assert b1["pagesRead"] == 1 and b1["pagesWithText"] == 1, b1
assert r["batch2.mdi"]["status"] == "failed" and "not provably" in r["batch2.mdi"]["error"], r
ro = json.load(open("report-ro.json"))["files"][0]
assert ro["status"] == "failed" and "Read-only" in ro["error"], ro
PY
[ -z "$(ls -A readonly)" ] || fail "the read-only folder got files"
"$conv" -q -t pdf -o out --report again.json batch1.mdi || fail "re-run exit $?"
grep -q '"skipped": 1' again.json || fail "re-run did not skip a complete output"
"$conv" -q -t pdf -o out --force batch2.mdi && qpdf --check out/batch2.pdf >/dev/null ||
  fail "--force did not replace"
# Outputs that differ from their record, or whose input changed, are conflicts, not complete.
cp batch1.mdi changed.mdi && "$conv" -q -t pdf -o out changed.mdi
cp batch3.mdi changed.mdi
"$conv" -q -t pdf -o out batch1.mdi changed.mdi 2>conflict.txt && fail "a changed input's output was taken as complete"
grep -q "changed.pdf is there already and is not provably" conflict.txt || fail "no conflict: $(cat conflict.txt)"
printf 'x' >>out/batch1.pdf
"$conv" -q -t pdf -o out batch1.mdi 2>/dev/null && fail "an output changed since was taken as complete"
# A re-run with both outputs beside the inputs takes none of its TIFF outputs for an input; an
# output that would land on another input of the run is refused, even with --force.
"$conv" -q -t pdf -t tiff batch4.mdi || fail "batch4: exit $?"
status=0
"$conv" -q -r -t pdf -t tiff --report rerun.json . 2>/dev/null || status=$?
[ $status = 5 ] || fail "a folder with a damaged document and a lost page: exit $status, not 5"
python3 - <<'PY' || fail "the TIFF output was taken for an input"
import json
r = json.load(open("rerun.json"))
assert {"path": "./batch4.tif"} in r["earlierOutputs"], r["earlierOutputs"]
assert {f["input"]: f["status"] for f in r["files"]}["./batch4.mdi"] == "skipped", r
PY
cp batch1.tif foreign.tif && cp batch2.mdi foreign.mdi && cp foreign.tif before.tif
"$conv" -q --force -t tiff foreign.mdi foreign.tif 2>replace.txt && fail "an output replaced an input"
grep -q "is an input of this run" replace.txt && cmp foreign.tif before.tif || fail "the input was changed"
# Names that are not UTF-8 (a stray byte, an overlong "/", a surrogate): strictly valid JSON, and
# each name given exactly as its bytes. --strict fails a file that lost pages, without outputs.
mkdir names && for n in $'stray\xff' $'overlong\xc0\xaf' $'surrogate\xed\xa0\x80'; do
  cp batch1.mdi "names/$n.mdi"
done
head -c 60000 mixed.mdi >names/lossy.mdi  # ends after its third page
status=0
"$conv" -q -t txt --strict --report names.json names 2>/dev/null || status=$?
[ $status = 5 ] && [ ! -e names/lossy.txt ] || fail "--strict: exit $status, $(ls names)"
python3 - <<'PY' || fail "the report's names"
import json, os
report = json.loads(open("names.json", "rb").read().decode("utf-8"))  # strict: fails on any misfit
names = {bytes.fromhex(f["inputHex"]) for f in report["files"] if "inputHex" in f}
assert names == {b"names/" + n for n in os.listdir(b"names") if n.startswith((b"stray", b"overlong", b"surrogate")) and n.endswith(b".mdi")}, names
lossy = [f for f in report["files"] if f["input"] == "names/lossy.mdi"][0]
assert lossy["status"] == "failed" and lossy["outputs"] == [], lossy
PY
status=0
"$conv" --bogus 2>/dev/null || status=$?
[ $status = 2 ] || fail "bad usage is exit $status, not 2"
# Short options bundled as GNU programs take them; an unknown one among them is bad usage.
"$conv" -qj1 -ttxt -obundled batch1.mdi && cmp bundled/batch1.txt batch1.expected.txt ||
  fail "bundled short options"
status=0
"$conv" -qx batch1.mdi 2>/dev/null || status=$?
[ $status = 2 ] || fail "an unknown bundled option is exit $status, not 2"

# The progress line: on a terminal (a pseudo-terminal of script's), redrawn on one line and
# ending with everything counted; nothing of it with -q or when standard error is a file.
on_terminal() { script -qec "$1" /dev/null </dev/null; }
shown=$(on_terminal "'$conv' -t txt -o progress batch1.mdi batch6.mdi")
[[ "$shown" == *$'\r'"2/2 files, 7/7 pages, "*" pages/s, "*" left"* ]] ||
  fail "no progress line on a terminal: $shown"
[ -z "$(on_terminal "'$conv' -q -t txt -o progress-q batch1.mdi batch6.mdi")" ] ||
  fail "a progress line with -q"
"$conv" -t txt -o progress-file batch1.mdi 2>progress.txt
[ ! -s progress.txt ] || fail "a progress line without a terminal: $(cat progress.txt)"

# Killed half-way through a long document: nothing is left, under any name.
mkdir killed
for i in $(seq 300); do cp mixed.mdi "killed/copy$i.mdi"; done
for signal in TERM KILL; do
  rm -rf killed-out && mkdir killed-out
  # The conversion of many copies of one document, stopped once its first output exists.
  "$conv" -q -j 1 -t pdf -o killed-out killed 2>/dev/null &
  pid=$!
  for _ in $(seq 600); do [ -e killed-out/copy1.pdf ] && break; sleep 0.05; done
  [ -e killed-out/copy1.pdf ] || fail "no output within 30 s"
  kill -s "$signal" "$pid" || fail "the conversion ended before the signal"
  wait "$pid" 2>/dev/null || true
  [ -e killed-out/copy300.pdf ] && fail "the conversion ended before the signal"
  for f in killed-out/*; do
    qpdf --check "$f" >/dev/null 2>&1 || fail "a partial file after SIG$signal: $f"
  done
  for f in killed-out/.[!.]*; do
    [ -e "$f" ] || continue
    [[ "$f" == *.pdf.folirex.json ]] || fail "a partial file after SIG$signal: $f"
  done
done

# A sharded run (two runs over halves of a list, at once) gives the same outputs as one run.
ls batch*.mdi > list.txt
"$conv" -q -t pdf -t txt -o whole --files-from list.txt
split -n r/2 list.txt shard.
"$conv" -q -t pdf -t txt -o sharded --files-from shard.aa & first=$!
"$conv" -q -t pdf -t txt -o sharded --files-from shard.ab & second=$!
wait $first && wait $second || fail "a shard failed"
for f in whole/*; do
  cmp "$f" "sharded/$(basename "$f")" || fail "sharded output $(basename "$f") differs"
done
[ "$(ls whole | wc -l)" = 12 ] && [ "$(ls sharded | wc -l)" = 12 ] || fail "shard outputs"
# The README's GNU parallel line as it stands, in shards of two files instead of fifty.
line=$(grep '^parallel --pipe -N 50 -j 4 folirex-convert ' "$ROOT/README.md") ||
  fail "the README has no parallel line"
mkdir readme && ls ./batch*.mdi | sed 's|^|../|' > readme/list.txt
(cd readme && export PATH="$bin:$PATH" HOME="$work" && eval "${line/-N 50/-N 2}") ||
  fail "the README's parallel line failed"
# "../" in the list is mirrored as a folder of its own, inside the output folder.
for f in whole/*.pdf; do
  cmp "$f" "readme/out/__up__/$(basename "$f")" || fail "parallel's $(basename "$f") differs"
done
[ "$(ls readme/out)" = __up__ ] && [ "$(ls readme/out/__up__ | wc -l)" = 6 ] ||
  fail "parallel's outputs: $(ls -R readme/out)"
echo "convert tests passed"
