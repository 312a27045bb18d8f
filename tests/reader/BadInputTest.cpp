// Hostile and damaged input: the fuzzer's findings, decompression bombs and absurd pages.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "component/PageImage.h"
#include "document/PageReader.h"
#include "fuzz/Walk.h"
#include "fuzz/regressions/Findings.h"
#include "tests/reader/Documents.h"

using docwriter::Codec;
using docwriter::PageSpec;
using docwriter::RawTag;
using readertest::openBytes;
using readertest::patternPage;

namespace {

double secondsSince(std::chrono::steady_clock::time_point started) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

// The same cases fuzz/run replays natively under the sanitizers.
TEST(BadInput, RecordedFindingsOpenOrAreRefusedAsExpected) {
  for (const findings::Finding& f : findings::all()) {
    SCOPED_TRACE(f.name);
    auto started = std::chrono::steady_clock::now();
    fuzzwalk::Outcome got = fuzzwalk::walk(f.bytes.data(), f.bytes.size());
    EXPECT_LT(secondsSince(started), 2.0);
    if (f.refusal.empty()) {
      ASSERT_TRUE(got.opened) << got.refusal;
      EXPECT_EQ(f.pages, got.pages);
      EXPECT_EQ(f.undecodable, got.undecodable);
      if (f.problem.empty())
        EXPECT_EQ("", got.problem);
      else
        EXPECT_NE(std::string::npos, got.problem.find(f.problem)) << got.problem;
    } else {
      EXPECT_FALSE(got.opened);
      EXPECT_NE(std::string::npos, got.refusal.find(f.refusal)) << got.refusal;
    }
  }
}

// A page whose few bytes claim a large colour image is shown as the placeholder, without
// decoding; the document opens, its text is there and its other pages show.
TEST(BadInput, BombPageBecomesAPlaceholderAndKeepsItsText) {
  PageSpec before = patternPage(120, 90, 1, Codec::G4, 1);
  before.text = "Before";
  PageSpec bomb = patternPage(8, 8, 24, Codec::None);
  bomb.rawData = std::vector<uint8_t>(64, 0x80);
  bomb.extraTags = {RawTag::longs(256, {6000}), RawTag::longs(257, {8000}),
                    RawTag::longs(278, {8000}), RawTag::shorts(259, {5})};
  bomb.text = "Still copyable";
  mdi::Document doc = openBytes(docwriter::write({before, bomb}).bytes);
  ASSERT_EQ(2u, doc.pageCount());
  EXPECT_EQ("its image data is cut short or claims far more pixels than it holds",
            mdi::PageReader(doc, 1).problem());
  EXPECT_EQ("", mdi::PageReader(doc, 0).problem());
  mdi::PageImage image = mdi::decodePage(doc, 1);
  EXPECT_TRUE(image.placeholder);
  EXPECT_EQ(6000u, image.width);
  EXPECT_EQ(8000u, image.height);
  EXPECT_EQ(u"Still copyable", doc.pageText(1));
  EXPECT_EQ(u"Before", doc.pageText(0));
  EXPECT_FALSE(mdi::decodePage(doc, 0).placeholder);
}

// A strip whose JPEG frame header claims more than its strip: libtiff decodes the strip's own
// rows of a taller frame, and refuses one wider than its page.
TEST(BadInput, JpegStripClaimingALargerFrameIsNotDecoded) {
  struct Row {
    const char* name;
    uint16_t width;
    uint16_t height;
    bool placeholder;
  };
  const Row rows[] = {
      {"as written", 64, 48, false},
      {"taller than its strip", 64, 4000, false},
      {"wider than its page", 4000, 48, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    PageSpec page = patternPage(64, 48, 8, Codec::Jpeg, 2);
    page.text = "jpeg";
    docwriter::Written w = docwriter::write({page});
    // The frame header (FF C0, length, precision, height, width) in the only strip.
    size_t at = size_t(w.pages[0].dataOffset);
    while (!(w.bytes[at] == 0xFF && w.bytes[at + 1] == 0xC0)) ++at;
    w.bytes[at + 5] = uint8_t(row.height >> 8);
    w.bytes[at + 6] = uint8_t(row.height);
    w.bytes[at + 7] = uint8_t(row.width >> 8);
    w.bytes[at + 8] = uint8_t(row.width);
    mdi::Document doc = openBytes(w.bytes);
    mdi::PageImage image = mdi::decodePage(doc, 0);
    EXPECT_EQ(row.placeholder, image.placeholder);
    EXPECT_EQ(64u, image.width);
    EXPECT_EQ(u"jpeg", doc.pageText(0));
  }
}

}  // namespace
