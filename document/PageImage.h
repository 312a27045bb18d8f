// A page's pixels, the one form that the viewer and the converter take. Plain C++, no Windows
// headers.
#pragma once

#include <cstdint>
#include <vector>

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

}  // namespace mdi
