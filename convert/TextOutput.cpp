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
  return toUtf8(codePoints(text));
}

std::string toUtf8(const std::u32string& text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
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

std::u32string fromUtf8(const std::string& text) {
  std::u32string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    size_t length = lead < 0x80                   ? 1
                    : lead >= 0xC2 && lead < 0xE0 ? 2
                    : lead >= 0xE0 && lead < 0xF0 ? 3
                    : lead >= 0xF0 && lead < 0xF5 ? 4
                                                  : 0;
    char32_t c = length == 1   ? lead
                 : length == 2 ? lead & 0x1F
                 : length == 3 ? lead & 0x0F
                               : lead & 0x07;
    bool valid = length != 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      valid = (byte(i + k) & 0xC0) == 0x80;
      c = c << 6 | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8 either.
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (valid && (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)))
      valid = false;
    out += valid ? c : char32_t(0xFFFD);
    i += valid ? length : 1;
  }
  return out;
}

std::u32string pageText(const OutputSource& source, size_t page) {
  const PageText* placed = source.text(page);
  if (!placed || !placed->recognized || placed->fromStored)
    return codePoints(source.document.pageText(page));
  std::u32string text;
  for (const Line& line : placed->lines) {
    if (!text.empty()) text += U'\n';
    for (size_t w = 0; w < line.words.size(); ++w) text += (w ? U" " : U"") + line.words[w].text;
  }
  return text;
}

void writeText(const OutputSource& source, OutputFile& file, std::vector<PageIssue>&) {
  uint64_t at = 0;
  for (size_t i = 0; i < source.document.pageCount(); ++i) {
    std::string text = (i ? "\f" : "") + toUtf8(pageText(source, i));
    file.writeAt(at, text.data(), text.size());
    at += text.size();
    source.pageDone();
  }
}

}  // namespace convert
