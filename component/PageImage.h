// A page decoded for showing, copying and printing. Plain C++, no Windows headers.
#pragma once

#include <cstdint>
#include <vector>

#include "component/reader/Document.h"

namespace mdi {

// Rows top-down, each padded to 4 bytes, in device-independent-bitmap order: 1 bit (a set
// bit is white), 8 bits (grey, or indexes into `colours`), or 24-bit blue-green-red. The
// page's nature decides: black and white stays 1 bit, grey and palette pages 8 bits.
struct PageImage {
  uint32_t width = 0;
  uint32_t height = 0;
  int bitsPerPixel = 1;
  uint32_t stride = 0;
  std::vector<uint8_t> pixels;
  // A palette page's colour table, 4 bytes an entry (blue, green, red, 0), 256 entries;
  // empty for grey and for the other depths.
  std::vector<uint8_t> colours;
  bool placeholder = false;  // the page's own image could not be decoded
  bool hasPalette() const { return !colours.empty(); }
};

inline uint32_t strideOf(uint32_t width, int bitsPerPixel) {
  return uint32_t((uint64_t(width) * uint32_t(bitsPerPixel) + 31) / 32 * 4);
}

// Decodes one page, keeping its nature. A page that cannot be decoded becomes a placeholder
// of the page's size that says so; only absurd sizes throw.
// `storage`, the pixels of a page no longer needed, is reused where it fits: under Wine
// fresh memory costs about 20 us a 4 KB page on first touch, 5 ms for an A4 page at 300 dpi.
PageImage decodePage(const Document& document, size_t index, std::vector<uint8_t> storage = {});

}  // namespace mdi
