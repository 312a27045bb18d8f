#!/usr/bin/python3
"""Scores a PDF's text layer against the words of the PDF its pages were scanned from.

  ocr_score.py TRUTH.html OUTPUT.html  ->  "WORDS FOUND PLACED"
  ocr_score.py --text TRUTH.html       ->  its words as text, a line a line (the stored text of
                                           the bench's scans: the printed words, as printed)

Both files are `pdftotext -bbox` (or -bbox-layout) of their PDF, page N of one being the scan of page N of the
other. A word of the truth is found when the output's page holds the same word (as a search
finds it: compatibility forms folded, case ignored, punctuation at either end left off), each
output word standing for one truth word at most; it is placed when that output word's centre
lies inside the truth word's box (the output's page scaled to the truth's size, as a 300 dpi
scan rounds the page to whole pixels). Output words inside a truth word's box are matched to it
first; the truth words left then take any output word of theirs left on the page.
"""
import html
import re
import sys
import unicodedata

PAGE = re.compile(r'<page width="([\d.]+)" height="([\d.]+)">(.*?)</page>', re.S)
WORD = re.compile(r'<word xMin="([\d.-]+)" yMin="([\d.-]+)" xMax="([\d.-]+)" yMax="([\d.-]+)">(.*?)</word>',
                  re.S)


def normal(text):
    text = unicodedata.normalize("NFKC", html.unescape(text)).casefold()
    start, end = 0, len(text)
    while start < end and unicodedata.category(text[start])[0] in "PS":
        start += 1
    while end > start and unicodedata.category(text[end - 1])[0] in "PS":
        end -= 1
    return text[start:end]


def pages(path):
    with open(path, encoding="utf-8") as f:
        for width, height, body in PAGE.findall(f.read()):
            words = []
            for x0, y0, x1, y1, text in WORD.findall(body):
                word = normal(text)
                if word:
                    words.append((word, float(x0), float(y0), float(x1), float(y1)))
            yield float(width), float(height), words


def main(truth_path, output_path):
    total = found = placed = 0
    truth_pages = list(pages(truth_path))
    output_pages = list(pages(output_path))
    for number, (width, height, truth) in enumerate(truth_pages):
        total += len(truth)
        if number >= len(output_pages):
            continue
        out_width, out_height, output = output_pages[number]
        sx, sy = width / out_width, height / out_height
        centres = {}
        for word, x0, y0, x1, y1 in output:
            centres.setdefault(word, []).append(((x0 + x1) / 2 * sx, (y0 + y1) / 2 * sy))
        unmatched = []
        for word, x0, y0, x1, y1 in truth:  # first the words over their own box
            candidates = centres.get(word, [])
            inside = [i for i, (x, y) in enumerate(candidates) if x0 <= x <= x1 and y0 <= y <= y1]
            if inside:
                candidates.pop(inside[0])
                found += 1
                placed += 1
            else:
                unmatched.append(word)
        for word in unmatched:  # then those found elsewhere on the page
            if centres.get(word):
                centres[word].pop()
                found += 1
    print(total, found, placed)


def text(path):
    """The words of -bbox-layout's lines as printed: pdftotext's plain text would join the
    halves of a word broken at a line's end, which the page shows as two."""
    with open(path, encoding="utf-8") as f:
        for line in re.findall(r"<line[^>]*>(.*?)</line>", f.read(), re.S):
            print(" ".join(html.unescape(word[4]) for word in WORD.findall(line)))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    if sys.argv[1] == "--text":
        text(sys.argv[2])
    else:
        main(sys.argv[1], sys.argv[2])
