// ALTO v4 XML: each page's words with their boxes in the upright page's pixels, the same words
// on the same boxes as the PDF's text layer, for the library systems that take METS/ALTO.
#include <algorithm>
#include <cmath>

#include "convert/Outputs.h"
#include "convert/PdfSyntax.h"

#ifndef FOLIREX_VERSION
#define FOLIREX_VERSION "2.0"
#endif

namespace convert {

namespace {

// Text as an attribute's value: the markup escaped, and what XML 1.0 cannot hold left out.
std::string attribute(const std::u32string& text) {
  std::u32string kept;
  for (char32_t c : text) {
    bool allowed = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
                   (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
    if (allowed) kept += c;
  }
  std::string out;
  for (char c : toUtf8(kept)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\t':
        out += "&#9;";
        break;
      case '\n':
        out += "&#10;";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string position(const Box& b) {
  return " HPOS=\"" + std::to_string(b.left) + "\" VPOS=\"" + std::to_string(b.top) +
         "\" WIDTH=\"" + std::to_string(std::max(0, b.width())) + "\" HEIGHT=\"" +
         std::to_string(std::max(0, b.height())) + "\"";
}

// A page whose words have no places (no recognition, or none matched): its stored text's lines
// spread down the page, as the PDF's layer has them, each word as wide as its letters.
std::vector<Line> spreadLines(const std::u32string& text, uint32_t width, uint32_t height) {
  std::vector<std::u32string> rows;
  for (size_t at = 0; at <= text.size();) {
    size_t end = std::min(text.find(U'\n', at), text.size());
    rows.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  double leading = double(height) / double(rows.size() + 1);
  std::vector<Line> lines;
  for (size_t r = 0; r < rows.size(); ++r) {
    Line line;
    int baseline = int(std::lround(leading * double(r + 1)));
    int top = baseline - std::max(1, int(leading * 0.8));
    double x = width * 0.05, letter = width * 0.9 / double(std::max<size_t>(rows[r].size(), 1));
    for (size_t at = 0; at < rows[r].size();) {
      size_t end = at;
      while (end < rows[r].size() && rows[r][end] != U' ' && rows[r][end] != U'\t') ++end;
      std::u32string word = rows[r].substr(at, end - at);
      word.erase(std::remove(word.begin(), word.end(), U'\r'), word.end());
      if (!word.empty()) {
        int left = int(std::lround(x + letter * double(at)));
        line.words.push_back(
            {word, {left, top, int(std::lround(x + letter * double(end))), baseline}, baseline});
      }
      at = end + 1;
    }
    if (line.words.empty()) continue;
    line.box = {line.words.front().box.left, top, line.words.back().box.right, baseline};
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace

void writeAlto(const OutputSource& source, OutputFile& file, std::vector<PageIssue>&) {
  uint64_t at = 0;
  auto put = [&](const std::string& text) {
    file.writeAt(at, text.data(), text.size());
    at += text.size();
  };
  put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<alto xmlns=\"http://www.loc.gov/standards/alto/ns-v4#\""
      " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
      " xsi:schemaLocation=\"http://www.loc.gov/standards/alto/ns-v4#"
      " http://www.loc.gov/standards/alto/v4/alto-4-2.xsd\">\n"
      "<Description>\n<MeasurementUnit>pixel</MeasurementUnit>\n"
      "<sourceImageInformation><fileName>" +
      attribute(fromUtf8(source.inputName)) +
      "</fileName></sourceImageInformation>\n"
      "<Processing ID=\"OCR_1\"><processingStepDescription>contentGeneration"
      "</processingStepDescription><processingSoftware>"
      "<softwareName>folirex-convert</softwareName><softwareVersion>" FOLIREX_VERSION
      "</softwareVersion></processingSoftware></Processing>\n"
      "</Description>\n<Layout>\n");
  for (size_t i = 0; i < source.document.pageCount(); ++i) {
    const mdi::Page& p = source.document.page(i);
    std::string n = std::to_string(i + 1);
    const PageText* placed = source.text(i);
    std::vector<Line> spread;
    if (!placed || placed->lines.empty())
      spread = spreadLines(pageText(source, i), p.shownWidth(), p.shownHeight());
    const std::vector<Line>& lines = spread.empty() && placed ? placed->lines : spread;
    Box page{0, 0, int(p.shownWidth()), int(p.shownHeight())};
    std::string xml = "<Page ID=\"page_" + n + "\" PHYSICAL_IMG_NR=\"" + n + "\" WIDTH=\"" +
                      std::to_string(p.shownWidth()) + "\" HEIGHT=\"" +
                      std::to_string(p.shownHeight()) + "\">\n<PrintSpace" + position(page) + ">\n";
    if (!lines.empty()) {
      Box all = lines.front().box;
      for (const Line& line : lines) {
        all.left = std::min(all.left, line.box.left), all.top = std::min(all.top, line.box.top);
        all.right = std::max(all.right, line.box.right);
        all.bottom = std::max(all.bottom, line.box.bottom);
      }
      xml += "<TextBlock ID=\"block_" + n + "\"" + position(all) + ">\n";
      size_t word = 0;
      for (size_t l = 0; l < lines.size(); ++l) {
        xml += "<TextLine ID=\"line_" + n + "_" + std::to_string(l + 1) + "\"" +
               position(lines[l].box) + ">";
        for (size_t w = 0; w < lines[l].words.size(); ++w) {
          const Word& x = lines[l].words[w];
          if (w) xml += "<SP/>";
          xml += "<String ID=\"string_" + n + "_" + std::to_string(++word) + "\"" +
                 position(x.box) + " CONTENT=\"" + attribute(x.text) + "\"/>";
        }
        xml += "</TextLine>\n";
      }
      xml += "</TextBlock>\n";
    }
    put(xml + "</PrintSpace>\n</Page>\n");
    source.pageDone();
  }
  put("</Layout>\n</alto>\n");
}

}  // namespace convert
