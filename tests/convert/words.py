"""The recognition tests' pages and measures.

  words.py page OUT.pdf            a letter page of known English text in Helvetica and Times
  words.py stored                  its text as stored text, a word corrected and one added
  words.py truth PAGE.pdf          its words and boxes (pdftotext -bbox), one a line
  words.py found TRUTH GOT         how many of the true words GOT's words find, in order
  words.py placed TRUTH GOT.pdf    how many of those found lie on their printed word: the centre
                                   of the word's box in GOT's text layer within the true box
  words.py alto ALTO GOT.pdf DPI   ALTO v4's shape checked (fails with the reason), then how many
                                   of its words the PDF's layer has inside the same box
GOT is a text file or a PDF (its layer's words, as pdftotext gives them).
"""
import html
import re
import subprocess
import sys

LINES = [
    ("F1", 16, "Annual report of the county archive"),
    ("F2", 12, "The archive received four thousand boxes of parish records in the spring,"),
    ("F2", 12, "most of them letters, ledgers and maps from the nineteenth century. Every"),
    ("F2", 12, "folder was scanned at three hundred dots per inch and checked by hand."),
    ("F1", 12, "Opening hours: Monday to Friday, nine until five."),
    ("F2", 11, "Visitors should bring a pencil; pens are not allowed in the reading room."),
]


def page(path):
    content = "BT\n"
    y = 700
    for font, size, text in LINES:
        content += f"/{font} {size} Tf 1 0 0 1 72 {y} Tm ({text}) Tj\n"
        y -= size * 2.2
    content += "ET"
    objs = ["<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << "
            "/F1 5 0 R /F2 6 0 R >> >> /Contents 4 0 R >>",
            f"<< /Length {len(content)} >>\nstream\n{content}\nendstream",
            "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
            "<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman /Encoding /WinAnsiEncoding >>"]
    out, offsets = "%PDF-1.4\n", []
    for i, o in enumerate(objs):
        offsets.append(len(out))
        out += f"{i + 1} 0 obj\n{o}\nendobj\n"
    xref = len(out)
    out += f"xref\n0 {len(objs) + 1}\n0000000000 65535 f \n"
    out += "".join(f"{o:010d} 00000 n \n" for o in offsets)
    out += f"trailer\n<< /Size {len(objs) + 1} /Root 1 0 R >>\nstartxref\n{xref}\n%%EOF\n"
    open(path, "w").write(out)


def boxed(pdf):
    """The words of a PDF's first page with their boxes in points from the top left."""
    out = subprocess.run(["pdftotext", "-bbox", "-f", "1", "-l", "1", pdf, "-"],
                         capture_output=True, text=True, check=True).stdout
    return [(html.unescape(m[4]), *map(float, m[:4])) for m in re.findall(
        r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">(.*?)</word>', out)]


def norm(word):
    return re.sub(r"\W", "", word.lower())


def aligned(truth, got):
    """The pairs of a longest common subsequence of the two word lists (normalised)."""
    a, b = [norm(w[0]) for w in truth], [norm(w[0]) for w in got]
    n, m = len(a), len(b)
    best = [[0] * (m + 1) for _ in range(n + 1)]
    for i in range(n - 1, -1, -1):
        for j in range(m - 1, -1, -1):
            best[i][j] = best[i + 1][j + 1] + 1 if a[i] == b[j] and a[i] else max(
                best[i + 1][j], best[i][j + 1])
    pairs, i, j = [], 0, 0
    while i < n and j < m:
        if a[i] == b[j] and a[i]:
            pairs.append((truth[i], got[j]))
            i, j = i + 1, j + 1
        elif best[i + 1][j] >= best[i][j + 1]:
            i += 1
        else:
            j += 1
    return pairs


def words_of(path):
    if path.endswith(".pdf"):
        return boxed(path)
    return [(w,) for w in open(path, encoding="utf-8").read().split()]


def alto(path, pdf, dpi):
    import xml.etree.ElementTree as ET
    ns = "{http://www.loc.gov/standards/alto/ns-v4#}"
    root = ET.parse(path).getroot()
    assert root.tag == ns + "alto", root.tag
    assert root.findtext(f"{ns}Description/{ns}MeasurementUnit") == "pixel"
    assert root.find(f"{ns}Description/{ns}Processing").get("ID")
    ids = [e.get("ID") for e in root.iter() if e.get("ID")]
    assert len(ids) == len(set(ids)), "IDs repeat"
    position = ("HPOS", "VPOS", "WIDTH", "HEIGHT")
    pages = root.findall(f"{ns}Layout/{ns}Page")
    assert pages and all(p.get("ID") and p.get("PHYSICAL_IMG_NR") and p.get("WIDTH") for p in pages)
    for kind in ("PrintSpace", "TextBlock", "TextLine", "String"):
        for e in root.iter(ns + kind):
            assert all(int(e.get(a)) >= 0 for a in position), (kind, e.attrib)
            assert kind != "TextBlock" or e.get("ID"), "a block without its ID"
            assert kind != "String" or e.get("CONTENT"), "a string without its content"
    for block in root.iter(ns + "TextBlock"):  # blocks hold lines, lines strings and spaces
        assert all(c.tag == ns + "TextLine" for c in block)
        for line in block:
            assert all(c.tag in (ns + "String", ns + "SP") for c in line), line
    scale = 72 / dpi
    layer = boxed(pdf)
    inside = 0
    strings = list(root.iter(ns + "String"))
    for e in strings:
        x, y, w, h = (int(e.get(a)) * scale for a in position)
        inside += any(norm(t) == norm(e.get("CONTENT")) and x <= (x0 + x1) / 2 <= x + w and
                      y <= (y0 + y1) / 2 <= y + h for t, x0, y0, x1, y1 in layer)
    print(inside, len(strings))


def main():
    command, args = sys.argv[1], sys.argv[2:]
    if command == "page":
        page(args[0])
    elif command == "stored":
        text = "\r\n".join(line[2] for line in LINES)
        sys.stdout.write(text.replace("by hand.", "by hand [checked].").replace("Monday", "MONDAY"))
    elif command == "alto":
        alto(args[0], args[1], float(args[2]))
    elif command == "truth":
        for w in boxed(args[0]):
            print(" ".join(map(str, w[1:])), w[0])
    else:
        truth = [(l.split(" ", 4)[4].strip(), *map(float, l.split()[:4]))
                 for l in open(args[0], encoding="utf-8")]
        pairs = aligned(truth, words_of(args[1]))
        if command == "found":
            print(len(pairs), len(truth))
        else:
            inside = sum(t[1] <= (g[1] + g[3]) / 2 <= t[3] and t[2] <= (g[2] + g[4]) / 2 <= t[4]
                         for t, g in pairs)
            print(inside, len(pairs))


main()
