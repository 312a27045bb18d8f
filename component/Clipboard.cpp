#include "component/Clipboard.h"

#include <windows.h>

#include <cstring>
#include <new>
#include <optional>

#include "component/ComSupport.h"
#include "component/Raster.h"
#include "framework/Handles.h"

namespace mipv {

namespace {

const int kOpenAttempts = 20;  // 10 ms apart: another program may hold the clipboard

// The clipboard, open until the end of the scope.
class OpenedClipboard {
 public:
  OpenedClipboard() {
    try {
      opened_.emplace(nullptr, kOpenAttempts);
    } catch (const framework::Exception&) {
      throw ComponentError(MI_E_CLIPBOARD,
                           L"The clipboard is in use by another program: try the copy again.");
    }
  }

 private:
  std::optional<framework::OpenedClipboard> opened_;
};

[[noreturn]] void refused() {
  throw ComponentError(MI_E_CLIPBOARD,
                       L"The clipboard did not accept the copy: close programs that watch the "
                       L"clipboard and try again.");
}

// Global memory of `size` bytes filled by `fill`, to be handed to the clipboard.
template <class Fill>
framework::GlobalMemory globalBlock(size_t size, Fill&& fill) {
  framework::GlobalMemory block(GlobalAlloc(GMEM_MOVEABLE, size));
  if (!block) throw std::bad_alloc();
  fill(framework::GlobalLocked<uint8_t>(block.get()).get());
  return block;
}

// Gives the clipboard a handle it frees from then on; the caller's owner lets go of it only
// once the clipboard has taken it.
template <class Handle>
void handOver(UINT format, Handle& handle) {
  if (!SetClipboardData(format, handle.get())) refused();
  handle.release();
}

void emptyClipboard() {
  if (!EmptyClipboard())
    throw ComponentError(MI_E_CLIPBOARD, L"The clipboard cannot be emptied: try the copy again.");
}

// The page at 24 bits, blue-green-red, for hosts that want one depth for every page.
mdi::PageImage toColour(const mdi::PageImage& page) {
  if (page.bitsPerPixel == 24) return page;
  mdi::PageImage colour;
  colour.width = page.width;
  colour.height = page.height;
  colour.bitsPerPixel = 24;
  colour.stride = ((page.width * 24 + 31) / 32) * 4;
  colour.pixels.resize(static_cast<size_t>(colour.stride) * page.height);
  for (uint32_t y = 0; y < page.height; ++y) {
    const uint8_t* in = page.pixels.data() + static_cast<size_t>(y) * page.stride;
    uint8_t* out = colour.pixels.data() + static_cast<size_t>(y) * colour.stride;
    for (uint32_t x = 0; x < page.width; ++x) {
      if (page.hasPalette()) {
        std::memcpy(out + 3 * x, page.colours.data() + size_t(in[x]) * 4, 3);
        continue;
      }
      uint8_t level = page.bitsPerPixel == 1 ? ((in[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0) : in[x];
      out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = level;
    }
  }
  return colour;
}

// The packed DIB: header, colour table, then the rows bottom-up.
void fillPackedDib(const mdi::PageImage& page, uint8_t* target) {
  BitmapInfo info = describePage(page, false);
  const size_t tableSize = sizeof(RGBQUAD) * colourCount(page.bitsPerPixel);
  std::memcpy(target, &info.header, sizeof(info.header));
  std::memcpy(target + sizeof(info.header), info.colors, tableSize);
  uint8_t* rows = target + sizeof(info.header) + tableSize;
  for (uint32_t y = 0; y < page.height; ++y)
    std::memcpy(rows + static_cast<size_t>(page.height - 1 - y) * page.stride,
                page.pixels.data() + static_cast<size_t>(y) * page.stride, page.stride);
}

size_t packedDibSize(const mdi::PageImage& page) {
  return sizeof(BITMAPINFOHEADER) + sizeof(RGBQUAD) * colourCount(page.bitsPerPixel) +
         static_cast<size_t>(page.stride) * page.height;
}

// A bitmap handle of the page's own depth: a monochrome bitmap for 1 bit, a
// DIB section (which keeps its colour table) for 8 and 24 bits.
framework::Bitmap makeBitmap(const mdi::PageImage& page) {
  const int width = static_cast<int>(page.width);
  const int height = static_cast<int>(page.height);
  BitmapInfo info = describePage(page, true);
  if (page.bitsPerPixel == 1) {
    framework::Bitmap bitmap(CreateBitmap(width, height, 1, 1, nullptr));
    if (!bitmap) throw std::bad_alloc();
    framework::WindowDc screen;
    if (SetDIBits(screen.get(), bitmap.get(), 0, static_cast<UINT>(height), page.pixels.data(),
                  info.get(), DIB_RGB_COLORS) != height)
      throw std::bad_alloc();
    return bitmap;
  }
  void* bits = nullptr;
  framework::Bitmap bitmap(
      CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap) throw std::bad_alloc();
  GdiFlush();
  std::memcpy(bits, page.pixels.data(), static_cast<size_t>(page.stride) * page.height);
  return bitmap;
}

}  // namespace

void copyTextToClipboard(const std::u16string& text) {
  const size_t size = (text.size() + 1) * sizeof(char16_t);
  framework::GlobalMemory block =
      globalBlock(size, [&](uint8_t* data) { std::memcpy(data, text.c_str(), size); });
  OpenedClipboard open;
  emptyClipboard();
  handOver(CF_UNICODETEXT, block);
}

void copyImageToClipboard(const mdi::PageImage& original, bool replace, bool keepDepth) {
  const mdi::PageImage converted = keepDepth ? mdi::PageImage{} : toColour(original);
  const mdi::PageImage& page = keepDepth ? original : converted;
  framework::GlobalMemory dib =
      globalBlock(packedDibSize(page), [&](uint8_t* data) { fillPackedDib(page, data); });
  framework::Bitmap bitmap = makeBitmap(page);
  OpenedClipboard open;
  if (replace) emptyClipboard();
  handOver(CF_BITMAP, bitmap);
  handOver(CF_DIB, dib);
}

}  // namespace mipv
