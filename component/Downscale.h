// Pixel work on decoded pages: a box-filter reduction for the screen, which
// turns black-and-white pages into smooth grey instead of dropping lines, and
// the bounding box of a page's content.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "component/PageImage.h"

namespace mipv {

// The depth of a reduced page: 8-bit grey for black-and-white and grey pages,
// 24-bit for colour.
int reducedDepth(const mdi::PageImage& page);

// Reduces `page` to width x height (each no larger than the page's) into
// top-down rows at `target`, `targetStride` bytes apart, in reducedDepth().
// Each target pixel is the mean of the page pixels it covers.
void reduce(const mdi::PageImage& page, int width, int height, uint8_t* target,
            size_t targetStride);

// The smallest rectangle (page pixels) holding every pixel that is not
// background (white, or light grey and light colours); false for a blank page.
bool contentBounds(const mdi::PageImage& page, RECT& bounds);

}  // namespace mipv
