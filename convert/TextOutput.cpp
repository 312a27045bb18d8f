#include "convert/Outputs.h"

#include <algorithm>

namespace convert {

std::u32string codePoints(const std::u16string& text) {
  std::u32string out(text.begin(), text.end());
  auto surrogate = [](char32_t c) { return c >= 0xD800 && c <= 0xDFFF; };
  if (std::none_of(out.begin(), out.end(), surrogate)) return out;
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    bool high = c >= 0xD800 && c <= 0xDBFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    out.push_back(c);
  }
  return out;
}

std::string toUtf8(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : codePoints(text)) {
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | c >> 6);
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | c >> 12);
      out += char(0x80 | (c >> 6 & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | c >> 18);
      out += char(0x80 | (c >> 12 & 0x3F));
      out += char(0x80 | (c >> 6 & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

void writeText(const OutputSource& source, OutputFile& file, std::vector<PageIssue>&) {
  const mdi::Document& document = source.document;
  uint64_t at = 0;
  for (size_t i = 0; i < document.pageCount(); ++i) {
    std::string text = (i ? "\f" : "") + toUtf8(document.pageText(i));
    file.writeAt(at, text.data(), text.size());
    at += text.size();
    source.pageDone();
  }
}

}  // namespace convert
