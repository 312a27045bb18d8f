// Documents made at run time for the reader's tests.
#pragma once

#include <cstdint>
#include <vector>

#include "document/Document.h"
#include "tools/docwriter/DocWriter.h"

namespace readertest {

// A page of varied content: runs of many lengths for 1 bit, gradients for grey and colour;
// `seed` makes pages of one document differ.
inline docwriter::Raster patternRaster(uint32_t width, uint32_t height, int bits, uint32_t seed) {
  docwriter::Raster r = docwriter::Raster::blank(width, height, bits);
  uint32_t state = seed * 2654435761u + 1;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  for (uint32_t y = 0; y < height; ++y) {
    if (bits == 1) {
      uint32_t x = next() % 5;
      while (x < width) {
        uint32_t ink = 1 + next() % (y % 5 == 0 ? 300 : 12);
        r.fill(x, y, ink, 1, 0x000000);
        x += ink + 1 + next() % 20;
      }
      continue;
    }
    for (uint32_t x = 0; x < width; ++x) {
      // Smooth content, so that JPEG's losses stay small and comparable.
      uint32_t red = (x * 255 / width + seed * 40) & 0xFF;
      uint32_t green = y * 255 / height;
      uint32_t blue = ((x + y) * 128 / (width + height) + seed * 70) & 0xFF;
      r.set(x, y, red << 16 | green << 8 | blue);
    }
  }
  return r;
}

inline docwriter::PageSpec patternPage(uint32_t width, uint32_t height, int bits,
                                       docwriter::Codec codec, uint32_t seed = 1) {
  docwriter::PageSpec page;
  page.raster = patternRaster(width, height, bits, seed);
  page.codec = codec;
  return page;
}

inline mdi::Document openBytes(const std::vector<uint8_t>& bytes) {
  return mdi::Document::open(mdi::memorySource(bytes));
}

}  // namespace readertest
