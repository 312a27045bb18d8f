#include "convert/Placement.h"

#include <algorithm>
#include <cmath>
#include <cwctype>

#include "convert/Outputs.h"

namespace convert {

namespace {

// Alignments above this many cells (stored words times recognized words) are not made: a page
// of a few thousand words takes a fraction of a second; a hostile text could take hours.
constexpr uint64_t kMaxCells = uint64_t{1} << 24;
constexpr double kGap = -0.4;           // a word aligned with none
constexpr double kMismatch = -1;        // two words too unlike to be one another
constexpr double kAlike = 0.5;          // likeness from which two words may be the same
constexpr double kEnoughMatched = 0.2;  // of the stored words, for the placing to be trusted

bool isSpace(char32_t c) {
  return c == U' ' || (c >= 0x09 && c <= 0x0D) || c == 0xA0 || c == 0x3000 || c == 0x2028 ||
         c == 0x2029 || (c >= 0x2000 && c <= 0x200A);
}

std::vector<std::u32string> splitWords(const std::u32string& text) {
  std::vector<std::u32string> words;
  for (size_t at = 0; at < text.size();) {
    while (at < text.size() && isSpace(text[at])) ++at;
    size_t end = at;
    while (end < text.size() && !isSpace(text[end])) ++end;
    if (end > at) words.push_back(text.substr(at, end - at));
    at = end;
  }
  return words;
}

// Letters and digits in lower case; a word of punctuation alone stays as it is.
std::u32string normalized(const std::u32string& word) {
  std::u32string out;
  for (char32_t c : word) {
    if (c < 0x80 && !std::isalnum(int(c))) continue;
    out += c < 0x10000 ? char32_t(std::towlower(wint_t(c))) : c;
  }
  return out.empty() ? word : out;
}

struct Recognized {
  const Word* word;
  size_t line;
};

}  // namespace

double wordLikeness(const std::u32string& a, const std::u32string& b) {
  std::u32string x = normalized(a), y = normalized(b);
  if (x == y) return 1;
  size_t longer = std::max(x.size(), y.size());
  if (longer == 0 || longer > 64) return 0;
  size_t shorter = std::min(x.size(), y.size());
  if (double(longer - shorter) > (1 - kAlike) * double(longer)) return 0;
  std::vector<size_t> row(y.size() + 1);
  for (size_t j = 0; j <= y.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= x.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= y.size(); ++j) {
      size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] == y[j - 1] ? 0 : 1)});
      diagonal = up;
    }
  }
  return 1 - double(row[y.size()]) / double(longer);
}

std::vector<Line> placeStoredWords(const std::u32string& stored,
                                   const std::vector<Line>& recognized) {
  std::vector<std::u32string> words = splitWords(stored);
  std::vector<Recognized> found;
  for (size_t l = 0; l < recognized.size(); ++l)
    for (const Word& w : recognized[l].words) found.push_back({&w, l});
  const size_t n = words.size(), m = found.size();
  if (n == 0 || m == 0 || uint64_t{n} * m > kMaxCells) return {};

  // The alignment: scores a row at a time, the moves kept for the way back.
  enum Move : uint8_t { kBoth, kStoredOnly, kFoundOnly };
  std::vector<uint8_t> moves((n + 1) * (m + 1));
  std::vector<double> previous(m + 1), current(m + 1);
  for (size_t j = 0; j <= m; ++j) {
    previous[j] = kGap * double(j);
    moves[j] = kFoundOnly;
  }
  for (size_t i = 1; i <= n; ++i) {
    current[0] = kGap * double(i);
    moves[i * (m + 1)] = kStoredOnly;
    for (size_t j = 1; j <= m; ++j) {
      double likeness = wordLikeness(words[i - 1], found[j - 1].word->text);
      double pair = previous[j - 1] + (likeness >= kAlike ? 1 + likeness : kMismatch);
      double storedOnly = previous[j] + kGap, foundOnly = current[j - 1] + kGap;
      Move move = pair >= storedOnly && pair >= foundOnly ? kBoth
                  : storedOnly >= foundOnly               ? kStoredOnly
                                                          : kFoundOnly;
      current[j] = move == kBoth ? pair : move == kStoredOnly ? storedOnly : foundOnly;
      moves[i * (m + 1) + j] = move;
    }
    std::swap(previous, current);
  }
  std::vector<long> match(n, -1);  // the recognized word each stored word takes the box of
  size_t matched = 0;
  for (size_t i = n, j = m; i > 0 || j > 0;) {
    Move move = i == 0 ? kFoundOnly : j == 0 ? kStoredOnly : Move(moves[i * (m + 1) + j]);
    if (move == kBoth) {
      if (wordLikeness(words[i - 1], found[j - 1].word->text) >= kAlike) {
        match[i - 1] = long(j - 1);
        ++matched;
      }
      --i, --j;
    } else if (move == kStoredOnly) {
      --i;
    } else {
      --j;
    }
  }
  if (double(matched) < kEnoughMatched * double(n)) return {};

  // Each stored word's place, and the recognized line it is on.
  std::vector<Word> placed(n);
  std::vector<size_t> lineOf(n);
  for (size_t i = 0; i < n; ++i) {
    placed[i].text = words[i];
    if (match[i] < 0) continue;
    const Recognized& r = found[size_t(match[i])];
    placed[i].box = r.word->box;
    placed[i].baseline = r.word->baseline;
    lineOf[i] = r.line;
  }
  for (size_t start = 0; start < n;) {
    if (match[start] >= 0) {
      ++start;
      continue;
    }
    size_t end = start;
    while (end < n && match[end] < 0) ++end;
    const Recognized* before = start > 0 ? &found[size_t(match[start - 1])] : nullptr;
    const Recognized* after = end < n ? &found[size_t(match[end])] : nullptr;
    // The room: between the neighbours on one line; else after the one before, or before the
    // one after, a line's average letter wide for each letter.
    const Recognized& anchor = before ? *before : *after;
    const Line& line = recognized[anchor.line];
    size_t letters = 0, lineLetters = 0;
    for (size_t k = start; k < end; ++k) letters += words[k].size() + 1;
    for (const Word& w : line.words) lineLetters += w.text.size();
    double letter = double(line.box.width()) / double(std::max<size_t>(lineLetters, 1));
    double left, right;
    if (before && after && before->line == after->line &&
        after->word->box.left > before->word->box.right) {
      left = before->word->box.right, right = after->word->box.left;
    } else if (before) {
      left = before->word->box.right, right = left + letter * double(letters);
    } else {
      right = after->word->box.left, left = std::max(0.0, right - letter * double(letters));
    }
    double x = left, each = (right - left) / double(letters);
    for (size_t k = start; k < end; ++k) {
      double width = each * double(words[k].size());
      x += each / 2;  // half a space either side
      placed[k].box = {int(std::lround(x)), line.box.top,
                       std::max(int(std::lround(x + width)), int(std::lround(x)) + 1),
                       line.box.bottom};
      placed[k].baseline = anchor.word->baseline;
      lineOf[k] = anchor.line;
      x += width + each / 2;
    }
    start = end;
  }

  // In the stored order, a line wherever the words go over to another recognized line.
  std::vector<Line> lines;
  for (size_t i = 0; i < n; ++i) {
    if (i == 0 || lineOf[i] != lineOf[i - 1]) {
      lines.emplace_back();
      lines.back().box = recognized[lineOf[i]].box;
    }
    lines.back().words.push_back(std::move(placed[i]));
  }
  return lines;
}

std::vector<PageText> placePages(const mdi::Document& document,
                                 std::vector<std::vector<Line>> recognized, Ocr mode) {
  std::vector<PageText> pages(recognized.size());
  for (size_t i = 0; i < pages.size(); ++i) {
    pages[i].recognized = true;
    std::u16string stored = mode == Ocr::Auto ? document.pageText(i) : std::u16string();
    if (stored.empty()) {
      pages[i].lines = std::move(recognized[i]);
    } else {
      pages[i].fromStored = true;
      pages[i].lines = placeStoredWords(codePoints(stored), recognized[i]);
    }
  }
  return pages;
}

}  // namespace convert
