// Opening documents: headers, the directory chain, page facts, and refusing bad input.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "document/PageReader.h"
#include "fuzz/regressions/Findings.h"
#include "tests/reader/Documents.h"

using docwriter::Codec;
using docwriter::Header;
using docwriter::PageSpec;
using docwriter::RawTag;
using readertest::openBytes;
using readertest::patternPage;

namespace {

std::vector<PageSpec> threeMixedPages() {
  PageSpec first = patternPage(120, 90, 1, Codec::G4, 1);
  first.dpi = 200;
  PageSpec second = patternPage(64, 48, 8, Codec::Jpeg, 2);
  second.dpi = 0;
  PageSpec third = patternPage(40, 30, 24, Codec::None, 3);
  third.dpi = 300;
  third.dpiInCm = true;
  return {first, second, third};
}

// What libtiff reads of the page's directory, as every decoder and output takes it.
mdi::ImageFormat formatOf(const mdi::Document& doc, size_t index) {
  mdi::PageReader reader(doc, index);
  EXPECT_TRUE(reader.tiff()) << reader.problem();
  return reader.format();
}

TEST(Container, ReadsEachHeaderAndEveryPageOfTheChain) {
  struct Row {
    const char* name;
    Header header;
    bool bigEndian;
  };
  for (const Row& row :
       {Row{"EP", Header::EP, false}, Row{"II", Header::II, false}, Row{"MM", Header::MM, true}}) {
    SCOPED_TRACE(row.name);
    mdi::Document doc = openBytes(docwriter::write(threeMixedPages(), row.header).bytes);
    EXPECT_EQ(row.bigEndian, doc.bigEndian());
    ASSERT_EQ(3u, doc.pageCount());
    const mdi::Page& g4 = doc.page(0);
    EXPECT_EQ(120u, g4.width);
    EXPECT_EQ(90u, g4.height);
    const mdi::ImageFormat g4Format = formatOf(doc, 0);
    EXPECT_EQ(1, g4Format.bitsPerSample);
    EXPECT_EQ(1, g4Format.samplesPerPixel);
    EXPECT_EQ(0, g4Format.photometric);
    EXPECT_EQ(4, g4Format.compression);
    EXPECT_DOUBLE_EQ(200.0, g4.dpiX);
    EXPECT_DOUBLE_EQ(200.0, g4.dpiY);
    const mdi::Page& grey = doc.page(1);
    EXPECT_EQ(64u, grey.width);
    EXPECT_EQ(48u, grey.height);
    const mdi::ImageFormat greyFormat = formatOf(doc, 1);
    EXPECT_EQ(8, greyFormat.bitsPerSample);
    EXPECT_EQ(1, greyFormat.samplesPerPixel);
    EXPECT_EQ(7, greyFormat.compression);
    EXPECT_EQ(0.0, grey.dpiX);  // no resolution stated
    const mdi::Page& colour = doc.page(2);
    EXPECT_EQ(40u, colour.width);
    const mdi::ImageFormat colourFormat = formatOf(doc, 2);
    EXPECT_EQ(8, colourFormat.bitsPerSample);
    EXPECT_EQ(3, colourFormat.samplesPerPixel);
    EXPECT_EQ(2, colourFormat.photometric);
    EXPECT_EQ(1, colourFormat.compression);
    EXPECT_NEAR(300.0, colour.dpiX, 0.05);  // stated per centimetre
    EXPECT_FALSE(colour.tiled);
  }
}

TEST(Container, ResolutionWithoutAbsoluteUnitIsUnknown) {
  PageSpec page = patternPage(16, 16, 8, Codec::None);
  page.extraTags.push_back(RawTag::shorts(296, {1}));
  EXPECT_EQ(0.0, openBytes(docwriter::write({page}).bytes).page(0).dpiX);
}

TEST(Container, ReadsStripsAndTiles) {
  PageSpec strips = patternPage(50, 40, 1, Codec::None);
  strips.rowsPerStrip = 3;
  PageSpec tiles = patternPage(50, 40, 24, Codec::None);
  tiles.tileSize = 16;
  mdi::Document doc = openBytes(docwriter::write({strips, tiles}, Header::MM).bytes);
  EXPECT_FALSE(doc.page(0).tiled);
  EXPECT_TRUE(doc.page(1).tiled);
}

// Counts reads and remembers which bytes were read.
class WatchedSource : public mdi::ByteSource {
 public:
  explicit WatchedSource(std::vector<uint8_t> bytes, std::vector<bool>* touched, size_t* reads)
      : inner_(mdi::memorySource(std::move(bytes))), touched_(touched), reads_(reads) {}
  uint64_t size() const override { return inner_->size(); }
  void read(uint64_t offset, void* dst, size_t len) const override {
    ++*reads_;
    inner_->read(offset, dst, len);
    for (size_t i = 0; i < len; ++i) (*touched_)[offset + i] = true;
  }

 private:
  std::unique_ptr<mdi::ByteSource> inner_;
  std::vector<bool>* touched_;
  size_t* reads_;
};

TEST(Container, OpensAThousandPagesWithoutReadingTheirImages) {
  std::vector<PageSpec> pages;
  for (uint32_t i = 0; i < 1000; ++i) {
    PageSpec page = patternPage(256, 200, 1, Codec::None, i);
    page.text = "page " + std::to_string(i + 1);
    pages.push_back(page);
  }
  docwriter::Written written = docwriter::write(pages);
  std::vector<bool> touched(written.bytes.size());
  size_t reads = 0;
  mdi::Document doc =
      mdi::Document::open(std::make_unique<WatchedSource>(written.bytes, &touched, &reads));
  ASSERT_EQ(1000u, doc.pageCount());
  // The directory and the resolution values: a handful of reads per page.
  EXPECT_LE(reads, 1000u * 4);
  // Reading a directory may read a little past it, never the images themselves.
  uint64_t imageBytes = 0, imageBytesRead = 0;
  for (const docwriter::PageLayout& layout : written.pages) {
    imageBytes += layout.dataSize;
    for (uint64_t at = layout.dataOffset; at < layout.dataOffset + layout.dataSize; ++at)
      imageBytesRead += touched[at];
  }
  EXPECT_LT(imageBytesRead, imageBytes / 10);
  EXPECT_EQ(u"page 1000", doc.pageText(999));
}

TEST(Container, CutsAChainThatLoops) {
  struct Row {
    const char* name;
    size_t from;  // the page whose link is bent back
    size_t to;
    size_t pages;
  };
  for (const Row& row : {Row{"to itself", 0, 0, 1}, Row{"last to first", 2, 0, 3},
                         Row{"last to second", 2, 1, 3}, Row{"second to first", 1, 0, 2}}) {
    SCOPED_TRACE(row.name);
    docwriter::Written written = docwriter::write(threeMixedPages(), Header::II);
    uint32_t target = uint32_t(written.pages[row.to].ifdOffset);
    std::memcpy(&written.bytes[written.pages[row.from].nextPointerOffset], &target, 4);
    EXPECT_EQ(row.pages, openBytes(written.bytes).pageCount());
  }
}

std::vector<uint8_t> bytesOf(const std::string& text) {
  return {text.begin(), text.end()};
}

TEST(Container, RefusesBadFilesNamingTheReason) {
  docwriter::Written good = docwriter::write(threeMixedPages(), Header::EP);
  auto cut = [&good](uint64_t length) {
    return std::vector<uint8_t>(good.bytes.begin(), good.bytes.begin() + length);
  };
  auto patched = [&good](uint64_t at, uint32_t value) {
    std::vector<uint8_t> bytes = good.bytes;
    std::memcpy(&bytes[at], &value, 4);
    return bytes;
  };
  PageSpec huge = patternPage(16, 16, 1, Codec::None);
  huge.extraTags = {RawTag::longs(256, {30000}), RawTag::longs(257, {30000})};
  PageSpec noWidth = patternPage(16, 16, 1, Codec::None);
  noWidth.extraTags = {RawTag::longs(256, {0})};
  PageSpec noData = patternPage(16, 16, 1, Codec::None);
  noData.extraTags = {RawTag::longs(273, {0x7FFFFFF0})};
  struct Row {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* message;
  };
  const Row rows[] = {
      {"empty", {}, "The file is empty."},
      {"text file", bytesOf("Hello, this is a letter.\n"),
       "The file is not a document: it does not begin with a TIFF header."},
      {"wrong mark", bytesOf(std::string("II,\0\x08\0\0\0", 8)), "lacks the TIFF mark 42"},
      {"BigTIFF mark, short header", bytesOf(std::string("II+\0\x08\0\0\0", 8)),
       "its BigTIFF header is malformed"},
      {"EP big-endian mark", bytesOf(std::string("EP\0*\x08\0\0\0", 8)), "lacks the TIFF mark 42"},
      {"header only", bytesOf(std::string("II*\0", 4)), "too short to be a document"},
      {"no pages", patched(4, 0), "The document has no pages."},
      {"first directory past the end", patched(4, 0x10000000), "truncated"},
      {"cut in the first image", cut(good.pages[0].dataOffset + 10), "truncated"},
      {"absurd dimensions", docwriter::write({huge}).bytes, "is too large"},
      {"no width", docwriter::write({noWidth}).bytes, "has no width or height"},
      {"strip past the end", docwriter::write({noData}).bytes, "truncated"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    try {
      openBytes(row.bytes);
      ADD_FAILURE() << "opened";
    } catch (const mdi::ReadError& e) {
      EXPECT_NE(std::string::npos, std::string(e.what()).find(row.message)) << e.what();
    }
  }
}

// Damaged archives show what can be read: a broken link or a damaged page ends the document
// at the page before it, saying where and why, and a malformed optional tag counts as absent.
TEST(Container, ShowsThePagesBeforeTheDamage) {
  docwriter::Written good = docwriter::write(threeMixedPages(), Header::EP);
  auto cut = [&good](uint64_t length) {
    return std::vector<uint8_t>(good.bytes.begin(), good.bytes.begin() + length);
  };
  std::vector<uint8_t> linkPastTheEnd = good.bytes;
  const uint32_t farAway = 0x10000000;
  std::memcpy(&linkPastTheEnd[good.pages[1].nextPointerOffset], &farAway, 4);
  struct Row {
    const char* name;
    std::vector<uint8_t> bytes;
    size_t pages;
    uint64_t endedAt;
  };
  const Row rows[] = {
      {"link after page 2 past the end", linkPastTheEnd, 2, farAway},
      {"cut in the last directory", cut(good.pages[2].ifdOffset + 20), 2, good.pages[2].ifdOffset},
      {"cut in the last image", cut(good.pages[2].dataOffset + 10), 2, good.pages[2].ifdOffset},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    mdi::Document doc = openBytes(row.bytes);
    EXPECT_EQ(row.pages, doc.pageCount());
    EXPECT_EQ(good.pages[1].ifdOffset, doc.page(1).ifdOffset);
    EXPECT_NE(std::string::npos, doc.endedEarly().find("page 3")) << doc.endedEarly();
    EXPECT_EQ(row.endedAt, doc.endedEarlyAt());
  }
  EXPECT_EQ("", openBytes(good.bytes).endedEarly());

  PageSpec oddResolution = patternPage(40, 30, 1, Codec::None);
  oddResolution.dpi = 300;
  oddResolution.text = "still here";
  docwriter::Written odd = docwriter::write({oddResolution, oddResolution});
  // Page 1's resolution stored as a SHORT, a type no resolution has.
  const uint16_t shortType = 3;
  std::memcpy(&odd.bytes[findings::entryOf(odd.bytes, odd.pages[0].ifdOffset, 282) + 2], &shortType,
              2);
  mdi::Document doc = openBytes(odd.bytes);
  ASSERT_EQ(2u, doc.pageCount());
  EXPECT_EQ(0, doc.page(0).dpiX);
  EXPECT_EQ(300, doc.page(1).dpiX);
  EXPECT_EQ(u"still here", doc.pageText(0));
}

TEST(Container, SinglePageViewPresentsOnePlainTiff) {
  struct Row {
    const char* name;
    Header header;
    const char* mark;
  };
  for (const Row& row : {Row{"EP", Header::EP, "II"}, Row{"MM", Header::MM, "MM"}}) {
    SCOPED_TRACE(row.name);
    docwriter::Written written = docwriter::write(threeMixedPages(), row.header);
    mdi::Document doc = openBytes(written.bytes);
    std::unique_ptr<mdi::ByteSource> view = doc.singlePageView(1);
    ASSERT_EQ(written.bytes.size(), view->size());
    std::vector<uint8_t> seen(view->size());
    view->read(0, seen.data(), seen.size());
    EXPECT_EQ(0, std::memcmp(seen.data(), row.mark, 2));
    // The view of page 2 is a document of page 2 alone.
    mdi::Document single = openBytes(seen);
    ASSERT_EQ(1u, single.pageCount());
    EXPECT_EQ(written.pages[1].ifdOffset, single.page(0).ifdOffset);
    // Everything else reads through unchanged.
    std::vector<uint8_t> expected = written.bytes;
    std::memcpy(expected.data(), seen.data(), 8);
    std::memset(&expected[written.pages[1].nextPointerOffset], 0, 4);
    EXPECT_EQ(expected, seen);
    // Reads that straddle the patched bytes see them too.
    uint8_t piece[6];
    view->read(written.pages[1].nextPointerOffset - 1, piece, sizeof piece);
    EXPECT_EQ(0, piece[1] | piece[2] | piece[3] | piece[4]);
  }
}

// BigTIFF, either byte order: its pages, their text and pixels, and a page's view alone.
TEST(Container, ReadsBigTiff) {
  for (bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "MM" : "II");
    mdi::Document doc = openBytes(findings::bigTiffDocument(bigEndian));
    EXPECT_TRUE(doc.bigTiff());
    ASSERT_EQ(2u, doc.pageCount());
    EXPECT_EQ(24u, doc.page(1).width);
    EXPECT_EQ(u"Big page 2", doc.pageText(1));
    mdi::DecodedPage decoded = mdi::decodeImage(doc, 1);
    ASSERT_TRUE(decoded.image) << decoded.problem;
    EXPECT_EQ(2 * (24 + 3), decoded.image->pixels[decoded.image->stride + 3]);  // grey 2 i
    std::unique_ptr<mdi::ByteSource> view = doc.singlePageView(1);
    std::vector<uint8_t> seen(view->size());
    view->read(0, seen.data(), seen.size());
    EXPECT_EQ(1u, openBytes(seen).pageCount());
  }
}

// Damaged bytes anywhere in the directories: open either succeeds or refuses, never
// anything else.
TEST(Container, SurvivesDamagedDirectories) {
  std::vector<PageSpec> pages = threeMixedPages();
  pages[0].text = "some text";
  docwriter::Written good = docwriter::write(pages, Header::II);
  const uint8_t values[] = {0x00, 0x01, 0x7F, 0x80, 0xFF};
  size_t refused = 0, opened = 0;
  for (const docwriter::PageLayout& layout : good.pages) {
    for (uint64_t at = layout.ifdOffset; at < layout.nextPointerOffset + 4; ++at) {
      for (uint8_t v : values) {
        std::vector<uint8_t> bytes = good.bytes;
        bytes[at] = v;
        try {
          mdi::Document doc = openBytes(bytes);
          for (size_t i = 0; i < doc.pageCount(); ++i) doc.pageText(i);
          ++opened;
        } catch (const mdi::ReadError&) {
          ++refused;
        }
      }
    }
  }
  EXPECT_GT(refused, 0u);
  EXPECT_GT(opened, 0u);
}

}  // namespace
