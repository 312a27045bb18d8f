#!/usr/bin/env bash
# An archive converted as the README's GNU parallel recipe does it, one of its runs killed in the
# middle, then the recipe again: every document converted once, each output provably its
# input's, no input touched, every loss in the report and the exit status. The archive holds the
# same names in different folders, names differing in case, earlier outputs beside their inputs,
# a document cut short, a page in a coding no decoder reads, a link loop and a FIFO.
#   archive_test.sh [FOLIREX_CONVERT_EXE]   (the Windows build under Wine; natively without)
set -euo pipefail
source "$(dirname "$0")/../../tools/common.sh"
build_native >/dev/null
bin="$BUILD/native"
work=$(mktemp -d "$BUILD/convert-archive.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
cd "$work"
mkdir docs && "$bin/convert_test_docs" docs
mkdir bin
if [ $# -gt 0 ]; then
  windows=1
  printf '#!/bin/sh\nexec wine %q "$@"\n' "$1" >bin/folirex-convert && chmod +x bin/folirex-convert
else
  windows=0
  ln -s "$bin/folirex-convert" bin/folirex-convert
fi
export PATH="$work/bin:$PATH" HOME="$work"

mkdir -p archive/2019 archive/2020 archive/2021 archive/bulk
cp docs/batch2.mdi archive/2019/scan001.mdi
cp docs/batch3.mdi archive/2020/scan001.mdi  # the same name in another folder
cp docs/batch4.mdi archive/2020/scan.mdi
"$bin/folirex-convert" -q -t tiff -o tiffs docs/batch5.mdi
cp tiffs/docs/batch5.tif archive/2020/SCAN.TIF  # a TIFF whose name differs only in case
# A Windows folder cannot hold names that differ only in case; Linux's can.
[ $windows = 1 ] || cp docs/batch6.mdi archive/2020/Scan001.mdi
head -c 60000 docs/mixed.mdi >archive/2021/cut.mdi  # ends after its third page
cp docs/mixed.mdi archive/2021/coded.mdi             # page 6 in the imaging software's coding
ln -s .. archive/2021/loop
mkfifo archive/2021/pipe.mdi
for i in 1 2 3 4 5 6; do cp docs/long.mdi "archive/bulk/long$i.mdi"; done  # time to kill a run
folirex-convert -q -t pdf -t tiff archive/2019 || fail "the earlier run: exit $?"  # beside them
find archive -type f -exec sha256sum {} + | sort >inputs-before.txt

# Each document of the archive and where its PDF must be.
documents() {
  find archive -type f \( -name '*.mdi' -o -name '*.TIF' \) | sort
}
expected_pdf() {  # expected_pdf INPUT
  case $1 in
    *.mdi) echo "out/${1%.mdi}.pdf" ;;
    *) echo "out/$1.pdf" ;;
  esac
}
# Every PDF below out/ is a document's, and provably its input's: its record holds the input's
# size and SHA-256 and the PDF's own.
outputs_proven() {
  python3 - "$@" <<'PY'
import hashlib, json, os, sys
expected = dict(arg.split("=", 1) for arg in sys.argv[1:])  # pdf -> input
sha = lambda p: hashlib.sha256(open(p, "rb").read()).hexdigest()
found = set()
for folder, _, names in os.walk("out"):
    for name in names:
        if name.endswith(".pdf") and not name.startswith("."):
            pdf = os.path.join(folder, name)
            found.add(pdf)
            if pdf not in expected:
                sys.exit(f"{pdf} is no document's output")
            record = json.load(open(os.path.join(folder, "." + name + ".folirex.json")))
            source = expected[pdf]
            if record["output"] != {"size": os.path.getsize(pdf), "sha256": sha(pdf)}:
                sys.exit(f"{pdf} is not the output its record describes")
            if record["input"] != {"size": os.path.getsize(source), "sha256": sha(source)}:
                sys.exit(f"{pdf} was not made from {source}")
print(len(found))
PY
}
pairs=()
while read -r doc; do pairs+=("$(expected_pdf "$doc")=$doc"); done < <(documents | grep -v '^archive/2019/scan001.tif$')

# The README's two lines as written, in runs of two files instead of fifty. One converter is
# killed in the middle of a long document, and the recipe runs again.
find_line=$(grep '^find archive ' "$ROOT/README.md") || fail "the README has no find line"
parallel_line=$(grep '^parallel --pipe -N 50 -j 4 folirex-convert ' "$ROOT/README.md") ||
  fail "the README has no parallel line"
eval "$find_line"
grep -q '^archive/2019/scan001.tif$' list.txt || fail "the list lacks the earlier TIFF output"
eval "${parallel_line/-N 50/-N 2}" 2>killed-run.txt &
recipe=$!
# A converter below the recipe's parallel (its process's parent chain leads there) in the middle
# of a long document (it has one open).
converter_of_recipe() {
  local stat pid comm parent fd
  for stat in /proc/[0-9]*/stat; do
    read -r pid comm _ parent _ 2>/dev/null <"$stat" || continue
    [ "$comm" = "(folirex-convert)" ] || continue
    for fd in /proc/"$pid"/fd/*; do
      [[ "$(readlink "$fd" 2>/dev/null)" == */archive/bulk/long*.mdi ]] && break
      fd=
    done
    [ -n "$fd" ] || continue
    while [ "$parent" -gt 1 ] && [ "$parent" != "$recipe" ]; do
      read -r _ _ _ parent _ 2>/dev/null <"/proc/$parent/stat" || parent=0
    done
    [ "$parent" = "$recipe" ] && echo "$pid $(readlink "$fd")" && return
  done
}
# The converter is stopped before it is looked at, so that what is seen is what the kill finds:
# one whose long document's PDF is named already is let go on and another one waited for.
victim=
deadline=$((SECONDS + 120))
while [ -z "$victim" ] && [ $SECONDS -lt $deadline ]; do
  if read -r victim input < <(converter_of_recipe) && kill -STOP "$victim" 2>/dev/null; then
    input=archive/${input##*/archive/}
    [ -e "out/${input%.mdi}.pdf" ] && { kill -CONT "$victim"; victim=; }
  else
    victim=
  fi
  [ -n "$victim" ] || sleep 0.05
done
[ -n "$victim" ] || fail "no converter was found in the middle of a long document"
kill -KILL "$victim"
status=0
wait "$recipe" || status=$?
[ $status != 0 ] || fail "the recipe with a killed run exited 0"
proven=$(outputs_proven "${pairs[@]}") || fail "after the kill"
[ "$proven" -lt ${#pairs[@]} ] || fail "every document was converted before the kill"
find out -name '*.pdf' -printf '%p %i %T@\n' | sort >after-kill.txt

status=0
eval "${parallel_line/-N 50/-N 2}" 2>second-run.txt || status=$?
[ $status != 0 ] || fail "the recipe over lost pages exited 0"
[ "$(outputs_proven "${pairs[@]}")" = ${#pairs[@]} ] || fail "not every document converted"
# Those converted before the kill are the same files, untouched since: converted once.
[ -z "$(comm -23 after-kill.txt <(find out -name '*.pdf' -printf '%p %i %T@\n' | sort))" ] ||
  fail "an output made before the kill was made again"

# The run again, with a report: nothing converted, each loss and refusal said in it and in the
# exit status (4 for lost pages, with 1 for the FIFO refused: 5).
status=0
folirex-convert -q -t pdf -o out --files-from list.txt --report report.json 2>third-run.txt || status=$?
[ $status = 5 ] || fail "the run over complete outputs: exit $status"
python3 - $windows <<'PY' || fail "the report"
import json, sys
windows = sys.argv[1] == "1"
report = json.load(open("report.json", encoding="utf-8"))
files = {f["input"].replace("\\", "/"): f for f in report["files"]}
assert report["converted"] == 0, report["converted"]
assert report["earlierOutputs"] == [{"path": "archive/2019/scan001.tif"}], report["earlierOutputs"]
cut, coded = files["archive/2021/cut.mdi"], files["archive/2021/coded.mdi"]
assert cut["pagesRead"] == 3 and "page 4" in cut["endedEarly"]["reason"], cut
assert [p["page"] for p in coded["lostImages"]] == [6], coded
assert report["filesWithLostPages"] == 2, report["filesWithLostPages"]
pipe = files["archive/2021/pipe.mdi"]
assert pipe["status"] == "failed" and (windows or "is a FIFO, not a document: refused" in pipe["error"]), pipe
others = [f for name, f in files.items() if name != "archive/2021/pipe.mdi"]
assert all(f["status"] == "skipped" and len(f["inputSha256"]) == 64 for f in others), others
PY

# The folder walked: the loop entered once and said, the FIFO refused, never waited on; each
# document once. On Windows, an output that would land on an input differing in case is refused.
status=0
timeout 120 folirex-convert -q -r -t txt -o walked --report walked.json archive 2>walk.txt || status=$?
[ $status = 5 ] || fail "the walk: exit $status"
grep -q "loop: the folder .*walked already" walk.txt || fail "the loop was not said: $(cat walk.txt)"
[ "$(find walked -name '*.txt' | wc -l)" = ${#pairs[@]} ] || fail "the walk: $(find walked -name '*.txt')"
cp -r archive/2020 case
cp case/SCAN.TIF before.tif
status=0
folirex-convert -q --force -t tiff case/scan.mdi case/SCAN.TIF 2>case.txt || status=$?
cmp -s case/SCAN.TIF before.tif || fail "an input was replaced by an output differing in case"
if [ $windows = 1 ]; then
  [ $status = 1 ] && grep -q "is an input of this run" case.txt || fail "case: exit $status, $(cat case.txt)"
fi

find archive -type f -exec sha256sum {} + | sort >inputs-after.txt
find archive/2019 -name '*.pdf' -newer inputs-before.txt | grep -q . && fail "an earlier output was touched"
cmp inputs-before.txt inputs-after.txt || fail "an input changed"
echo "archive tests passed"
