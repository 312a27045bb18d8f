# The converter's recognition rows, sourced by bench/run. Real pages with known words and boxes:
# pages of two PDFs that Debian ships (a Texinfo manual in Computer Modern, a LaTeX specification
# in Times and Helvetica) rasterized by pdftoppm at 300 dpi into a G4 TIFF, a grey (LZW) TIFF,
# and a G4 document that holds each page's text in the recognised-text tag as the imaging
# software stores it (bench/mkscan.cpp, with the project's document writer: the page's printed
# words, a line a line); the truth is each page's words and boxes from pdftotext -bbox-layout. Folirex (--ocr auto) and img2pdf + OCRmyPDF
# (Debian's, on the same Tesseract and language data; OCRmyPDF's defaults, PDF/A among them) make
# a PDF of each scan, and both PDFs are read back the same way, pdftotext -bbox, and scored by
# bench/ocr_score.py. Pages a minute from the G4 scan as one document on one and two jobs (one
# run each: a run takes a minute or more), and each run's peak resident memory as GNU time
# reports it: for OCRmyPDF the largest of its processes, Tesseract's among them.

ocr="$BUILD/bench-ocr"
rm -rf "$ocr"
mkdir -p "$ocr/pages"
SCANNED=("/usr/share/doc/libtasn1-doc/libtasn1.pdf 11 12 13 14 27 28"
         "/usr/share/doc/shared-mime-info/shared-mime-info-spec.pdf 2 3 4 5 8 9")
g++ -std=c++17 -O2 -I"$ROOT" -o "$ocr/mkscan" "$ROOT/bench/mkscan.cpp" "$ROOT"/tools/docwriter/*.cpp
scans=()
n=0
for row in "${SCANNED[@]}"; do
  read -r pdf numbers <<<"$row"
  for number in $numbers; do
    n=$((n + 1))
    page="$ocr/pages/$(printf %02d "$n")"
    pdftoppm -r 300 -f "$number" -l "$number" -singlefile -mono "$pdf" "$page"
    pdftoppm -r 300 -f "$number" -l "$number" -singlefile -gray -tiff -tiffcompression lzw "$pdf" "$page-grey"
    pdftotext -bbox-layout -f "$number" -l "$number" "$pdf" "$page.html"
    python3 "$ROOT/bench/ocr_score.py" --text "$page.html" >"$page.txt"
    scans+=("$page.pbm" "$page.txt")
  done
done
"$ocr/mkscan" 300 "$ocr/stored.mdi" "$ocr/g4.tif" "${scans[@]}"
tiffcp "$ocr"/pages/*-grey.tif "$ocr/grey.tif"
cat "$ocr"/pages/*.html >"$ocr/truth.html"

build_native >/dev/null
conv="$BUILD/native/folirex-convert"
recognition=(--ocr auto)
"$conv" --help 2>&1 | grep -q -- '--ocr' || recognition=()   # a converter that does not recognize

measure() {  # measure COMMAND... -> "SECONDS KILOBYTES"
  env time -f "%e %M" -o "$ocr/time.txt" "$@" >/dev/null
  cat "$ocr/time.txt"
}
score() {  # score PDF -> "WORDS FOUND PLACED"
  pdftotext -bbox "$1" "$1.html" 2>/dev/null   # "no word list" for a page without text
  python3 "$ROOT/bench/ocr_score.py" "$ocr/truth.html" "$1.html"
}
folirex() {  # folirex JOBS INPUT OUTPUT_FOLDER -> "SECONDS KILOBYTES"
  measure "$conv" -q --force "${recognition[@]}" -t pdf -j "$1" -o "$3" --base "$ocr" "$2"
}
ocrmypdf_run() {  # ocrmypdf_run JOBS INPUT OUTPUT.pdf -> "SECONDS KILOBYTES", both steps
  local s1 kb1 s2 kb2
  read -r s1 kb1 < <(measure img2pdf "$2" -o "$3.in.pdf")
  read -r s2 kb2 < <(measure ocrmypdf -q -j "$1" "$3.in.pdf" "$3")
  awk -v a="$s1" -v b="$s2" -v m="$kb1" -v n="$kb2" 'BEGIN { print a + b, (m > n ? m : n) }'
}

read -r f1_s f1_kb < <(folirex 1 "$ocr/g4.tif" "$ocr/folirex-j1")
read -r f2_s f2_kb < <(folirex 2 "$ocr/g4.tif" "$ocr/folirex-j2")
folirex 1 "$ocr/grey.tif" "$ocr/folirex-grey" >/dev/null
folirex 1 "$ocr/stored.mdi" "$ocr/folirex-stored" >/dev/null
read -r o1_s o1_kb < <(ocrmypdf_run 1 "$ocr/g4.tif" "$ocr/ocrmypdf-j1.pdf")
read -r o2_s o2_kb < <(ocrmypdf_run 2 "$ocr/g4.tif" "$ocr/ocrmypdf-j2.pdf")
ocrmypdf_run 1 "$ocr/grey.tif" "$ocr/ocrmypdf-grey.pdf" >/dev/null

read -r words fg4 pg4 < <(score "$ocr/folirex-j1/g4.tif.pdf")
read -r _ fgrey pgrey < <(score "$ocr/folirex-grey/grey.tif.pdf")
read -r _ fstored pstored < <(score "$ocr/folirex-stored/stored.pdf")
read -r _ og4 opg4 < <(score "$ocr/ocrmypdf-j1.pdf")
read -r _ ogrey opgrey < <(score "$ocr/ocrmypdf-grey.pdf")
awk -v pages="$n" -v words="$words" -v fg4="$fg4" -v pg4="$pg4" -v fgrey="$fgrey" -v pgrey="$pgrey" \
    -v fstored="$fstored" -v pstored="$pstored" -v og4="$og4" -v opg4="$opg4" -v ogrey="$ogrey" \
    -v opgrey="$opgrey" -v f1="$f1_s" -v f2="$f2_s" -v o1="$o1_s" -v o2="$o2_s" -v f1kb="$f1_kb" \
    -v f2kb="$f2_kb" -v o1kb="$o1_kb" -v o2kb="$o2_kb" -v flags="${recognition[*]:-no --ocr}" \
    -v pressure="$(pressure)" '
  function pc(a, b) { return b ? sprintf("%.1f %%", 100 * a / b) : "–" }
  function verdict(ok) { return ok ? "met" : "**missed**" }
  function accuracy(what, found, placed, other, target) {
    printf "| recognition: %s: words found / placed of those | %s (%d) / %s | %s | %s |\n", what,
      pc(found, words), found, pc(placed, found), target,
      verdict(found >= other && (found == 0 ? 0 : placed >= 0.95 * found))
  }
  BEGIN {
    scans = sprintf("%d pages scanned at 300 dpi, %d words", pages, words)
    accuracy("Folirex (" flags "), G4 plain scan (" scans ")", fg4, pg4, og4, "≥ OCRmyPDF, placed ≥ 95 %")
    accuracy("Folirex (" flags "), grey plain scan", fgrey, pgrey, ogrey, "≥ OCRmyPDF, placed ≥ 95 %")
    accuracy("Folirex (" flags "), G4 with stored text", fstored, pstored, words, "100 %, placed ≥ 95 %")
    printf "| recognition: OCRmyPDF, G4 plain scan | %s (%d) / %s |  |  |\n", pc(og4, words), og4, pc(opg4, og4)
    printf "| recognition: OCRmyPDF, grey plain scan | %s (%d) / %s |  |  |\n", pc(ogrey, words), ogrey, pc(opgrey, ogrey)
    printf "| recognition: pages a minute, G4 scan, -j 1: Folirex / img2pdf + OCRmyPDF | %.1f / %.1f = %.2f × | ≥ 1.5 × | %s |\n",
      60 * pages / f1, 60 * pages / o1, o1 / f1, verdict(o1 >= 1.5 * f1)
    printf "| recognition: pages a minute, G4 scan, -j 2: Folirex / img2pdf + OCRmyPDF | %.1f / %.1f = %.2f × | ≥ 1.5 × | %s |\n",
      60 * pages / f2, 60 * pages / o2, o2 / f2, verdict(o2 >= 1.5 * f2)
    printf "| recognition: peak memory, -j 1 / -j 2: Folirex | %.0f MB / %.0f MB |  |  |\n", f1kb / 1024, f2kb / 1024
    printf "| recognition: peak memory of the largest process, -j 1 / -j 2: img2pdf + OCRmyPDF | %.0f MB / %.0f MB |  |  |\n", o1kb / 1024, o2kb / 1024
    printf "| processor pressure from other work during the recognition rows (some, last minute) | %s |  |  |\n", pressure
  }'
