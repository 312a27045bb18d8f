// The G4 decoder against the writer's encoder (bit for bit) and against libtiff, on the same
// documents.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "component/G4Decoder.h"
#include "component/reader/TiffDecode.h"
#include "tools/docwriter/DocWriter.h"

namespace {

using docwriter::Raster;

struct Pattern {
  const char* name;
  uint32_t width, height;
  std::function<void(Raster&)> paint;
};

uint32_t nextRandom(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

// Shapes that reach every coding mode: vertical offsets up to 3 and beyond (horizontal
// mode), passes, runs longer than 2560, lines that start black and end black.
const Pattern kPatterns[] = {
    {"blank", 64, 8, [](Raster&) {}},
    {"all black", 61, 5, [](Raster& r) { r.fill(0, 0, r.width, r.height, 0); }},
    {"single pixels", 37, 9,
     [](Raster& r) {
       for (uint32_t y = 0; y < r.height; ++y) r.set((y * 7) % r.width, y, 0);
     }},
    {"first and last columns", 33, 6,
     [](Raster& r) {
       r.fill(0, 0, 1, r.height, 0);
       r.fill(r.width - 1, 0, 1, r.height, 0);
     }},
    {"drifting edges", 200, 40,
     [](Raster& r) {
       for (uint32_t y = 0; y < r.height; ++y) {
         uint32_t shift = (y * y) % 9;  // offsets of 0 to 8 between lines
         r.fill(20 + shift, y, 30 + (y % 4), 1, 0);
         r.fill(120 - shift, y, 5, 1, 0);
       }
     }},
    {"stripes that vanish (passes)", 96, 12,
     [](Raster& r) {
       for (uint32_t y = 0; y < r.height; y += 2)
         for (uint32_t x = 0; x < r.width; x += 6) r.fill(x, y, 2, 1, 0);
     }},
    {"long runs", 5200, 6,
     [](Raster& r) {
       r.fill(0, 1, 2700, 1, 0);
       r.fill(2900, 3, 2300, 1, 0);
       r.fill(10, 5, 5190, 1, 0);
     }},
    {"noise", 301, 57,
     [](Raster& r) {
       uint32_t state = 7;
       for (uint32_t y = 0; y < r.height; ++y)
         for (uint32_t x = 0; x < r.width; ++x)
           if (nextRandom(state) % 3 == 0) r.set(x, y, 0);
     }},
    {"text-like blocks", 800, 120,
     [](Raster& r) {
       uint32_t state = 11;
       for (uint32_t line = 10; line + 20 < r.height; line += 30)
         for (uint32_t x = 40; x + 12 < r.width - 40; x += 10 + nextRandom(state) % 6) {
           uint32_t tall = 8 + nextRandom(state) % 12;
           r.fill(x, line + 20 - tall, 2 + nextRandom(state) % 4, tall, 0);
           r.fill(x, line + 10, 6, 2, 0);
         }
     }},
};

Raster make(const Pattern& p) {
  Raster r = Raster::blank(p.width, p.height, 1);
  p.paint(r);
  return r;
}

uint32_t strideOf(uint32_t width) {
  return ((width + 31) / 32) * 4;
}

// The decoded pixels (set bits white) agree with the raster (set bits ink) on every pixel.
::testing::AssertionResult samePixels(const Raster& raster, const uint8_t* decoded, size_t stride) {
  for (uint32_t y = 0; y < raster.height; ++y)
    for (uint32_t x = 0; x < raster.width; ++x) {
      bool ink = raster.data[y * raster.stride() + x / 8] & (0x80 >> (x % 8));
      bool white = decoded[y * stride + x / 8] & (0x80 >> (x % 8));
      if (ink == white)
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") differs";
    }
  return ::testing::AssertionSuccess();
}

TEST(G4Decoder, DecodesWhatTheEncoderWrote) {
  for (const Pattern& p : kPatterns) {
    SCOPED_TRACE(p.name);
    Raster raster = make(p);
    std::vector<uint8_t> coded = docwriter::encodeG4(raster);
    std::vector<uint8_t> out(strideOf(p.width) * p.height, 0x5A);
    ASSERT_TRUE(mdi::decodeG4Strip(coded.data(), coded.size(), p.width, p.height, out.data(),
                                   strideOf(p.width)));
    EXPECT_TRUE(samePixels(raster, out.data(), strideOf(p.width)));
  }
}

TEST(G4Decoder, RefusesCutAndBrokenData) {
  Raster raster = make(kPatterns[7]);
  std::vector<uint8_t> coded = docwriter::encodeG4(raster);
  std::vector<uint8_t> out(strideOf(raster.width) * raster.height);
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
  };
  std::vector<uint8_t> junk(coded.size(), 0x00);  // zeros: neither a mode nor a run
  Case cases[] = {{"cut in half", {coded.begin(), coded.begin() + coded.size() / 2}},
                  {"empty", {}},
                  {"zeros", junk}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(mdi::decodeG4Strip(c.data.data(), c.data.size(), raster.width, raster.height,
                                    out.data(), strideOf(raster.width)));
  }
}

// The component's own decoder and libtiff agree on every pattern, either photometric.
TEST(G4Decoder, PagesMatchLibtiff) {
  for (bool blackIsZero : {false, true})
    for (const Pattern& p : kPatterns) {
      SCOPED_TRACE(std::string(p.name) + (blackIsZero ? ", black is zero" : ""));
      docwriter::PageSpec spec;
      spec.raster = make(p);
      spec.codec = docwriter::Codec::G4;
      spec.blackIsZero = blackIsZero;
      mdi::Document document = mdi::Document::open(
          mdi::memorySource(docwriter::write({spec}, docwriter::Header::II).bytes));
      std::optional<mdi::PageImage> ours = mdi::decodeG4Page(document, 0);
      ASSERT_TRUE(ours.has_value());
      ASSERT_EQ(strideOf(p.width), ours->stride);
      mdi::TiffDecoded libtiff = mdi::decodeWithLibtiff(document, 0);
      ASSERT_TRUE(libtiff.image.has_value()) << libtiff.error;
      EXPECT_TRUE(samePixels(spec.raster, libtiff.image->pixels.data(), libtiff.image->stride))
          << "libtiff itself disagrees";
      EXPECT_TRUE(samePixels(spec.raster, ours->pixels.data(), ours->stride));
    }
}

TEST(G4Decoder, LeavesOtherCodingsToOthers) {
  docwriter::PageSpec spec;
  spec.raster = make(kPatterns[7]);
  spec.codec = docwriter::Codec::G4;
  struct Case {
    const char* name;
    docwriter::RawTag tag;
  };
  Case cases[] = {{"fill order 2", docwriter::RawTag::shorts(266, {2})},
                  {"uncompressed mode allowed", docwriter::RawTag::longs(293, {2})}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    docwriter::PageSpec changed = spec;
    changed.extraTags = {c.tag};
    mdi::Document document =
        mdi::Document::open(mdi::memorySource(docwriter::write({changed}).bytes));
    EXPECT_FALSE(mdi::decodeG4Page(document, 0).has_value());
  }
  docwriter::PageSpec plain = spec;
  plain.extraTags = {docwriter::RawTag::shorts(266, {1})};
  mdi::Document document = mdi::Document::open(mdi::memorySource(docwriter::write({plain}).bytes));
  EXPECT_TRUE(mdi::decodeG4Page(document, 0).has_value());
}

}  // namespace
