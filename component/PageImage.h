// A page decoded for showing, copying and printing (Windows side of the reader).
#pragma once

#include <cstdint>
#include <vector>

#include "component/reader/Document.h"

namespace mdi {

// Rows top-down, each padded to 4 bytes, in device-independent-bitmap order:
// 1 bit (a set bit is white), 8-bit grey, or 24-bit blue-green-red.
struct PageImage {
  uint32_t width = 0;
  uint32_t height = 0;
  int bitsPerPixel = 1;
  uint32_t stride = 0;
  std::vector<uint8_t> pixels;
  bool placeholder = false;  // the page's own image could not be decoded
};

// Decodes one page, keeping its depth. A page no codec can read becomes a
// placeholder of the page's size that says so; only absurd sizes throw.
// `storage`, the pixels of a page no longer needed, is reused where it fits: under Wine
// fresh memory costs about 20 us a 4 KB page on first touch, 5 ms for an A4 page at 300 dpi.
PageImage decodePage(const Document& document, size_t index, std::vector<uint8_t> storage = {});

}  // namespace mdi
