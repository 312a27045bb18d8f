// The document writer's use of libtiff: whole documents of well-formed pages, and the coded
// data of one page for the raw writer.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/docwriter/DocWriter.h"

namespace docwriter {

inline constexpr uint16_t kTextTag = 37679;  // the recognised text

// The pages in "II" or "MM" order, or "II" with the first two bytes made "EP". Pages may not
// carry raw data, a text tag's own bytes or extra tags.
Written writeWithLibtiff(const std::vector<PageSpec>& pages, Header header);

// One page's strips or tiles as libtiff codes them, and the JPEG tables it shares among
// them (empty unless the page asks for shared tables).
struct Coded {
  std::vector<std::vector<uint8_t>> chunks;
  std::vector<uint8_t> jpegTables;
};
Coded codeWithLibtiff(const PageSpec& page);

// The raster as stored: 1-bit pages with photometric 1 keep white as set bits.
Raster storedRaster(const PageSpec& page);
// The raster in square tiles of `size` pixels (a multiple of 16), the last ones padded.
std::vector<std::vector<uint8_t>> tilesOf(const Raster& raster, uint32_t size);

}  // namespace docwriter
