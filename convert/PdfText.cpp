#include "convert/PdfText.h"

#include <algorithm>

#include "convert/Outputs.h"

namespace convert::pdf {

namespace {

bool isLineBreak(char32_t c) {
  return c == '\r' || c == '\n';
}

// A glyph's code in a literal string: the bytes a reader would take for the string's end, an
// escape or a line break are escaped.
void appendCode(std::string& out, uint8_t code) {
  switch (code) {
    case '(':
    case ')':
    case '\\':
      out += '\\';
      out += char(code);
      break;
    case '\r':
      out += "\\r";
      break;
    case '\n':
      out += "\\n";
      break;
    default:
      out += char(code);
  }
}

// Lines from the top of the page down, each no wider than the page: readers keep their order.

}  // namespace

Glyphs::Glyphs(const mdi::Document& document) : basic_(0x10000, kNone) {
  for (size_t i = 0; i < document.pageCount(); ++i)
    for (char32_t c : codePoints(document.pageText(i)))
      if (!isLineBreak(c) && code(c) == kNone) add(c);
}

Object type3Font(QPDF& pdf, const Glyphs& glyphs, size_t font, Object emptyGlyph) {
  size_t count = std::min<size_t>(256, glyphs.glyphCount() - font * 256);
  Object procs = Object::newDictionary(), differences = Object::newArray(),
         widths = Object::newArray();
  differences.appendItem(Object::newInteger(0));
  for (size_t k = 0; k < count; ++k) {
    std::string name = "/g" + std::to_string(k);
    procs.replaceKey(name, emptyGlyph);
    differences.appendItem(Object::newName(name));
    widths.appendItem(Object::newInteger(kGlyphWidth));
  }
  Object f = Object::parse(
      "<< /Type /Font /Subtype /Type3 /FontBBox [0 -200 500 800]"
      " /FontMatrix [0.001 0 0 0.001 0 0] /Resources << >> /FirstChar 0 >>");
  f.replaceKey("/LastChar", Object::newInteger(int(count) - 1));
  f.replaceKey("/CharProcs", procs);
  Object encoding = Object::parse("<< /Type /Encoding >>");
  encoding.replaceKey("/Differences", differences);
  f.replaceKey("/Encoding", encoding);
  f.replaceKey("/Widths", widths);
  f.replaceKey("/ToUnicode", Object::newStream(&pdf, glyphs.toUnicode(font)));
  return pdf.makeIndirectObject(f);
}

// Position, leading and font are set once; each line then moves down one (T*), narrows the
// type only when it must, and changes font only where its characters do: a few bytes a line.
void appendTextLayer(std::string& out, const std::u16string& text, const Glyphs& glyphs,
                     double width, double height) {
  std::u32string characters = codePoints(text);
  size_t lineCount = 1 + size_t(std::count(characters.begin(), characters.end(), U'\n'));
  double leading = height / double(lineCount + 1);
  double size = std::min(12.0, leading * 0.8);
  out.reserve(out.size() + characters.size() * 2 + lineCount * 16 + 64);
  out += "BT 3 Tr ";
  appendNumber(out, leading);
  out += " TL 1 0 0 1 ";
  appendNumber(out, width * 0.05);
  out += ' ';
  appendNumber(out, height);
  out += " Tm\n";
  size_t font = SIZE_MAX;
  double scaling = 100;  // the default
  for (size_t at = 0; at <= characters.size();) {
    size_t end = std::min(characters.find(U'\n', at), characters.size());
    size_t length = 0;
    for (size_t k = at; k < end; ++k) length += characters[k] != U'\r';
    out += "T*";
    if (length > 0) {
      double natural = double(length) * size * kGlyphWidth / 1000;
      double fit = std::min(100.0, 100 * width * 0.9 / natural);
      if (fit != scaling) {
        out += ' ';
        appendNumber(out, fit);
        out += " Tz";
        scaling = fit;
      }
      bool open = false;
      for (size_t k = at; k < end; ++k) {
        if (characters[k] == U'\r') continue;
        uint32_t code = glyphs.code(characters[k]);
        if (code / 256 != font) {
          if (open) out += ") Tj";
          open = false;
          font = code / 256;
          out += " /T" + std::to_string(font) + ' ';
          appendNumber(out, size);
          out += " Tf";
        }
        if (!open) out += " (";
        open = true;
        appendCode(out, uint8_t(code % 256));
      }
      out += ") Tj";
    }
    out += '\n';
    at = end + 1;
  }
  out += "ET\n";
}

}  // namespace convert::pdf
