// A page's words and where they are printed: what recognition finds, and what the stored text
// becomes once its words are placed. Boxes are in the upright page's pixels, from its top left.
#pragma once

#include <string>
#include <vector>

namespace convert {

struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom excluded
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

struct Word {
  std::u32string text;
  Box box;
  int baseline = 0;  // the row its letters stand on (below the box for none but descenders)
};

// Words in reading order, a line at a time.
struct Line {
  Box box;
  std::vector<Word> words;
};

// What a page's text layer and text outputs are made from.
struct PageText {
  // The words on their boxes, in reading order; empty when the page has none placed (no
  // recognition, or its stored text matched nothing recognized).
  std::vector<Line> lines;
  bool recognized = false;  // the page went through recognition
  bool fromStored = false;  // the lines' words are the stored text's
};

}  // namespace convert
