// Writes the fuzzing seed corpus with the document writer: every header, depth, codec,
// layout and kind of text tag, small enough for the fuzzer to mutate quickly, and the
// regression cases.
// Usage: make_corpus <folder>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/regressions/Findings.h"
#include "tools/docwriter/DocWriter.h"

using docwriter::Codec;
using docwriter::Header;
using docwriter::PageSpec;
using docwriter::RawTag;

namespace {

PageSpec page(uint32_t width, uint32_t height, int bits, Codec codec, uint32_t seed) {
  PageSpec spec;
  spec.raster = docwriter::Raster::blank(width, height, bits);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x)
      if ((x * 7 + y * 3 + seed) % 5 == 0) spec.raster.set(x, y, (x * 40 + y * 9 + seed) << 8);
  spec.codec = codec;
  return spec;
}

struct Seed {
  std::string name;
  Header header;
  std::vector<PageSpec> pages;
};

std::vector<Seed> seeds() {
  std::vector<Seed> out;
  PageSpec g4 = page(40, 24, 1, Codec::G4, 1);
  g4.text = "Invoice 42\r\nTotal: 12,50";
  PageSpec g4Inverted = page(70, 12, 1, Codec::G4, 10);
  g4Inverted.blackIsZero = true;
  PageSpec plain1 = page(24, 8, 1, Codec::None, 2);
  plain1.blackIsZero = true;
  plain1.text = "caf\xc3\xa9 \xe2\x82\xac";  // UTF-8
  PageSpec grey = page(16, 12, 8, Codec::None, 3);
  grey.rowsPerStrip = 5;
  grey.text = "na\xefve \x80 1252";  // Windows-1252
  grey.dpiInCm = true;
  PageSpec greyJpeg = page(16, 16, 8, Codec::Jpeg, 4);
  greyJpeg.jpegTables = true;
  greyJpeg.rowsPerStrip = 8;
  greyJpeg.jpegQuality = 50;
  PageSpec colourJpeg = page(16, 8, 24, Codec::Jpeg, 5);
  colourJpeg.dpi = 0;
  colourJpeg.textTag = std::vector<uint8_t>{1, 0, 200, 0, 0, 0, 'c', 'u', 't'};  // overlong
  PageSpec tiles = page(20, 18, 24, Codec::None, 6);
  tiles.tileSize = 16;
  tiles.text = std::string("embedded\0nul", 12);
  PageSpec greyTiles = page(17, 33, 8, Codec::None, 7);
  greyTiles.tileSize = 16;
  PageSpec odd = page(16, 4, 8, Codec::None, 8);
  odd.rawData = std::vector<uint8_t>(12, 0x5A);
  odd.extraTags.push_back(RawTag::shorts(259, {34718}));
  odd.textTag = std::vector<uint8_t>{2, 0, 3, 0, 0, 0, 'x', 'y', 'z'};  // another layout
  PageSpec strips1 = page(33, 9, 1, Codec::None, 9);
  strips1.rowsPerStrip = 2;
  strips1.text = "";

  for (Header h : {Header::EP, Header::II, Header::MM}) {
    std::string mark = h == Header::EP ? "ep" : h == Header::II ? "ii" : "mm";
    out.push_back({mark + "_g4", h, {g4}});
    out.push_back({mark + "_g4_black_is_zero", h, {g4Inverted}});
    out.push_back({mark + "_bilevel", h, {plain1}});
    out.push_back({mark + "_grey_strips", h, {grey}});
    out.push_back({mark + "_grey_jpeg_tables", h, {greyJpeg}});
    out.push_back({mark + "_colour_jpeg", h, {colourJpeg}});
    out.push_back({mark + "_colour_tiles", h, {tiles}});
    out.push_back({mark + "_grey_tiles", h, {greyTiles}});
    out.push_back({mark + "_unknown_codec", h, {odd}});
    out.push_back({mark + "_bilevel_strips", h, {strips1}});
    out.push_back({mark + "_mixed", h, {g4, grey, colourJpeg, tiles}});
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_corpus <folder>\n");
    return 2;
  }
  for (const Seed& seed : seeds()) {
    docwriter::writeFile(std::string(argv[1]) + "/" + seed.name + ".mdi",
                         docwriter::write(seed.pages, seed.header).bytes);
  }
  // The regression cases, each a hostile file of its family.
  int n = 0;
  for (const findings::Finding& f : findings::all())
    if (f.bytes.size() <= 16384)
      docwriter::writeFile(std::string(argv[1]) + "/regression" + std::to_string(++n) + ".mdi",
                           f.bytes);
  return 0;
}
