#include "convert/PdfText.h"

#include <algorithm>
#include <cmath>

namespace convert {
extern const unsigned char glyphlessFontData[];
extern const std::size_t glyphlessFontDataSize;
}  // namespace convert

namespace convert::pdf {

namespace {

bool isLineBreak(char32_t c) {
  return c == '\r' || c == '\n';
}

std::string utf16Hex(char32_t c) {
  if (c < 0x10000) return hex(c, 4);
  c -= 0x10000;
  return hex(0xD800 + (c >> 10), 4) + hex(0xDC00 + (c & 0x3FF), 4);
}

// The stored text that a page's layer shows as lines spread down the page: its words have no
// places (no recognition, or none matched).
std::u32string unplacedText(const OutputSource& source, size_t page) {
  const PageText* placed = source.text(page);
  if (placed && !placed->lines.empty()) return {};
  return pageText(source, page);
}

// Shows a run of characters: the font is changed where the characters' font does, each run of
// one font a hex string of two-byte codes.
class Shower {
 public:
  Shower(std::string& out, const Glyphs& glyphs) : out_(out), glyphs_(glyphs) {}
  void setSize(double size) {
    if (size != size_) font_ = SIZE_MAX;  // set again with the next character
    size_ = size;
  }
  void show(const std::u32string& text) {
    bool open = false;
    for (char32_t c : text) {
      uint32_t index = glyphs_.index(c);
      if (index == Glyphs::kNone) continue;
      size_t font = index / Glyphs::kPerFont;
      if (font != font_) {
        if (open) out_ += "> Tj";
        open = false;
        font_ = font;
        out_ += " /T" + std::to_string(font) + ' ';
        appendNumber(out_, size_);
        out_ += " Tf";
      }
      if (!open) out_ += " <";
      open = true;
      out_ += hex(index % Glyphs::kPerFont + 1, 4);
    }
    if (open) out_ += "> Tj";
  }

 private:
  std::string& out_;
  const Glyphs& glyphs_;
  size_t font_ = SIZE_MAX;
  double size_ = 0;
};

size_t shownLength(const Glyphs& glyphs, const std::u32string& text) {
  return size_t(std::count_if(text.begin(), text.end(),
                              [&](char32_t c) { return glyphs.index(c) != Glyphs::kNone; }));
}

// Each word on its box: its type as tall as its line from the baseline up, its width fitted with
// the horizontal scaling, in reading order.
void appendPlaced(std::string& out, const std::vector<Line>& lines, const Glyphs& glyphs,
                  const mdi::Page& p) {
  const double sx = 72.0 / dpiOrDefault(p.shownDpiX()), sy = 72.0 / dpiOrDefault(p.shownDpiY());
  const double height = pageHeight(p);
  Shower shower(out, glyphs);
  double scaling = 100;
  out += "BT 3 Tr";
  for (const Line& line : lines) {
    for (const Word& word : line.words) {
      size_t length = shownLength(glyphs, word.text);
      if (length == 0) continue;
      double size = std::max(1.0, (word.baseline - line.box.top) * sy);
      double natural = double(length) * size * kGlyphWidth / 1000;
      double fit = std::clamp(100 * std::max(1, word.box.width()) * sx / natural, 1.0, 10000.0);
      shower.setSize(size);
      out += "\n1 0 0 1 ";
      appendNumber(out, word.box.left * sx);
      out += ' ';
      appendNumber(out, height - word.baseline * sy);
      out += " Tm";
      if (fit != scaling) {
        out += ' ';
        appendNumber(out, fit);
        out += " Tz";
        scaling = fit;
      }
      shower.show(word.text);
    }
  }
  out += "\nET\n";
}

// Lines from the top of the page down, each no wider than the page: readers keep their order.
// Position, leading and size are set once; each line then moves down one (T*) and narrows the
// type only when it must.
void appendUnplaced(std::string& out, const std::u32string& characters, const Glyphs& glyphs,
                    double width, double height) {
  size_t lineCount = 1 + size_t(std::count(characters.begin(), characters.end(), U'\n'));
  double leading = height / double(lineCount + 1);
  double size = std::min(12.0, leading * 0.8);
  out.reserve(out.size() + characters.size() * 4 + lineCount * 16 + 64);
  out += "BT 3 Tr ";
  appendNumber(out, leading);
  out += " TL 1 0 0 1 ";
  appendNumber(out, width * 0.05);
  out += ' ';
  appendNumber(out, height);
  out += " Tm\n";
  Shower shower(out, glyphs);
  shower.setSize(size);
  double scaling = 100;  // the default
  for (size_t at = 0; at <= characters.size();) {
    size_t end = std::min(characters.find(U'\n', at), characters.size());
    std::u32string line = characters.substr(at, end - at);
    line.erase(std::remove(line.begin(), line.end(), U'\r'), line.end());
    out += "T*";
    size_t length = shownLength(glyphs, line);
    if (length > 0) {
      double natural = double(length) * size * kGlyphWidth / 1000;
      double fit = std::min(100.0, 100 * width * 0.9 / natural);
      if (fit != scaling) {
        out += ' ';
        appendNumber(out, fit);
        out += " Tz";
        scaling = fit;
      }
      shower.show(line);
    }
    out += '\n';
    at = end + 1;
  }
  out += "ET\n";
}

}  // namespace

Glyphs::Glyphs(const OutputSource& source) : basic_(0x10000, kNone) {
  auto addAll = [this](const std::u32string& text) {
    for (char32_t c : text)
      if (!isLineBreak(c) && index(c) == kNone) add(c);
  };
  for (size_t i = 0; i < source.document.pageCount(); ++i) {
    addAll(unplacedText(source, i));
    if (const PageText* placed = source.text(i))
      for (const Line& line : placed->lines)
        for (const Word& word : line.words) addAll(word.text);
  }
}

void Glyphs::add(char32_t c) {
  uint32_t code = uint32_t(order_.size());
  if (c < basic_.size())
    basic_[c] = code;
  else
    supplementary_.emplace(c, code);
  order_.push_back(c);
}

std::string Glyphs::toUnicode(size_t font) const {
  size_t first = font * kPerFont, count = std::min<size_t>(kPerFont, order_.size() - first);
  std::string cmap =
      "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n"
      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
      "/CMapName /Folirex-UCS-" +
      std::to_string(font) +
      " def /CMapType 2 def\n1 begincodespacerange <0000> <FFFF> endcodespacerange\n";
  for (size_t block = 0; block < count; block += 100) {
    size_t n = std::min<size_t>(100, count - block);
    cmap += std::to_string(n) + " beginbfchar\n";
    for (size_t k = block; k < block + n; ++k)
      cmap += "<" + hex(uint32_t(k + 1), 4) + "> <" + utf16Hex(order_[first + k]) + ">\n";
    cmap += "endbfchar\n";
  }
  return cmap + "endcmap CMapName currentdict /CMap defineresource pop end end\n";
}

Object glyphlessFontFile(QPDF& pdf) {
  Object file = Object::newStream(
      &pdf, std::string(reinterpret_cast<const char*>(glyphlessFontData), glyphlessFontDataSize));
  file.getDict().replaceKey("/Length1", Object::newInteger(int(glyphlessFontDataSize)));
  return file;
}

Object glyphlessFont(QPDF& pdf, const Glyphs& glyphs, size_t font, Object fontFile) {
  size_t count = std::min<size_t>(Glyphs::kPerFont, glyphs.glyphCount() - font * Glyphs::kPerFont);
  // Every code shows the font's one glyph (glyph 1; glyph 0 is .notdef).
  std::string toGlyph(2 * (count + 1), '\0');
  for (size_t k = 1; k <= count; ++k) toGlyph[2 * k + 1] = 1;
  Object descriptor = pdf.makeIndirectObject(Object::parse(
      "<< /Type /FontDescriptor /FontName /GlyphLessFont /Flags 5 /FontBBox [0 0 500 1000]"
      " /ItalicAngle 0 /Ascent 1000 /Descent 0 /CapHeight 1000 /StemV 80 >>"));
  descriptor.replaceKey("/FontFile2", fontFile);
  Object cid = Object::parse(
      "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /GlyphLessFont"
      " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /DW 500 >>");
  cid.replaceKey("/FontDescriptor", descriptor);
  cid.replaceKey("/CIDToGIDMap", Object::newStream(&pdf, toGlyph));
  Object f = Object::parse(
      "<< /Type /Font /Subtype /Type0 /BaseFont /GlyphLessFont /Encoding /Identity-H >>");
  Object descendants = Object::newArray();
  descendants.appendItem(pdf.makeIndirectObject(cid));
  f.replaceKey("/DescendantFonts", descendants);
  f.replaceKey("/ToUnicode", Object::newStream(&pdf, glyphs.toUnicode(font)));
  return pdf.makeIndirectObject(f);
}

void appendTextLayer(std::string& out, const OutputSource& source, size_t page,
                     const Glyphs& glyphs) {
  const mdi::Page& p = source.document.page(page);
  const PageText* placed = source.text(page);
  if (placed && !placed->lines.empty())
    appendPlaced(out, placed->lines, glyphs, p);
  else
    appendUnplaced(out, unplacedText(source, page), glyphs, pageWidth(p), pageHeight(p));
}

}  // namespace convert::pdf
