// The bundled sample opens, shows its three pages and holds their text.
#include <gtest/gtest.h>

#include <string>

#include "component/PageFile.h"
#include "component/PageImage.h"

namespace {

// The sample's path as Wine sees the Linux file system (drive Z:).
std::wstring samplePath() {
  std::string path = "Z:" FOLIREX_SOURCE_DIR "/samples/sample.mdi";
  return std::wstring(path.begin(), path.end());
}

TEST(Sample, ShowsThreePagesOfDifferentDepthsWithTheirText) {
  mdi::Document doc = mdi::Document::open(mdi::openFileSource(samplePath()));
  ASSERT_EQ(3u, doc.pageCount());
  const int depths[3] = {1, 8, 24};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i + 1);
    std::u16string text = doc.pageText(i);
    std::string number = std::to_string(i + 1);
    EXPECT_EQ(0u, text.find(u"Folirex sample document \nPage "));
    EXPECT_NE(std::u16string::npos,
              text.find(std::u16string(number.begin(), number.end()) + u" of 3"));
    mdi::PageImage image = mdi::decodePage(doc, i);
    EXPECT_FALSE(image.placeholder);
    EXPECT_EQ(depths[i], image.bitsPerPixel);
    EXPECT_EQ(583u, image.width);
    EXPECT_DOUBLE_EQ(100.0, doc.page(i).dpiX);
  }
}

}  // namespace
