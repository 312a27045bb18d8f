// Inputs that broke the reader or the decoders behind it, found by fuzzing or by going through
// what they allocate and loop over for a file's declared sizes; each rebuilt from the document
// writer plus byte patches (no binary files), with what the reader must answer now. Run natively
// through the fuzzing target's walk by fuzz/regressions.cpp and under Wine by
// tests/reader/BadInputTest.cpp.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/docwriter/DocWriter.h"

namespace findings {

struct Finding {
  std::string name;
  std::vector<uint8_t> bytes;
  std::string refusal;     // a piece of the refusal's message; empty when the document opens
  size_t pages = 0;        // pages it opens with
  size_t undecodable = 0;  // of those, pages a decoder refuses before allocating
};

// --- Byte patches on little-endian ("EP", "II") documents -----------------------------

inline void put32(std::vector<uint8_t>& bytes, uint64_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[size_t(at) + i] = uint8_t(value >> (8 * i));
}

inline uint32_t get32(const std::vector<uint8_t>& bytes, uint64_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | bytes[size_t(at) + i];
  return value;
}

// Where the entry of `tag` lies in the directory at `ifd`.
inline uint64_t entryOf(const std::vector<uint8_t>& bytes, uint64_t ifd, uint16_t tag) {
  uint16_t count = uint16_t(bytes[size_t(ifd)] | bytes[size_t(ifd) + 1] << 8);
  for (uint16_t i = 0; i < count; ++i) {
    uint64_t at = ifd + 2 + 12 * uint64_t{i};
    if ((bytes[size_t(at)] | bytes[size_t(at) + 1] << 8) == tag) return at;
  }
  throw std::logic_error("no tag " + std::to_string(tag) + " in the directory");
}

// Makes the entry of `tag` read `count` values of `type` at `valueOffset`, or inline.
inline void repoint(std::vector<uint8_t>& bytes, uint64_t ifd, uint16_t tag, uint16_t type,
                    uint32_t count, uint32_t value) {
  uint64_t at = entryOf(bytes, ifd, tag);
  bytes[size_t(at) + 2] = uint8_t(type);
  bytes[size_t(at) + 3] = uint8_t(type >> 8);
  put32(bytes, at + 4, count);
  put32(bytes, at + 8, value);
}

inline docwriter::PageSpec blankPage(uint32_t width, uint32_t height, int bits,
                                     docwriter::Codec codec) {
  docwriter::PageSpec page;
  page.raster = docwriter::Raster::blank(width, height, bits);
  page.codec = codec;
  return page;
}

// --- The cases --------------------------------------------------------------------------

// A tile width near 2^32 wrapped the JPEG decoder's count of tiles across the page to 0, and
// it divided by that count.
inline Finding tileOfFourGigapixels() {
  docwriter::PageSpec page = blankPage(20, 18, 8, docwriter::Codec::None);
  page.tileSize = 16;
  page.text = "tiled";
  docwriter::Written w = docwriter::write({page});
  put32(w.bytes, entryOf(w.bytes, w.pages[0].ifdOffset, 322) + 8, 0xFFFFFFFF);
  repoint(w.bytes, w.pages[0].ifdOffset, 259, 3, 1, 7);  // JPEG
  return {"tile of four gigapixels", w.bytes, "has tiles far larger than the page", 0, 0};
}

// A tile rounded up to a standard size is larger than a small page, and that is sound.
inline Finding tileLargerThanASmallPage() {
  docwriter::PageSpec page = blankPage(20, 18, 8, docwriter::Codec::None);
  page.tileSize = 16;
  docwriter::Written w = docwriter::write({page});
  // 1024 x 1024 tiles: the first covers the whole page.
  put32(w.bytes, entryOf(w.bytes, w.pages[0].ifdOffset, 322) + 8, 1024);
  put32(w.bytes, entryOf(w.bytes, w.pages[0].ifdOffset, 323) + 8, 1024);
  return {"tile larger than a small page", w.bytes, "", 1, 0};
}

// A page of strips whose directory also gives a tile size: libtiff then reads it as tiles, a
// billion pixels wide, where the document reader, finding no tile locations, had seen strips
// and checked no tile; the decoder asked for 3.5 GB for one tile and took 14 s. The page's
// G4 still decodes with the component's own decoder, which reads strips.
inline Finding tileSizeOnAPageOfStrips() {
  docwriter::PageSpec page = blankPage(40, 24, 1, docwriter::Codec::G4);
  page.extraTags = {docwriter::RawTag::longs(322, {1157628928}),
                    docwriter::RawTag::longs(323, {24})};
  return {"tile size on a page of strips", docwriter::write({page}).bytes, "", 1, 0};
}

// Two hundred small pages whose strip locations all name page 1's array of 2,000 strips:
// checking them all read the array two hundred times. Opening such a chain took time in the
// square of the file's size. Reading stops once the directories have cost a few times the
// file's size, and the pages read until then are the document.
inline Finding pagesSharingOneStripArray() {
  docwriter::PageSpec tall = blankPage(8, 2000, 1, docwriter::Codec::None);
  tall.rowsPerStrip = 1;
  std::vector<docwriter::PageSpec> pages{tall};
  for (int i = 0; i < 200; ++i) pages.push_back(blankPage(8, 1, 1, docwriter::Codec::None));
  docwriter::Written w = docwriter::write(pages);
  uint64_t first = w.pages[0].ifdOffset;
  uint32_t offsets = get32(w.bytes, entryOf(w.bytes, first, 273) + 8);
  uint32_t counts = get32(w.bytes, entryOf(w.bytes, first, 279) + 8);
  for (size_t i = 1; i < pages.size(); ++i) {
    repoint(w.bytes, w.pages[i].ifdOffset, 273, 4, 2000, offsets);
    repoint(w.bytes, w.pages[i].ifdOffset, 279, 4, 2000, counts);
  }
  return {"pages sharing one strip array", w.bytes, "", 17, 0};
}

// A G4 page 16.7 million pixels wide and 24 rows high, within the area of an A0 page: the
// G4 decoder's line buffers for that width took 23 seconds under the sanitizers.
inline Finding pageWiderThanAnySheet() {
  docwriter::PageSpec page = blankPage(64, 24, 1, docwriter::Codec::G4);
  page.extraTags = {docwriter::RawTag::longs(256, {16711720})};
  return {"page wider than any sheet", docwriter::write({page}).bytes, "is too large", 0, 0};
}

// A few bytes claiming a large colour page: the decoder allocated 1.6 GB for it. The page is
// refused before decoding; the document opens and its text is there.
inline Finding decompressionBomb() {
  docwriter::PageSpec page = blankPage(8, 8, 24, docwriter::Codec::None);
  page.rawData = std::vector<uint8_t>(100, 0x80);
  page.extraTags = {docwriter::RawTag::longs(256, {19000}), docwriter::RawTag::longs(257, {28000}),
                    docwriter::RawTag::shorts(259, {5})};  // LZW
  page.text = "The bomb's text";
  return {"decompression bomb", docwriter::write({page}).bytes, "", 1, 1};
}

// Each codec at its best, on a blank page, is not mistaken for a bomb; cut data is refused.
inline std::vector<Finding> storedSizes() {
  using docwriter::Codec;
  docwriter::PageSpec g4 = blankPage(2480, 3508, 1, Codec::G4);
  docwriter::PageSpec jpeg = blankPage(400, 300, 24, Codec::Jpeg);
  jpeg.jpegQuality = 10;
  docwriter::PageSpec plain = blankPage(100, 80, 8, Codec::None);
  docwriter::PageSpec cutPlain = plain;
  cutPlain.rawData = std::vector<uint8_t>(100 * 80 - 1, 0xFF);
  docwriter::PageSpec emptyG4 = blankPage(2480, 3508, 1, Codec::None);
  emptyG4.rawData = std::vector<uint8_t>(3508 / 8 - 1, 0);
  emptyG4.extraTags = {docwriter::RawTag::shorts(259, {4})};
  docwriter::PageSpec unknown = blankPage(2480, 3508, 24, Codec::None);
  unknown.rawData = std::vector<uint8_t>(4, 0);
  unknown.extraTags = {docwriter::RawTag::shorts(259, {34718})};
  return {
      {"blank A4 page in G4", docwriter::write({g4}).bytes, "", 1, 0},
      {"blank colour JPEG page", docwriter::write({jpeg}).bytes, "", 1, 0},
      {"uncompressed page", docwriter::write({plain}).bytes, "", 1, 0},
      {"uncompressed page one byte short", docwriter::write({cutPlain}).bytes, "", 1, 1},
      {"G4 page with less than a bit per row", docwriter::write({emptyG4}).bytes, "", 1, 1},
      {"page of a codec no decoder reads", docwriter::write({unknown}).bytes, "", 1, 0},
  };
}

inline std::vector<Finding> all() {
  std::vector<Finding> out{tileOfFourGigapixels(),      tileLargerThanASmallPage(),
                           pagesSharingOneStripArray(), decompressionBomb(),
                           pageWiderThanAnySheet(),     tileSizeOnAPageOfStrips()};
  for (Finding& f : storedSizes()) out.push_back(std::move(f));
  return out;
}

}  // namespace findings
