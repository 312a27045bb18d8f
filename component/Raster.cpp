#include "component/Raster.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "component/Downscale.h"

namespace mipv {

int colourCount(int bitsPerPixel) {
  return bitsPerPixel <= 8 ? 1 << bitsPerPixel : 0;
}

BitmapInfo describeBitmap(int width, int height, int bitsPerPixel) {
  BitmapInfo info{};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = height;
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(bitsPerPixel);
  info.header.biCompression = BI_RGB;
  info.header.biClrUsed = static_cast<DWORD>(colourCount(bitsPerPixel));
  const int colours = colourCount(bitsPerPixel);
  for (int i = 0; i < colours; ++i) {
    BYTE level = static_cast<BYTE>(i * 255 / (colours - 1));
    info.colors[i] = RGBQUAD{level, level, level, 0};
  }
  return info;
}

BitmapInfo describePage(const mdi::PageImage& page, bool topDown) {
  const int height = static_cast<int>(page.height);
  BitmapInfo info =
      describeBitmap(static_cast<int>(page.width), topDown ? -height : height, page.bitsPerPixel);
  if (page.hasPalette()) std::memcpy(info.colors, page.colours.data(), sizeof info.colors);
  return info;
}

namespace {

HDC memoryDc() {
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) throw std::bad_alloc();
  return dc;
}

// A top-down DIB section of the depth, its pixels at `bits`.
HBITMAP dibSection(HDC dc, int width, int height, int bitsPerPixel, uint8_t*& bits) {
  BitmapInfo info = describeBitmap(width, -height, bitsPerPixel);
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, info.get(), DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (!bitmap) throw std::bad_alloc();
  bits = static_cast<uint8_t*>(pixels);
  return bitmap;
}

}  // namespace

Raster::Raster(int width, int height, int bitsPerPixel)
    : width_(width),
      height_(height),
      stride_(((static_cast<size_t>(width) * bitsPerPixel + 31) / 32) * 4),
      dc_(memoryDc()),
      bitmap_(dibSection(dc_.get(), width, height, bitsPerPixel, bits_)),
      selected_(dc_.get(), bitmap_.get()) {}

std::unique_ptr<Raster> rasterOf(const mdi::PageImage& page) {
  auto raster = std::make_unique<Raster>(static_cast<int>(page.width),
                                         static_cast<int>(page.height), page.bitsPerPixel);
  if (page.hasPalette()) {
    BitmapInfo info = describePage(page, true);
    SetDIBColorTable(raster->dc(), 0, 256, info.colors);
  }
  const size_t rowBytes = std::min<size_t>(raster->stride(), page.stride);
  for (uint32_t y = 0; y < page.height; ++y)
    std::memcpy(raster->bits() + y * raster->stride(), page.pixels.data() + y * page.stride,
                rowBytes);
  return raster;
}

// Kept in the screen's own 32-bit format: Wine copies such pixels to a window many times
// faster than it converts grey ones (a page at 100 % took 6 to 10 ms to show at 8 bits).
std::unique_ptr<Raster> reducedRaster(const mdi::PageImage& page, int width, int height) {
  auto raster = std::make_unique<Raster>(width, height, 32);
  reduceInto(page, *raster);
  return raster;
}

void reduceInto(const mdi::PageImage& page, Raster& raster) {
  const int width = raster.width(), height = raster.height();
  const int depth = reducedDepth(page);
  const size_t stride = ((static_cast<size_t>(width) * depth + 31) / 32) * 4;
  // Kept between calls of each thread: fresh memory is slow to touch under Wine.
  thread_local std::vector<uint8_t> reducedPixels;
  reducedPixels.resize(stride * static_cast<size_t>(height));
  reduce(page, width, height, reducedPixels.data(), stride);
  for (int y = 0; y < height; ++y) {
    const uint8_t* in = reducedPixels.data() + static_cast<size_t>(y) * stride;
    auto* out =
        reinterpret_cast<uint32_t*>(raster.bits() + static_cast<size_t>(y) * raster.stride());
    if (depth == 8) {  // grey
      for (int x = 0; x < width; ++x) out[x] = in[x] * 0x010101u;
    } else {
      for (int x = 0; x < width; ++x, in += 3)
        out[x] = uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16;
    }
  }
}

}  // namespace mipv
