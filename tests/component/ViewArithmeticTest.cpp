// The view's arithmetic and pixel work, without windows: fitting, layout and
// the reduction of pages for the screen.
#include <gtest/gtest.h>

#include "component/Downscale.h"
#include "component/ViewLayout.h"

namespace componenttest {
namespace {

using namespace mipv;

ViewGeometry geometry(int viewWidth, int viewHeight, int pageWidth, int pageHeight, double dpiX,
                      double dpiY) {
  ViewGeometry g;
  g.viewWidth = viewWidth;
  g.viewHeight = viewHeight;
  g.pageWidth = pageWidth;
  g.pageHeight = pageHeight;
  g.pageDpiX = dpiX;
  g.pageDpiY = dpiY;
  return g;
}

TEST(Fitting, EachModeFitsItsMeasure) {
  // 816 x 1056 view pixels at scale 1 (8.5 x 11 inches at 96 dpi).
  ViewGeometry g = geometry(416, 316, 1700, 2200, 200, 200);
  struct Row {
    FitMode mode;
    RECT content;
    double scale;
  } rows[] = {
      {FitWidth, {}, 400.0 / 816},
      {FitHeight, {}, 300.0 / 1056},
      {FitWindow, {}, 300.0 / 1056},
      {FitContent, {100, 100, 300, 200}, std::min(400.0 / 96, 300.0 / 48)},
      {FitContent, {}, 300.0 / 1056},  // a blank page fits as a whole
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.mode);
    Scale s = fitScale(g, row.mode, row.content);
    EXPECT_DOUBLE_EQ(row.scale, s.x);
    EXPECT_DOUBLE_EQ(row.scale, s.y);
  }
}

TEST(Fitting, UnequalResolutionsKeepThePhysicalShape) {
  // A fax page: 1728 x 1100 at 204 x 98 dpi is about 8.5 x 11.2 inches.
  ViewGeometry g = geometry(1000, 1000, 1728, 1100, 204, 98);
  Layout l = layOut(g, fitScale(g, FitWindow, RECT{}));
  EXPECT_NEAR(1728 / 204.0 / (1100 / 98.0), double(l.pageWidth) / l.pageHeight, 0.01);
  EXPECT_EQ(1000 - 2 * kPageMargin, l.pageHeight);
}

TEST(Fitting, ScalesAreKeptWithinRange) {
  ViewGeometry tiny = geometry(3000, 3000, 1, 1, 200, 200);
  EXPECT_EQ(kMaxScale, fitScale(tiny, FitWindow, RECT{}).x);
  ViewGeometry huge = geometry(20, 20, 100000, 100000, 72, 72);
  EXPECT_EQ(kMinScale, fitScale(huge, FitWindow, RECT{}).x);
}

TEST(Layout, SmallPagesAreCentredLargePagesScroll) {
  ViewGeometry g = geometry(500, 400, 200, 100, 96, 96);
  Layout small = layOut(g, Scale{1, 1});
  EXPECT_EQ(0, small.maxScrollX);
  EXPECT_EQ(0, small.maxScrollY);
  RECT page = pageRectInView(small, 0, 0);
  EXPECT_EQ(150, page.left);
  EXPECT_EQ(150, page.top);
  Layout large = layOut(g, Scale{4, 4});  // 800 x 400
  EXPECT_EQ(800 + 2 * kPageMargin - 500, large.maxScrollX);
  EXPECT_EQ(400 + 2 * kPageMargin - 400, large.maxScrollY);
  page = pageRectInView(large, 100, 10);
  EXPECT_EQ(kPageMargin - 100, page.left);
  EXPECT_EQ(kPageMargin - 10, page.top);
  RECT shown = visiblePageRect(g, large, 100, 10);
  EXPECT_EQ(23, shown.left);    // (100 - 8) / 4
  EXPECT_EQ(148, shown.right);  // (100 - 8 + 500) / 4
  EXPECT_EQ(1, shown.top);
  EXPECT_EQ(100, shown.bottom);
}

TEST(Layout, CentringAnAreaStaysWithinTheScrollRange) {
  ViewGeometry g = geometry(100, 100, 1000, 1000, 96, 96);
  Layout l = layOut(g, Scale{1, 1});
  POINT middle = scrollToCentre(g, l, RECT{400, 400, 600, 600});
  EXPECT_EQ(458, middle.x);  // 8 + 500 - 50
  EXPECT_EQ(458, middle.y);
  POINT corner = scrollToCentre(g, l, RECT{0, 0, 10, 10});
  EXPECT_EQ(0, corner.x);
  POINT last = scrollToCentre(g, l, RECT{990, 990, 1000, 1000});
  EXPECT_EQ(l.maxScrollX, last.x);
}

mdi::PageImage image(uint32_t width, uint32_t height, int bits) {
  mdi::PageImage p;
  p.width = width;
  p.height = height;
  p.bitsPerPixel = bits;
  p.stride = ((width * bits + 31) / 32) * 4;
  p.pixels.assign(size_t(p.stride) * height, bits == 1 ? 0xFF : 0xFF);
  return p;
}

void setBlack(mdi::PageImage& p, uint32_t x, uint32_t y) {
  uint8_t* row = p.pixels.data() + size_t(y) * p.stride;
  if (p.bitsPerPixel == 1)
    row[x / 8] &= uint8_t(~(0x80 >> (x % 8)));
  else
    for (int c = 0; c < p.bitsPerPixel / 8; ++c) row[x * (p.bitsPerPixel / 8) + c] = 0;
}

TEST(Reduction, BlackAndWhiteBecomesTheMeanGrey) {
  // 8 x 2 pixels: columns 0-1 black, 2-3 half black, 4-7 white; reduced to 4 x 1.
  mdi::PageImage p = image(8, 2, 1);
  for (uint32_t y = 0; y < 2; ++y) {
    setBlack(p, 0, y);
    setBlack(p, 1, y);
  }
  setBlack(p, 2, 0);
  setBlack(p, 3, 1);
  uint8_t out[4] = {};
  reduce(p, 4, 1, out, 4);
  EXPECT_EQ(0, out[0]);
  EXPECT_EQ(128, out[1]);
  EXPECT_EQ(255, out[2]);
  EXPECT_EQ(255, out[3]);
  EXPECT_EQ(8, reducedDepth(p));
}

TEST(Reduction, WideBlackAndWhitePagesCountBitsAcrossBytes) {
  mdi::PageImage p = image(100, 1, 1);
  for (uint32_t x = 5; x < 45; ++x) setBlack(p, x, 0);  // 40 of the first 50 pixels
  uint8_t out[2] = {};
  reduce(p, 2, 1, out, 4);
  EXPECT_EQ(51, out[0]);  // 10 white of 50
  EXPECT_EQ(255, out[1]);
}

TEST(Reduction, ColourKeepsItsChannels) {
  mdi::PageImage p = image(2, 2, 24);
  p.pixels[0] = 0;  // blue of (0,0)
  uint8_t out[4] = {};
  reduce(p, 1, 1, out, 4);
  EXPECT_EQ(191, out[0]);  // (0 + 3 * 255) / 4
  EXPECT_EQ(255, out[1]);
  EXPECT_EQ(255, out[2]);
  EXPECT_EQ(24, reducedDepth(p));
}

TEST(ContentBounds, FindsTheInkOfEachDepth) {
  for (int bits : {1, 8, 24}) {
    SCOPED_TRACE(bits);
    mdi::PageImage p = image(50, 40, bits);
    RECT box{};
    EXPECT_FALSE(contentBounds(p, box));
    setBlack(p, 12, 7);
    setBlack(p, 33, 20);
    setBlack(p, 20, 30);
    ASSERT_TRUE(contentBounds(p, box));
    EXPECT_EQ(12, box.left);
    EXPECT_EQ(7, box.top);
    EXPECT_EQ(34, box.right);
    EXPECT_EQ(31, box.bottom);
  }
}

TEST(ContentBounds, PaddingBitsAreNotInk) {
  mdi::PageImage p = image(10, 3, 1);
  for (auto& byte : p.pixels) byte = 0xFF;
  p.pixels[1] = 0xC0;  // pixels 8 and 9 white, the padding after them zero
  RECT box{};
  EXPECT_FALSE(contentBounds(p, box));
}

}  // namespace
}  // namespace componenttest
