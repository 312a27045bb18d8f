// The reduction of black-and-white pages, which counts ink and skips white words, against
// the plain mean of the page pixels under each target pixel.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "component/Downscale.h"

namespace {

struct Case {
  const char* name;
  uint32_t width, height;
  int targetWidth, targetHeight;
  int inkPercent;
};

const Case kCases[] = {
    {"text density, a third", 2480, 120, 826, 40, 10},
    {"fit to a window", 2480, 351, 279, 39, 8},
    {"odd width, padding bits", 1001, 37, 333, 12, 30},
    {"no reduction", 77, 9, 77, 9, 50},
    {"one column", 130, 10, 1, 1, 40},
    {"blank", 640, 16, 100, 5, 0},
    {"all ink", 100, 16, 33, 5, 100},
};

mdi::PageImage randomPage(const Case& c) {
  mdi::PageImage page;
  page.width = c.width;
  page.height = c.height;
  page.bitsPerPixel = 1;
  page.stride = ((c.width + 31) / 32) * 4;
  page.pixels.assign(size_t(page.stride) * c.height, 0xFF);
  uint32_t state = c.width * 31 + c.height;
  for (uint32_t y = 0; y < c.height; ++y)
    for (uint32_t x = 0; x < c.width; ++x) {
      state = state * 1664525u + 1013904223u;
      // Ink in short horizontal bursts, as letters make it, so whole white words occur too.
      bool ink =
          int((state >> 8) % 100) < c.inkPercent && ((x / 8 + y) % 3 != 0 || c.inkPercent == 100);
      if (ink) page.pixels[y * page.stride + x / 8] &= uint8_t(~(0x80 >> (x % 8)));
    }
  // Padding bits past the width are noise the reduction must not count.
  for (uint32_t y = 0; y < c.height; ++y)
    for (uint32_t x = c.width; x < page.stride * 8; ++x)
      page.pixels[y * page.stride + x / 8] ^= uint8_t(0x80 >> (x % 8)) * ((x + y) % 2);
  return page;
}

int white(const mdi::PageImage& page, uint32_t x, uint32_t y) {
  return (page.pixels[y * page.stride + x / 8] >> (7 - x % 8)) & 1;
}

TEST(Reduce, BlackAndWhiteMatchesThePlainMean) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    mdi::PageImage page = randomPage(c);
    const size_t stride = (size_t(c.targetWidth) + 3) / 4 * 4;
    std::vector<uint8_t> out(stride * c.targetHeight, 0x11);
    mipv::reduce(page, c.targetWidth, c.targetHeight, out.data(), stride);
    int wrong = 0;
    for (int i = 0; i < c.targetHeight; ++i)
      for (int j = 0; j < c.targetWidth; ++j) {
        uint32_t y0 = uint32_t(uint64_t(i) * c.height / c.targetHeight);
        uint32_t y1 = uint32_t(uint64_t(i + 1) * c.height / c.targetHeight);
        uint32_t x0 = uint32_t(uint64_t(j) * c.width / c.targetWidth);
        uint32_t x1 = uint32_t(uint64_t(j + 1) * c.width / c.targetWidth);
        uint32_t area = (y1 - y0) * (x1 - x0), whites = 0;
        for (uint32_t y = y0; y < y1; ++y)
          for (uint32_t x = x0; x < x1; ++x) whites += white(page, x, y);
        int expected = int((uint64_t(whites) * 255 + area / 2) / area);
        int got = out[i * stride + j];
        if (got != expected && wrong++ < 3)
          ADD_FAILURE() << "target pixel (" << j << ", " << i << "): " << got << ", not "
                        << expected;
      }
    EXPECT_EQ(0, wrong);
  }
}

}  // namespace
