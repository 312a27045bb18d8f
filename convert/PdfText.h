// The invisible text layer (render mode 3) over each page's image: each word on its printed
// word where the page's words are placed, the stored text's lines spread down the page where
// they are not. Its font is Tesseract's glyphless TrueType font, embedded: one empty glyph half
// an em wide that every character code shows, each code mapped to its character for search and
// copying.
#pragma once

#include <qpdf/QPDF.hh>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "convert/Outputs.h"
#include "convert/PdfSyntax.h"

namespace convert::pdf {

constexpr int kGlyphWidth = 500;  // in thousandths of the type size, as the font's glyph is

// Every character of the layer gets a two-byte code in one of the fonts; code 0 is not used.
class Glyphs {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;  // not in the document
  static constexpr uint32_t kPerFont = 0xFFFF;

  explicit Glyphs(const OutputSource& source);
  size_t fontCount() const { return (order_.size() + kPerFont - 1) / kPerFont; }
  size_t glyphCount() const { return order_.size(); }
  // Looked up for every character of the document, twice: the common ones in a table.
  uint32_t index(char32_t c) const {
    if (c < basic_.size()) return basic_[c];
    auto found = supplementary_.find(c);
    return found == supplementary_.end() ? kNone : found->second;
  }
  // The font's ToUnicode map.
  std::string toUnicode(size_t font) const;

 private:
  void add(char32_t c);
  std::vector<uint32_t> basic_;  // by code point, below U+10000
  std::unordered_map<char32_t, uint32_t> supplementary_;
  std::vector<char32_t> order_;
};

// The font that shows the codes of font number `font`.
Object glyphlessFont(QPDF& pdf, const Glyphs& glyphs, size_t font, Object fontFile);
// The embedded font program, shared by all the fonts.
Object glyphlessFontFile(QPDF& pdf);

// The page's text layer, appended to its content.
void appendTextLayer(std::string& out, const OutputSource& source, size_t page,
                     const Glyphs& glyphs);

}  // namespace convert::pdf
