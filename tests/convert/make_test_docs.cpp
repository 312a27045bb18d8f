// Writes the converter tests' documents with the project's writer, and beside each the text
// its pages hold, as the text output must give it back (UTF-8, a form feed between pages).
// Usage: convert_test_docs <folder>
//        convert_test_docs --scan PAGE.pbm DPI ORIENTATION TEXT|- OUT.mdi
// The second wraps a rendered page (a binary PBM, upright) as a G4 page of a document, stored
// turned as the Orientation tag says (1 or 6) and with TEXT as its stored text ('-': none).
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/docwriter/DocWriter.h"

using docwriter::Codec;
using docwriter::Header;
using docwriter::PageSpec;
using docwriter::RawTag;

namespace {

// A4 proportions at a small size, with a few marks, so every page's pixels differ.
PageSpec page(int bits, Codec codec, uint32_t seed, const std::string& text) {
  PageSpec p;
  p.raster = docwriter::Raster::blank(248, 351, bits);
  p.raster.fill(20 + seed * 7, 30, 120, 12, 0x000000);
  p.raster.fill(30, 80 + seed * 11, 90, 60, 0x2050C0);
  for (uint32_t y = 200; y < 330; ++y) p.raster.set((y * 3 + seed) % 248, y, 0x101010);
  p.codec = codec;
  p.dpi = 30;  // 248 x 351 pixels: A4's 595 x 842 points (near enough)
  p.text = text;
  return p;
}

std::vector<PageSpec> mixedPages() {
  PageSpec g4 = page(1, Codec::G4, 1, "Invoice 42\r\nTotal: 12,50 EUR");
  PageSpec greyJpeg = page(8, Codec::Jpeg, 2, "Счёт номер 42\r\nИтого: 12,50");
  greyJpeg.jpegTables = true;
  greyJpeg.rowsPerStrip = 64;  // strips, each its own stream
  PageSpec colourJpeg = page(24, Codec::Jpeg, 3, "Colour page, ελληνικά too");
  PageSpec tiles = page(8, Codec::None, 4, "Grey tiles");
  tiles.tileSize = 64;
  tiles.dpiInCm = true;
  PageSpec inverted = page(1, Codec::None, 5, "");
  inverted.blackIsZero = true;
  inverted.rowsPerStrip = 50;
  PageSpec unknown = page(8, Codec::None, 6, "Страница без декодера");
  unknown.rawData = std::vector<uint8_t>(4096, 0x5A);
  unknown.extraTags.push_back(RawTag::shorts(259, {34718}));
  PageSpec g4Inverted = page(1, Codec::G4, 7, "Last page");
  g4Inverted.blackIsZero = true;
  g4Inverted.dpi = 0;  // states none: the viewer's 200 dpi
  return {g4, greyJpeg, colourJpeg, tiles, inverted, unknown, g4Inverted};
}

std::string expectedText(const std::vector<PageSpec>& pages) {
  std::string out;
  for (size_t i = 0; i < pages.size(); ++i) out += (i ? "\f" : "") + pages[i].text.value_or("");
  return out;
}

void writeDocument(const std::string& folder, const std::string& name,
                   const std::vector<PageSpec>& pages, Header header) {
  docwriter::writeFile(folder + "/" + name + ".mdi", docwriter::write(pages, header).bytes);
  std::string text = expectedText(pages);
  docwriter::writeFile(folder + "/" + name + ".expected.txt",
                       std::vector<uint8_t>(text.begin(), text.end()));
}

// More characters than one font holds, the string delimiters among them: ASCII, Greek,
// Cyrillic, CJK and one beyond U+FFFF, sixty to a line.
std::string manyCharacters() {
  std::vector<char32_t> all;
  for (char32_t c = 0x4E00; c < 0x4E00 + 400; ++c) all.push_back(c);
  for (char32_t c = 0x21; c < 0x7F; ++c) all.push_back(c);
  for (char32_t c = 0x391; c <= 0x3C9; ++c)
    if (c != 0x3A2) all.push_back(c);
  for (char32_t c = 0x410; c < 0x450; ++c) all.push_back(c);
  all.push_back(0x1F600);
  std::string text;
  for (size_t i = 0; i < all.size(); ++i) {
    if (i && i % 60 == 0) text += "\r\n";
    char32_t c = all[i];
    if (c < 0x80) {
      text += char(c);
    } else if (c < 0x800) {
      text += char(0xC0 | c >> 6);
      text += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      text += char(0xE0 | c >> 12);
      text += char(0x80 | (c >> 6 & 0x3F));
      text += char(0x80 | (c & 0x3F));
    } else {
      text += char(0xF0 | c >> 18);
      text += char(0x80 | (c >> 12 & 0x3F));
      text += char(0x80 | (c >> 6 & 0x3F));
      text += char(0x80 | (c & 0x3F));
    }
  }
  return text;
}

// A binary PBM's pixels as a page, stored turned for orientation 6 (its rows are the shown
// page's columns, from the right).
PageSpec scannedPage(const std::string& path, int orientation) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  uint32_t width = 0, height = 0;
  in >> magic >> width >> height;
  in.get();
  std::vector<uint8_t> bits((std::istreambuf_iterator<char>(in)), {});
  size_t stride = (width + 7) / 8;
  if (magic != "P4" || bits.size() < stride * height) throw std::runtime_error("not a PBM");
  bool turned = orientation == 6;
  PageSpec p;
  p.raster = docwriter::Raster::blank(turned ? height : width, turned ? width : height, 1);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x)
      if (bits[y * stride + x / 8] & (0x80 >> (x % 8)))
        turned ? p.raster.set(y, width - 1 - x, 0) : p.raster.set(x, y, 0);
  p.codec = Codec::G4;
  if (turned) p.extraTags.push_back(RawTag::shorts(274, {6}));
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 7 && std::string(argv[1]) == "--scan") {
    PageSpec p = scannedPage(argv[2], std::stoi(argv[4]));
    p.dpi = std::stod(argv[3]);
    if (std::string(argv[5]) != "-") {
      std::ifstream text(argv[5], std::ios::binary);
      p.text = std::string((std::istreambuf_iterator<char>(text)), {});
    }
    docwriter::writeFile(argv[6], docwriter::write({p}, Header::II).bytes);
    return 0;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: convert_test_docs <folder>\n");
    return 2;
  }
  std::string folder = argv[1];
  std::vector<PageSpec> mixed = mixedPages();
  writeDocument(folder, "mixed", mixed, Header::EP);
  writeDocument(folder, "mixed-mm", mixed, Header::MM);
  writeDocument(folder, "characters", {page(1, Codec::G4, 8, manyCharacters())}, Header::II);
  // Cut right after its header: not one page can be read, so the reader refuses it (a cut
  // further on ends the document at its last whole page instead).
  std::vector<uint8_t> bytes = docwriter::write(mixed, Header::EP).bytes;
  bytes.resize(8);
  docwriter::writeFile(folder + "/damaged.mdi", bytes);
  // Noise does not compress: a PDF of a few megabytes from 40 small pages.
  std::vector<PageSpec> noise;
  uint32_t state = 1;
  for (uint32_t k = 0; k < 40; ++k) {
    PageSpec p = page(8, Codec::None, k, "Noise " + std::to_string(k + 1));
    for (uint8_t& b : p.raster.data) b = uint8_t((state = state * 1103515245 + 12345) >> 24);
    noise.push_back(p);
  }
  writeDocument(folder, "long", noise, Header::II);
  for (int i = 1; i <= 6; ++i) {
    std::vector<PageSpec> pages;
    for (int k = 0; k < i; ++k)
      pages.push_back(page(1, Codec::G4, uint32_t(i * 10 + k),
                           "Batch " + std::to_string(i) + " page " + std::to_string(k + 1)));
    writeDocument(folder, "batch" + std::to_string(i), pages, Header::II);
  }
  return 0;
}
