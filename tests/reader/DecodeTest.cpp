// Decoding pages through libtiff against what the writer wrote, and the placeholder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "component/PageImage.h"
#include "document/PageReader.h"
#include "tests/reader/Documents.h"

using docwriter::Codec;
using docwriter::Header;
using docwriter::PageSpec;
using docwriter::RawTag;
using readertest::openBytes;
using readertest::patternPage;

namespace {

struct Difference {
  int largest = 0;
  double mean = 0;
};

// Compares a decoded page with the raster it was made from; 1-bit pages must match bit for
// bit (the decoded image's set bits are white, the raster's are ink).
Difference compare(const mdi::PageImage& image, const docwriter::Raster& raster) {
  Difference d;
  EXPECT_EQ(raster.width, image.width);
  EXPECT_EQ(raster.height, image.height);
  EXPECT_EQ(raster.bits, image.bitsPerPixel);
  EXPECT_EQ(0u, image.stride % 4);
  EXPECT_GE(image.pixels.size(), size_t(image.stride) * image.height);
  if (image.width != raster.width || image.height != raster.height ||
      image.bitsPerPixel != raster.bits)
    return {255, 255};
  uint64_t sum = 0, count = 0;
  for (uint32_t y = 0; y < raster.height; ++y) {
    const uint8_t* got = image.pixels.data() + size_t(y) * image.stride;
    const uint8_t* want = raster.data.data() + y * raster.stride();
    for (uint32_t x = 0; x < raster.width; ++x) {
      int diffs[3] = {0, 0, 0};
      int n = 1;
      if (raster.bits == 1) {
        bool white = got[x >> 3] & (0x80 >> (x & 7));
        bool ink = want[x >> 3] & (0x80 >> (x & 7));
        diffs[0] = white == ink ? 255 : 0;
      } else if (raster.bits == 8) {
        diffs[0] = std::abs(got[x] - want[x]);
      } else {
        n = 3;
        for (int c = 0; c < 3; ++c) diffs[c] = std::abs(got[x * 3 + 2 - c] - want[x * 3 + c]);
      }
      for (int c = 0; c < n; ++c) {
        d.largest = std::max(d.largest, diffs[c]);
        sum += diffs[c];
        ++count;
      }
    }
  }
  d.mean = double(sum) / double(count);
  return d;
}

TEST(Decode, EachDepthAndCompressionAsWritten) {
  struct Row {
    const char* name;
    Header header;
    int bits;
    Codec codec;
    bool blackIsZero;
    uint32_t rowsPerStrip;
    uint32_t tileSize;
    bool jpegTables;
    int largest;  // 0: exact
    double mean;
  };
  const Row rows[] = {
      {"1 bit, none, EP", Header::EP, 1, Codec::None, false, 0, 0, false, 0, 0},
      {"1 bit, none, strips, MM", Header::MM, 1, Codec::None, false, 7, 0, false, 0, 0},
      {"1 bit, none, tiles", Header::II, 1, Codec::None, false, 0, 32, false, 0, 0},
      {"1 bit, black is zero", Header::II, 1, Codec::None, true, 0, 0, false, 0, 0},
      {"1 bit, G4, EP", Header::EP, 1, Codec::G4, false, 0, 0, false, 0, 0},
      {"1 bit, G4, MM", Header::MM, 1, Codec::G4, false, 0, 0, false, 0, 0},
      {"1 bit, G4, black is zero", Header::EP, 1, Codec::G4, true, 0, 0, false, 0, 0},
      {"8 bit, none", Header::EP, 8, Codec::None, false, 0, 0, false, 0, 0},
      {"8 bit, none, MM strips", Header::MM, 8, Codec::None, false, 5, 0, false, 0, 0},
      {"8 bit, tiles", Header::EP, 8, Codec::None, false, 0, 16, false, 0, 0},
      {"8 bit, JPEG", Header::EP, 8, Codec::Jpeg, false, 0, 0, false, 24, 1.5},
      {"8 bit, JPEG, MM", Header::MM, 8, Codec::Jpeg, false, 0, 0, false, 24, 1.5},
      {"24 bit, none", Header::EP, 24, Codec::None, false, 0, 0, false, 0, 0},
      {"24 bit, none, MM", Header::MM, 24, Codec::None, false, 0, 0, false, 0, 0},
      {"24 bit, tiles", Header::II, 24, Codec::None, false, 0, 48, false, 0, 0},
      {"24 bit, JPEG", Header::EP, 24, Codec::Jpeg, false, 0, 0, false, 32, 2.5},
      {"8 bit, JPEG, strips", Header::II, 8, Codec::Jpeg, false, 16, 0, false, 24, 1.5},
      {"8 bit, JPEG, shared tables", Header::MM, 8, Codec::Jpeg, false, 24, 0, true, 24, 1.5},
      {"24 bit, JPEG, shared tables", Header::EP, 24, Codec::Jpeg, false, 40, 0, true, 32, 2.5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    // Three pages, so that decoding the middle one proves the right directory is read.
    std::vector<PageSpec> pages;
    for (uint32_t seed = 1; seed <= 3; ++seed) {
      PageSpec page = patternPage(203 + seed, 101 + seed, row.bits, row.codec, seed);
      page.blackIsZero = row.blackIsZero;
      page.rowsPerStrip = row.rowsPerStrip;
      page.tileSize = row.tileSize;
      page.jpegTables = row.jpegTables;
      pages.push_back(page);
    }
    mdi::Document doc = openBytes(docwriter::write(pages, row.header).bytes);
    mdi::PageImage image = mdi::decodePage(doc, 1);
    EXPECT_FALSE(image.placeholder);
    Difference d = compare(image, pages[1].raster);
    EXPECT_LE(d.largest, row.largest);
    EXPECT_LE(d.mean, row.mean);
  }
}

TEST(Decode, LargeG4PageWithLongRuns) {
  // Runs longer than 2560 pixels need the extended make-up codes.
  PageSpec page = patternPage(5100, 60, 1, Codec::G4, 7);
  page.raster.fill(0, 10, 5100, 3, 0x000000);
  page.raster.fill(100, 20, 4000, 1, 0x000000);
  mdi::Document doc = openBytes(docwriter::write({page}).bytes);
  Difference d = compare(mdi::decodePage(doc, 0), page.raster);
  EXPECT_EQ(0, d.largest);
}

bool hasDarkPixels(const mdi::PageImage& image, uint32_t x0, uint32_t y0, uint32_t x1,
                   uint32_t y1) {
  for (uint32_t y = y0; y < y1; ++y)
    for (uint32_t x = x0; x < x1; ++x)
      if (image.pixels[size_t(y) * image.stride + x] < 0x40) return true;
  return false;
}

TEST(Decode, PageNoCodecReadsBecomesAPlaceholderAndKeepsItsText) {
  struct Row {
    const char* name;
    uint16_t compression;
    std::vector<uint8_t> data;
  };
  const Row rows[] = {
      {"codec 34718", 34718, std::vector<uint8_t>(500, 0x5A)},
      {"codec 34719", 34719, std::vector<uint8_t>(500, 0x5A)},
      {"codec 34720", 34720, std::vector<uint8_t>(500, 0x5A)},
      {"broken JPEG", 7, std::vector<uint8_t>(500, 0x5A)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    PageSpec before = patternPage(300, 200, 1, Codec::G4, 1);
    PageSpec odd = patternPage(850, 1100, 8, Codec::None);
    odd.rawData = row.data;
    odd.extraTags.push_back(RawTag::shorts(259, {row.compression}));
    odd.text = "Still readable";
    mdi::Document doc = openBytes(docwriter::write({before, odd}).bytes);
    mdi::PageImage image = mdi::decodePage(doc, 1);
    EXPECT_TRUE(image.placeholder);
    EXPECT_EQ(850u, image.width);
    EXPECT_EQ(1100u, image.height);
    ASSERT_EQ(8, image.bitsPerPixel);
    ASSERT_EQ(size_t(image.stride) * image.height, image.pixels.size());
    EXPECT_EQ(u"Still readable", doc.pageText(1));
    // A frame at the edge, and the sentence's letters in the middle.
    EXPECT_LT(image.pixels[0], 0x40);
    EXPECT_TRUE(hasDarkPixels(image, 100, 500, 750, 600));
    EXPECT_FALSE(hasDarkPixels(image, 50, 50, 60, 60));
    // The pages around it still decode.
    EXPECT_FALSE(mdi::decodePage(doc, 0).placeholder);
  }
}

// libtiff takes a tile size alone for tiles, of any size; the walk saw strips and checked no
// tile. A gigapixel-wide tile must not be allocated.
TEST(Decode, TileSizeOnAPageOfStripsIsRefused) {
  PageSpec page = patternPage(40, 24, 8, Codec::None);
  page.extraTags = {RawTag::longs(322, {1u << 30}), RawTag::longs(323, {24})};
  mdi::Document doc = openBytes(docwriter::write({page}).bytes);
  ASSERT_FALSE(doc.page(0).tiled);
  mdi::DecodedPage decoded = mdi::decodeImage(doc, 0);
  EXPECT_FALSE(decoded.image);
  EXPECT_EQ("its directory does not describe its image data consistently", decoded.problem);
  EXPECT_TRUE(mdi::decodePage(doc, 0).placeholder);
}

// The sentence fits the page whatever its size: no letter reaches the edge of its box.
TEST(Decode, PlaceholderSentenceFitsSmallPages) {
  const struct {
    uint32_t width, height;
  } sizes[] = {{850, 1100}, {400, 60}, {200, 40}, {120, 200}, {127, 127}};
  for (const auto& size : sizes) {
    SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height));
    PageSpec odd = patternPage(size.width, size.height, 8, Codec::None);
    odd.rawData = std::vector<uint8_t>(500, 0x5A);
    odd.extraTags.push_back(RawTag::shorts(259, {34718}));
    mdi::Document doc = openBytes(docwriter::write({odd}).bytes);
    mdi::PageImage image = mdi::decodePage(doc, 0);
    ASSERT_TRUE(image.placeholder);
    // The box's inside is the only white on the page.
    uint32_t left = image.width, right = 0, top = image.height, bottom = 0;
    for (uint32_t y = 0; y < image.height; ++y)
      for (uint32_t x = 0; x < image.width; ++x)
        if (image.pixels[size_t(y) * image.stride + x] == 0xFF) {
          left = std::min(left, x), right = std::max(right, x);
          top = std::min(top, y), bottom = std::max(bottom, y);
        }
    ASSERT_LT(left, right);
    ASSERT_LT(top, bottom);
    size_t letters = 0;
    for (uint32_t y = top; y <= bottom; ++y)
      for (uint32_t x = left; x <= right; ++x) {
        const uint8_t level = image.pixels[size_t(y) * image.stride + x];
        if (level == 0xFF) continue;
        ++letters;
        EXPECT_TRUE(x > left && x < right && y > top && y < bottom)
            << "a letter touches the box at " << x << ", " << y;
      }
    EXPECT_GT(letters, 20u);
  }
}

}  // namespace
