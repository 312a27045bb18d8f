#include "component/Clipboard.h"

#include <windows.h>

#include <cstring>
#include <new>

#include "component/ComSupport.h"
#include "component/Raster.h"

namespace mipv {

namespace {

class OpenClipboardScope {
 public:
  OpenClipboardScope() {
    // Another program may hold the clipboard for a moment.
    for (int attempt = 0; attempt < 20; ++attempt) {
      if (OpenClipboard(nullptr)) return;
      Sleep(10);
    }
    throw ComponentError(MI_E_CLIPBOARD,
                         L"The clipboard is in use by another program: try the copy again.");
  }
  ~OpenClipboardScope() { CloseClipboard(); }
  OpenClipboardScope(const OpenClipboardScope&) = delete;
  OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
};

// Global memory handed to the clipboard, freed unless the clipboard took it.
class GlobalBlock {
 public:
  explicit GlobalBlock(size_t size) : handle_(GlobalAlloc(GMEM_MOVEABLE, size)) {
    if (!handle_) throw std::bad_alloc();
  }
  ~GlobalBlock() {
    if (handle_) GlobalFree(handle_);
  }
  GlobalBlock(const GlobalBlock&) = delete;
  GlobalBlock& operator=(const GlobalBlock&) = delete;
  HGLOBAL get() const { return handle_; }
  void handOver(UINT format) {
    if (!SetClipboardData(format, handle_)) failed();
    handle_ = nullptr;
  }
  [[noreturn]] static void failed() {
    throw ComponentError(MI_E_CLIPBOARD,
                         L"The clipboard did not accept the copy: close programs that watch the "
                         L"clipboard and try again.");
  }

 private:
  HGLOBAL handle_;
};

class Locked {
 public:
  explicit Locked(HGLOBAL handle) : handle_(handle), data_(GlobalLock(handle)) {
    if (!data_) throw std::bad_alloc();
  }
  ~Locked() { GlobalUnlock(handle_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
  uint8_t* data() const { return static_cast<uint8_t*>(data_); }

 private:
  HGLOBAL handle_;
  void* data_;
};

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
  std::memcpy(target + sizeof(info.header), info.colours, tableSize);
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
HBITMAP makeBitmap(const mdi::PageImage& page) {
  const int width = static_cast<int>(page.width);
  const int height = static_cast<int>(page.height);
  BitmapInfo info = describePage(page, true);
  if (page.bitsPerPixel == 1) {
    HBITMAP bitmap = CreateBitmap(width, height, 1, 1, nullptr);
    if (!bitmap) throw std::bad_alloc();
    HDC screen = GetDC(nullptr);
    int rows = SetDIBits(screen, bitmap, 0, static_cast<UINT>(height), page.pixels.data(),
                         reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != height) {
      DeleteObject(bitmap);
      throw std::bad_alloc();
    }
    return bitmap;
  }
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  if (!bitmap) throw std::bad_alloc();
  GdiFlush();
  std::memcpy(bits, page.pixels.data(), static_cast<size_t>(page.stride) * page.height);
  return bitmap;
}

}  // namespace

void copyTextToClipboard(const std::u16string& text) {
  GlobalBlock block((text.size() + 1) * sizeof(char16_t));
  {
    Locked locked(block.get());
    std::memcpy(locked.data(), text.c_str(), (text.size() + 1) * sizeof(char16_t));
  }
  OpenClipboardScope open;
  emptyClipboard();
  block.handOver(CF_UNICODETEXT);
}

void copyImageToClipboard(const mdi::PageImage& original, bool replace, bool keepDepth) {
  const mdi::PageImage converted = keepDepth ? mdi::PageImage{} : toColour(original);
  const mdi::PageImage& page = keepDepth ? original : converted;
  GlobalBlock dib(packedDibSize(page));
  {
    Locked locked(dib.get());
    fillPackedDib(page, locked.data());
  }
  HBITMAP bitmap = makeBitmap(page);
  OpenClipboardScope open;
  if (replace) {
    try {
      emptyClipboard();
    } catch (...) {
      DeleteObject(bitmap);
      throw;
    }
  }
  if (!SetClipboardData(CF_BITMAP, bitmap)) {
    DeleteObject(bitmap);
    GlobalBlock::failed();
  }
  dib.handOver(CF_DIB);
}

}  // namespace mipv
