#include "convert/Placement.h"

namespace convert {

std::vector<PageText> placePages(const mdi::Document& document,
                                 std::vector<std::vector<Line>> recognized, Ocr mode) {
  std::vector<PageText> pages(recognized.size());
  for (size_t i = 0; i < pages.size(); ++i) {
    pages[i].recognized = true;
    bool stored = mode == Ocr::Auto && !document.pageText(i).empty();
    if (stored) {
      pages[i].fromStored = true;
    } else {
      pages[i].lines = std::move(recognized[i]);
    }
  }
  return pages;
}

}  // namespace convert
