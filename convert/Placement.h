// What each page's text layer is made from: the recognized words, or the stored text's words
// placed on them.
#pragma once

#include <vector>

#include "convert/Options.h"
#include "convert/Words.h"
#include "document/Document.h"

namespace convert {

// Each page's text from its recognized lines, as the mode says: `always` takes the recognized
// words; `auto` keeps a page's stored text, its words on the boxes of the words they align with.
std::vector<PageText> placePages(const mdi::Document& document,
                                 std::vector<std::vector<Line>> recognized, Ocr mode);

}  // namespace convert
