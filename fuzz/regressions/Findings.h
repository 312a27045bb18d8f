// Inputs that broke the document library or the outputs behind it, found by fuzzing, by going
// through what they allocate and loop over for a file's declared sizes, or made in each family
// of hostile files (codes that do not advance, tags given twice or malformed, pages sharing
// their data, decompression bombs, short colour tables); each rebuilt from the document writer
// plus byte patches (no binary files), with what the library must answer now. Run natively
// through the fuzz targets' bodies by fuzz/regressions.cpp and under Wine by
// tests/reader/BadInputTest.cpp.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz/regressions/BigTiff.h"
#include "tools/docwriter/DocWriter.h"

namespace findings {

struct Finding {
  std::string name;
  std::vector<uint8_t> bytes;
  std::string refusal;     // a piece of the refusal's message; empty when the document opens
  size_t pages = 0;        // pages it opens with
  size_t undecodable = 0;  // of those, pages whose image cannot be decoded
  std::string problem;     // a piece of the first such page's sentence
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

// Gives the entry of `tag` a second entry after all others, with another value: the last
// entry of the directory, written for the unused tag 65000, becomes it.
inline void repeatTag(std::vector<uint8_t>& bytes, uint64_t ifd, uint16_t tag) {
  uint64_t at = entryOf(bytes, ifd, 65000);
  bytes[size_t(at)] = uint8_t(tag);
  bytes[size_t(at) + 1] = uint8_t(tag >> 8);
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
  return {"tile of four gigapixels", w.bytes, "has tiles far larger than the page", 0, 0, ""};
}

// A tile rounded up to a standard size is larger than a small page, and that is sound; but
// these tiles' count is that of the 16-pixel tiles written, which libtiff reads otherwise.
inline Finding tileLargerThanASmallPage() {
  docwriter::PageSpec page = blankPage(20, 18, 8, docwriter::Codec::None);
  page.tileSize = 16;
  docwriter::Written w = docwriter::write({page});
  // 1024 x 1024 tiles: the first covers the whole page.
  put32(w.bytes, entryOf(w.bytes, w.pages[0].ifdOffset, 322) + 8, 1024);
  put32(w.bytes, entryOf(w.bytes, w.pages[0].ifdOffset, 323) + 8, 1024);
  return {"tile larger than a small page",
          w.bytes,
          "",
          1,
          1,
          "does not describe its image data consistently"};
}

// A page of strips whose directory also gives a tile size: libtiff then reads it as tiles, a
// billion pixels wide, where the document reader, finding no tile locations, had seen strips
// and checked no tile; the decoder asked for 3.5 GB for one tile and took 14 s. libtiff's
// reading and the walk's differ, so the page's image is not decoded.
inline Finding tileSizeOnAPageOfStrips() {
  docwriter::PageSpec page = blankPage(40, 24, 1, docwriter::Codec::G4);
  page.extraTags = {docwriter::RawTag::longs(322, {1157628928}),
                    docwriter::RawTag::longs(323, {24})};
  return {"tile size on a page of strips",
          docwriter::write({page}).bytes,
          "",
          1,
          1,
          "does not describe its image data consistently"};
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
  return {"pages sharing one strip array", w.bytes, "", 1, 0, ""};
}

// A G4 page 16.7 million pixels wide and 24 rows high, within the area of an A0 page: the
// G4 decoder's line buffers for that width took 23 seconds under the sanitizers.
inline Finding pageWiderThanAnySheet() {
  docwriter::PageSpec page = blankPage(64, 24, 1, docwriter::Codec::G4);
  page.extraTags = {docwriter::RawTag::longs(256, {16711720})};
  return {"page wider than any sheet", docwriter::write({page}).bytes, "is too large", 0, 0, ""};
}

// A few bytes claiming a large colour page: the decoder allocated 1.6 GB for it. Its strips
// are not those its rows per strip call for, so libtiff reads them otherwise than the walk;
// the page is not decoded, the document opens and its text is there.
inline Finding decompressionBomb() {
  docwriter::PageSpec page = blankPage(8, 8, 24, docwriter::Codec::None);
  page.rawData = std::vector<uint8_t>(100, 0x80);
  page.extraTags = {docwriter::RawTag::longs(256, {19000}), docwriter::RawTag::longs(257, {28000}),
                    docwriter::RawTag::shorts(259, {5})};  // LZW
  page.text = "The bomb's text";
  return {"decompression bomb",
          docwriter::write({page}).bytes,
          "",
          1,
          1,
          "does not describe its image data consistently"};
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
      {"blank A4 page in G4", docwriter::write({g4}).bytes, "", 1, 0, ""},
      {"blank colour JPEG page", docwriter::write({jpeg}).bytes, "", 1, 0, ""},
      {"uncompressed page", docwriter::write({plain}).bytes, "", 1, 0, ""},
      {"uncompressed page one byte short", docwriter::write({cutPlain}).bytes, "", 1, 1,
       "does not describe its image data consistently"},
      {"G4 page with less than a bit per row", docwriter::write({emptyG4}).bytes, "", 1, 1,
       "is cut short"},
      {"page of a codec no decoder reads", docwriter::write({unknown}).bytes, "", 1, 1,
       "compression 34718, which no decoder here reads"},
  };
}

// --- Hostile families ---------------------------------------------------------------------

// Fax data whose codes do not move the coding position forward, or move it back: pass modes
// over a white line, vertical-left codes, and lines of nothing but zero bits.
inline std::vector<Finding> codesThatDoNotAdvance() {
  auto fax = [](uint16_t compression, uint8_t fill, std::vector<docwriter::RawTag> tags) {
    docwriter::PageSpec page = blankPage(40, 24, 1, docwriter::Codec::None);
    page.rawData = std::vector<uint8_t>(64, fill);
    tags.push_back(docwriter::RawTag::shorts(259, {compression}));
    page.extraTags = tags;
    page.text = "fax";
    return docwriter::write({page}).bytes;
  };
  const docwriter::RawTag twoDimensional = docwriter::RawTag::longs(292, {1});
  return {
      {"G4 pass modes over a white line", fax(4, 0x11, {}), "", 1, 0, ""},
      {"G4 vertical-left codes", fax(4, 0x49, {}), "", 1, 0, ""},
      {"G4 zero bits only", fax(4, 0x00, {}), "", 1, 1, "damaged"},
      {"G3 zero bits only", fax(3, 0x00, {}), "", 1, 1, "damaged"},
      {"G3 two-dimensional pass modes", fax(3, 0x11, {twoDimensional}), "", 1, 1, "damaged"},
  };
}

// A palette page: an 8-bit page whose photometric says palette, with a colour table of
// `entries` entries, and BitsPerSample given a second time when `secondBits` is not 0.
inline std::vector<uint8_t> palettePage(uint16_t firstBits, uint16_t secondBits, uint32_t entries) {
  docwriter::PageSpec page = blankPage(32, 16, 8, docwriter::Codec::None);
  std::vector<uint16_t> table(entries * 3);
  for (size_t i = 0; i < table.size(); ++i) table[i] = uint16_t(i * 977);
  page.extraTags = {docwriter::RawTag::shorts(262, {3}), docwriter::RawTag::shorts(320, table),
                    docwriter::RawTag::shorts(258, {firstBits})};
  if (secondBits) page.extraTags.push_back(docwriter::RawTag::shorts(65000, {secondBits}));
  page.text = "palette";
  docwriter::Written w = docwriter::write({page});
  if (secondBits) repeatTag(w.bytes, w.pages[0].ifdOffset, 258);
  return w.bytes;
}

// Tags given twice with values that disagree, of the wrong type, or of the wrong count: each
// means what it means to libtiff, for every reader of the page.
inline std::vector<Finding> tagsThatDisagree() {
  std::vector<Finding> out;
  // The reader once took the last BitsPerSample (8), libtiff the first (4), and the converter
  // read 256 entries of a 16-entry colour table.
  out.push_back({"bits per sample four then eight on a palette page", palettePage(4, 8, 256), "", 1,
                 1, "cannot be read"});
  {
    docwriter::PageSpec page = blankPage(40, 24, 8, docwriter::Codec::None);
    page.extraTags = {docwriter::RawTag::longs(65000, {4000})};
    docwriter::Written w = docwriter::write({page});
    repeatTag(w.bytes, w.pages[0].ifdOffset, 256);
    out.push_back({"width given twice, the second far larger", w.bytes, "", 1, 0, ""});
  }
  {
    // The second page's first StripOffsets names the first page's strip, its second its own.
    docwriter::PageSpec page = blankPage(40, 24, 8, docwriter::Codec::None);
    docwriter::PageSpec second = page;
    second.extraTags = {docwriter::RawTag::longs(65000, {0})};
    docwriter::Written w = docwriter::write({page, second});
    const uint64_t ifd = w.pages[1].ifdOffset;
    const uint32_t own = get32(w.bytes, entryOf(w.bytes, ifd, 273) + 8);
    put32(w.bytes, entryOf(w.bytes, ifd, 273) + 8, uint32_t(w.pages[0].dataOffset));
    put32(w.bytes, entryOf(w.bytes, ifd, 65000) + 8, own);
    repeatTag(w.bytes, ifd, 273);
    out.push_back({"strip offsets given twice, the first another page's", w.bytes, "", 1, 0, ""});
  }
  {
    docwriter::PageSpec page = blankPage(40, 24, 8, docwriter::Codec::None);
    docwriter::Written w = docwriter::write({page});
    repoint(w.bytes, w.pages[0].ifdOffset, 256, 5, 1, 8);  // a RATIONAL width
    out.push_back({"width of the wrong type", w.bytes, "has a malformed tag 256", 0, 0, ""});
  }
  {
    docwriter::PageSpec page = blankPage(40, 24, 8, docwriter::Codec::None);
    docwriter::Written w = docwriter::write({page});
    repoint(w.bytes, w.pages[0].ifdOffset, 259, 3, 0, 7);  // no value: JPEG or none?
    out.push_back({"compression with no value", w.bytes, "", 1, 1, "cannot be read"});
  }
  {
    docwriter::PageSpec page = blankPage(40, 24, 8, docwriter::Codec::None);
    page.extraTags = {docwriter::RawTag::shorts(274, {9})};
    out.push_back({"orientation of no meaning", docwriter::write({page}).bytes, "", 1, 0, ""});
  }
  {
    docwriter::PageSpec page = blankPage(40, 24, 8, docwriter::Codec::None);
    page.extraTags = {docwriter::RawTag::shorts(258, {8, 8, 8})};  // one sample, three sizes
    out.push_back({"bits per sample for three samples on a grey page",
                   docwriter::write({page}).bytes, "", 1, 0, ""});
  }
  return out;
}

// Pages whose image data or text lies in another page's bytes: read once, however many pages
// name them, so that no output grows beyond a small multiple of the file.
inline std::vector<Finding> pagesSharingData() {
  std::vector<docwriter::PageSpec> pages(50, blankPage(64, 64, 8, docwriter::Codec::None));
  for (size_t i = 0; i < pages.size(); ++i) pages[i].text = "Page text " + std::to_string(i);
  docwriter::Written both = docwriter::write(pages);
  docwriter::Written text = both;
  for (size_t i = 1; i < pages.size(); ++i) {
    const uint64_t ifd = both.pages[i].ifdOffset;
    put32(both.bytes, entryOf(both.bytes, ifd, 273) + 8, uint32_t(both.pages[0].dataOffset));
    put32(both.bytes, entryOf(both.bytes, ifd, 37679) + 8, uint32_t(both.pages[0].textOffset));
    const uint64_t textIfd = text.pages[i].ifdOffset;
    put32(text.bytes, entryOf(text.bytes, textIfd, 37679) + 8, uint32_t(text.pages[0].textOffset));
  }
  // One page of two strips that are the same bytes.
  docwriter::PageSpec page = blankPage(64, 64, 8, docwriter::Codec::None);
  page.rowsPerStrip = 32;
  docwriter::Written twice = docwriter::write({page});
  const uint64_t ifd = twice.pages[0].ifdOffset;
  const uint32_t offsets = get32(twice.bytes, entryOf(twice.bytes, ifd, 273) + 8);
  put32(twice.bytes, offsets + 4, get32(twice.bytes, offsets));
  return {
      {"fifty pages sharing one strip and one text", both.bytes, "", 1, 0, ""},
      {"fifty pages sharing one text", text.bytes, "", 1, 0, ""},
      {"a page whose two strips are the same bytes", twice.bytes,
       "uses image data or text that another page or strip uses", 0, 0, ""},
  };
}

// A few bytes claiming a large page, in each codec: refused before anything is allocated.
inline std::vector<Finding> decompressionBombs() {
  auto bomb = [](uint32_t width, uint32_t height, int bits, uint16_t compression) {
    docwriter::PageSpec page = blankPage(8, 8, bits, docwriter::Codec::None);
    page.rawData = std::vector<uint8_t>(200, 0x80);
    page.extraTags = {
        docwriter::RawTag::longs(256, {width}), docwriter::RawTag::longs(257, {height}),
        docwriter::RawTag::longs(278, {height}), docwriter::RawTag::shorts(259, {compression})};
    page.text = "bomb";
    return docwriter::write({page}).bytes;
  };
  return {
      {"Deflate bomb of an A0 grey page", bomb(19000, 28000, 8, 8), "", 1, 1, "claims far more"},
      {"PackBits bomb of an A4 colour page", bomb(4960, 7016, 24, 32773), "", 1, 1,
       "claims far more"},
      {"G4 bomb of an A0 page", bomb(19000, 28000, 1, 4), "", 1, 1, "claims far more"},
      {"JPEG bomb of an A0 colour page", bomb(19000, 28000, 24, 7), "", 1, 1, "claims far more"},
  };
}

// Colour tables of fewer or more entries than the page's bits call for.
inline std::vector<Finding> shortColourTables() {
  return {
      {"eight-bit palette page with sixteen colours", palettePage(8, 0, 16), "", 1, 0, ""},
      {"four-bit palette page with 256 colours", palettePage(4, 0, 256), "", 1, 1,
       "cannot be read"},
      {"four-bit palette page with 2 colours", palettePage(4, 0, 2), "", 1, 1, "cannot be read"},
  };
}

// BigTIFF, which libtiff reads, was refused for lacking the mark 42.
inline std::vector<Finding> bigTiffs() {
  return {
      {"BigTIFF, little-endian", bigTiffDocument(false), "", 2, 0, ""},
      {"BigTIFF, big-endian", bigTiffDocument(true), "", 2, 0, ""},
  };
}

inline std::vector<Finding> all() {
  std::vector<Finding> out{tileOfFourGigapixels(),      tileLargerThanASmallPage(),
                           pagesSharingOneStripArray(), decompressionBomb(),
                           pageWiderThanAnySheet(),     tileSizeOnAPageOfStrips()};
  for (auto family : {storedSizes, codesThatDoNotAdvance, tagsThatDisagree, pagesSharingData,
                      decompressionBombs, shortColourTables, bigTiffs})
    for (Finding& f : family()) out.push_back(std::move(f));
  return out;
}

}  // namespace findings
