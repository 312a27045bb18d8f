// The stored text's words on the recognized words' boxes: every stored word kept in its order,
// matched words on their boxes (corrections too), the others between their neighbours.
#include <cstdio>
#include <string>
#include <vector>

#include "convert/Placement.h"

using namespace convert;

namespace {

int failures = 0;
void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
  }
}

// Two recognized lines: "Invoice tbe total" and "due today", each word 100 pixels wide.
std::vector<Line> recognized() {
  std::vector<Line> lines(2);
  const char32_t* texts[2][3] = {{U"Invoice", U"tbe", U"total"}, {U"due", U"today", nullptr}};
  for (int l = 0; l < 2; ++l) {
    lines[l].box = {0, 100 * l, 400, 100 * l + 40};
    for (int w = 0; w < 3 && texts[l][w]; ++w)
      lines[l].words.push_back(
          {texts[l][w], {w * 150, 100 * l, w * 150 + 100, 100 * l + 40}, 100 * l + 32});
  }
  return lines;
}

std::vector<Word> flat(const std::vector<Line>& lines) {
  std::vector<Word> words;
  for (const Line& l : lines) words.insert(words.end(), l.words.begin(), l.words.end());
  return words;
}

}  // namespace

int main() {
  // A corrected word and an unprinted one: all kept, in order, each on its place.
  std::vector<Word> w =
      flat(placeStoredWords(U"Invoice the\ttotal\r\nnow due today", recognized()));
  check(w.size() == 6, "every stored word is kept");
  if (w.size() == 6) {
    check(w[0].text == U"Invoice" && w[0].box.left == 0 && w[0].box.right == 100,
          "a matched word takes its box");
    check(w[1].text == U"the" && w[1].box.left == 150, "a corrected word takes its box");
    check(w[3].text == U"now" && w[3].box.left >= 400 && w[3].box.top == 0 && w[3].baseline == 32,
          "a word at a line's end goes after its neighbour, on its line");
    check(w[4].text == U"due" && w[4].box.top == 100 && w[4].baseline == 132,
          "the next line's words keep their line");
  }
  // A word between two matched ones of one line lies in the room between them.
  w = flat(placeStoredWords(U"Invoice extra tbe total due today", recognized()));
  check(w.size() == 6 && w[1].box.left >= 100 && w[1].box.right <= 150,
        "an unmatched word lies between its neighbours");
  // A text unlike what was recognized is not placed; nor is anything on a page without words.
  check(placeStoredWords(U"Lorem ipsum dolor sit amet", recognized()).empty(),
        "an unrelated text is not placed");
  check(placeStoredWords(U"Invoice", {}).empty(), "no recognized words, nothing placed");
  check(wordLikeness(U"Total,", U"total") == 1 && wordLikeness(U"tbe", U"the") > 0.6 &&
            wordLikeness(U"dog", U"archive") == 0,
        "likeness ignores case and punctuation");
  if (failures == 0) std::printf("placement tests passed\n");
  return failures ? 1 : 0;
}
