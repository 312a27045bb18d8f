// The invisible text layer: every character of the document gets a glyph, and each page's text
// is written in render mode 3 over its image.
#pragma once

#include <qpdf/QPDF.hh>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "convert/PdfSyntax.h"
#include "document/Document.h"

namespace convert::pdf {

constexpr int kGlyphWidth = 500;  // in the fonts' thousandths of the type size

// Every character of the document gets a code in one of the fonts, 256 to a font.
class Glyphs {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;  // not in the document

  explicit Glyphs(const mdi::Document& document);
  size_t fontCount() const { return (order_.size() + 255) / 256; }
  size_t glyphCount() const { return order_.size(); }
  // Looked up for every character of the document, twice: the common ones in a table.
  uint32_t code(char32_t c) const {
    if (c < basic_.size()) return basic_[c];
    auto found = supplementary_.find(c);
    return found == supplementary_.end() ? kNone : found->second;
  }
  // The font's ToUnicode map.
  std::string toUnicode(size_t font) const {
    size_t first = font * 256, count = std::min<size_t>(256, order_.size() - first);
    std::string cmap =
        "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n"
        "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
        "/CMapName /Folirex-UCS-" +
        std::to_string(font) +
        " def /CMapType 2 def\n1 begincodespacerange <00> <FF> endcodespacerange\n";
    for (size_t block = 0; block < count; block += 100) {
      size_t n = std::min<size_t>(100, count - block);
      cmap += std::to_string(n) + " beginbfchar\n";
      for (size_t k = block; k < block + n; ++k)
        cmap += "<" + hex(uint32_t(k), 2) + "> <" + utf16Hex(order_[first + k]) + ">\n";
      cmap += "endbfchar\n";
    }
    return cmap + "endcmap CMapName currentdict /CMap defineresource pop end end\n";
  }

 private:
  static std::string utf16Hex(char32_t c) {
    if (c < 0x10000) return hex(c, 4);
    c -= 0x10000;
    return hex(0xD800 + (c >> 10), 4) + hex(0xDC00 + (c & 0x3FF), 4);
  }
  void add(char32_t c) {
    uint32_t code = uint32_t(order_.size());
    if (c < basic_.size())
      basic_[c] = code;
    else
      supplementary_.emplace(c, code);
    order_.push_back(c);
  }
  std::vector<uint32_t> basic_;  // by code point, below U+10000
  std::unordered_map<char32_t, uint32_t> supplementary_;
  std::vector<char32_t> order_;
};

Object type3Font(QPDF& pdf, const Glyphs& glyphs, size_t font, Object emptyGlyph);

// Lines from the top of the page down, each no wider than the page: readers keep their order.
void appendTextLayer(std::string& out, const std::u16string& text, const Glyphs& glyphs,
                     double width, double height);

}  // namespace convert::pdf
