// Pages are decoded by the document library; a page it cannot decode (the imaging software's
// own codings 34718 to 34720, damaged data) becomes its placeholder, with a sentence drawn on
// it here that says so.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "component/PageImage.h"
#include "document/PageReader.h"
#include "framework/Handles.h"

namespace mdi {

namespace {

// --- The placeholder --------------------------------------------------------

constexpr uint8_t kInk = 0x00;
const char kCannotShow[] = "This page's image cannot be shown.";

// Draws the sentence, black on white, into a grey box in the page's middle. The font is
// sized to the page so that it stays readable when the page is fitted to a window.
HFONT messageFont(int height) {
  return CreateFontA(-height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                     VARIABLE_PITCH | FF_SWISS, "Tahoma");
}

// The sentence and its margins (a font height on either side, half of one above and below).
bool messageFits(SIZE extent, int fontHeight, const PageImage& img) {
  return extent.cx + 2 * fontHeight <= int(img.width) && extent.cy + fontHeight <= int(img.height);
}

void drawMessage(PageImage& img) {
  // The sentence takes up to about two thirds of the page's width, and shrinks until it
  // fits whatever the page's size.
  int fontHeight = std::max(1, std::min(int(img.width) * 2 / 3 / 14, int(img.height) / 8));
  framework::Dc memory(CreateCompatibleDC(nullptr));
  if (!memory) return;
  const HDC dc = memory.get();
  framework::GdiObject<HFONT> font;
  SIZE extent{};
  for (;;) {
    font.reset(messageFont(fontHeight));
    if (!font) return;
    framework::Selected measured(dc, font.get());
    GetTextExtentPoint32A(dc, kCannotShow, int(sizeof(kCannotShow) - 1), &extent);
    if (messageFits(extent, fontHeight, img) || fontHeight == 1) break;
    const double scale = std::min(double(img.width) / double(extent.cx + 2 * fontHeight),
                                  double(img.height) / double(extent.cy + fontHeight));
    fontHeight = std::max(1, std::min(fontHeight - 1, int(fontHeight * scale)));
  }
  int boxW = std::min(int(img.width), int(extent.cx) + fontHeight * 2);
  int boxH = std::min(int(img.height), int(extent.cy) + fontHeight);
  // A small top-down 8-bit grey DIB for the box, copied into the page afterwards.
  framework::BitmapInfo info{};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = boxW;
  info.header.biHeight = -boxH;
  info.header.biPlanes = 1;
  info.header.biBitCount = 8;
  info.header.biCompression = BI_RGB;
  for (int i = 0; i < 256; ++i) info.colors[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
  void* bits = nullptr;
  framework::Bitmap bitmap(CreateDIBSection(dc, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || !bits) return;
  framework::Selected drawnWith(dc, font.get());
  framework::Selected drawnOn(dc, bitmap.get());
  RECT box{0, 0, boxW, boxH};
  FillRect(dc, &box, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  FrameRect(dc, &box, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(kInk, kInk, kInk));
  DrawTextA(dc, kCannotShow, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  GdiFlush();
  int left = (int(img.width) - boxW) / 2, top = (int(img.height) - boxH) / 2;
  uint32_t boxStride = strideOf(uint32_t(boxW), 8);
  for (int y = 0; y < boxH; ++y)
    std::memcpy(img.pixels.data() + size_t(top + y) * img.stride + left,
                static_cast<uint8_t*>(bits) + size_t(y) * boxStride, size_t(boxW));
}

PageImage placeholder(const Page& page) {
  PageImage img = placeholderImage(page.shownWidth(), page.shownHeight());
  drawMessage(img);
  return img;
}

}  // namespace

PageImage decodePage(const Document& document, size_t index, std::vector<uint8_t> storage) {
  const Page& page = document.page(index);
  if (page.width == 0 || page.height == 0 || uint64_t(page.width) * page.height > kMaxPagePixels)
    throw ReadError("Page " + std::to_string(index + 1) + " is too large to show.");
  try {
    DecodedPage decoded = decodeImage(document, index, std::move(storage));
    if (decoded.image) return std::move(*decoded.image);
    return placeholder(page);
  } catch (const ReadError&) {
    // Its strips could not be read (the file changed since it was opened): still a page.
    return placeholder(page);
  } catch (const std::bad_alloc&) {
    throw ReadError("Page " + std::to_string(index + 1) + " is too large to show.");
  }
}

}  // namespace mdi
