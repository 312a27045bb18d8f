// Makes documents in the TIFF layout the viewer reads ("EP", "II" or "MM"), in memory or as
// files, for the tests, the bundled sample and a fuzzing corpus. Plain C++ over libtiff: builds
// natively too. Well-formed documents are written by libtiff; a document with a page that
// carries raw data, a text tag's own bytes or extra tags is laid out by hand, its pages coded
// by libtiff all the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace docwriter {

enum class Header { EP, II, MM };
enum class Codec { None, G4, Jpeg };

// A page's pixels: rows top-down, each packed into whole bytes. 1 bit: a set bit is black
// (ink); 8 bits: grey, 0 is black; 24 bits: red, green, blue.
struct Raster {
  uint32_t width = 0;
  uint32_t height = 0;
  int bits = 1;
  std::vector<uint8_t> data;

  size_t stride() const { return (size_t(width) * bits + 7) / 8; }
  // A white page.
  static Raster blank(uint32_t width, uint32_t height, int bits);
  // Paints pixel (x, y): for 1 bit, ink when grey < 128; for 8 bits the grey; for 24 bits
  // the colour 0xRRGGBB (grey pages take its luminance).
  void set(uint32_t x, uint32_t y, uint32_t rgb);
  void fill(uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint32_t rgb);
};

// A directory entry of the caller's choosing. Values are given little-endian; the writer
// swaps each element for "MM" documents. It replaces a standard entry with the same tag.
struct RawTag {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint32_t count = 0;
  std::vector<uint8_t> value;

  static RawTag shorts(uint16_t tag, const std::vector<uint16_t>& values);
  static RawTag longs(uint16_t tag, const std::vector<uint32_t>& values);
  static RawTag bytes(uint16_t tag, uint16_t type, const std::vector<uint8_t>& values);
};

struct PageSpec {
  Raster raster;
  Codec codec = Codec::None;
  double dpi = 150;      // 0: no resolution entries
  bool dpiInCm = false;  // states the resolution per centimetre
  int jpegQuality = 90;
  uint32_t rowsPerStrip = 0;  // uncompressed and JPEG pages: 0 writes one strip
  bool jpegTables = false;    // JPEG pages: tables once in the directory, not in each strip
  uint32_t tileSize = 0;      // uncompressed pages: square tiles (a multiple of 16) instead
  bool blackIsZero = false;   // 1-bit pages: photometric 1 (bits stored inverted)
  uint16_t orientation = 1;   // the orientation tag's value: 1 rows top-down, 6 turned, ...
  // The recognised text as bytes (UTF-8, Windows-1252, anything), stored as the tag's
  // layout: 01 00, the length, the bytes, then a carriage return and NUL.
  std::optional<std::string> text;
  // The text tag's exact bytes instead, for malformed tags.
  std::optional<std::vector<uint8_t>> textTag;
  std::vector<RawTag> extraTags;
  // Written as the page's only strip instead of the encoded raster (with a compression
  // entry in extraTags, this makes a page of a codec no decoder knows).
  std::optional<std::vector<uint8_t>> rawData;
};

// Where things landed, so that tests can damage a document precisely.
struct PageLayout {
  uint64_t ifdOffset = 0;
  uint64_t nextPointerOffset = 0;
  uint64_t dataOffset = 0;  // the first strip or tile
  uint64_t dataSize = 0;    // all strips or tiles, which are contiguous
  uint64_t textOffset = 0;  // 0 without a text tag
};

struct Written {
  std::vector<uint8_t> bytes;
  std::vector<PageLayout> pages;
};

Written write(const std::vector<PageSpec>& pages, Header header = Header::EP);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

// The tag's layout around some text bytes; `terminate` appends the carriage return and NUL
// (inside the stated length).
std::vector<uint8_t> textTagBytes(const std::string& text, bool terminate = true);

// CCITT Group 4 (T.6) of a 1-bit raster whose 0 bits are coded as white runs, as libtiff codes
// it: for a page written many times over as raw data.
std::vector<uint8_t> encodeG4(const Raster& raster);

}  // namespace docwriter
