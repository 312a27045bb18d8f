#include <cstdio>

#include "convert/Batch.h"

namespace convert {

namespace {

// File names are bytes: valid UTF-8 passes, any other byte becomes U+FFFD.
std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (size_t i = 0; i < s.size(); ++i) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else if (c < 0x80) {
      out += char(c);
    } else {
      size_t extra = c >= 0xF0 && c < 0xF5 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : 0;
      bool valid = extra > 0 && c < 0xF5 && i + extra < s.size();
      for (size_t k = 1; valid && k <= extra; ++k)
        valid = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
      if (valid) {
        out.append(s, i, extra + 1);
        i += extra;
      } else {
        out += "\xEF\xBF\xBD";
      }
    }
  }
  return out + "\"";
}

std::string list(const std::vector<std::string>& items) {
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + quoted(items[i]);
  return out + "]";
}

std::string issues(const std::vector<PageIssue>& pages) {
  std::string out = "[";
  for (size_t i = 0; i < pages.size(); ++i)
    out += std::string(i ? ", " : "") + "{\"page\": " + std::to_string(pages[i].page) +
           ", \"reason\": " + quoted(pages[i].reason) + "}";
  return out + "]";
}

}  // namespace

std::string reportJson(const std::vector<FileResult>& results) {
  size_t counts[3] = {0, 0, 0};
  std::string files;
  for (const FileResult& r : results) {
    ++counts[int(r.status)];
    files += std::string(files.empty() ? "" : ",\n") + "    {\"input\": " + quoted(r.input) +
             ", \"status\": \"" + statusName(r.status) +
             "\", \"pages\": " + std::to_string(r.pages) +
             ", \"pagesWithText\": " + std::to_string(r.pagesWithText) +
             ", \"undecodablePages\": " + issues(r.undecodable) +
             ", \"outputs\": " + list(r.outputs) + ", \"skipped\": " + list(r.skipped) +
             ", \"error\": " + (r.error.empty() ? "null" : quoted(r.error)) + "}";
  }
  return "{\n  \"converted\": " + std::to_string(counts[0]) +
         ",\n  \"skipped\": " + std::to_string(counts[1]) +
         ",\n  \"failed\": " + std::to_string(counts[2]) + ",\n  \"files\": [\n" + files +
         "\n  ]\n}\n";
}

}  // namespace convert
