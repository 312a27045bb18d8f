// Pages are decoded through WIC's TIFF decoder, handed a one-page view of the document; a
// page it cannot decode becomes a drawn placeholder.
#include <windows.h>
#include <wincodec.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "component/G4Decoder.h"
#include "component/PageImage.h"
#include "component/PageStream.h"
#include "framework/ComPtr.h"

namespace mdi {

namespace {

using framework::ComPtr;

uint32_t strideOf(uint32_t width, int bits) {
  return (uint32_t(uint64_t(width) * bits + 31) / 32) * 4;
}

// The compressions WIC's TIFF decoder knows; others (such as the imaging software's own
// 34718-34720) go straight to the placeholder.
bool knownCompression(uint16_t compression) {
  switch (compression) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
    case 32773:
    case 32946:
      return true;
    default:
      return false;
  }
}

// The depth the page keeps: black and white, grey, or colour.
int targetBits(const Page& page) {
  if (page.samplesPerPixel == 1 && page.bitsPerSample == 1 && page.photometric <= 1) return 1;
  if (page.samplesPerPixel == 1 && page.photometric <= 1) return 8;
  return 24;
}

const GUID& formatFor(int bits) {
  return bits == 1   ? GUID_WICPixelFormatBlackWhite
         : bits == 8 ? GUID_WICPixelFormat8bppGray
                     : GUID_WICPixelFormat24bppBGR;
}

// The frame in the wanted format: the frame itself when it already is, else through a
// converter. Empty when WIC cannot convert.
ComPtr<IWICBitmapSource> inFormat(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame,
                                  const GUID& format) {
  WICPixelFormatGUID own{};
  if (SUCCEEDED(frame->GetPixelFormat(&own)) && own == format) {
    return ComPtr<IWICBitmapSource>::share(frame);
  }
  ComPtr<IWICFormatConverter> converter;
  if (FAILED(factory->CreateFormatConverter(converter.put()))) return {};
  if (FAILED(converter->Initialize(frame, format, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom)))
    return {};
  return converter.as<IWICBitmapSource>(IID_IWICBitmapSource);
}

std::optional<PageImage> decodeWithWic(const Document& document, size_t index) {
  const Page& page = document.page(index);
  ComPtr<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, factory.putVoid())))
    return std::nullopt;
  std::shared_ptr<const ByteSource> view = document.singlePageView(index);
  ComPtr<IStream> stream = streamOver(view);
  ComPtr<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoder(GUID_ContainerFormatTiff, nullptr, decoder.put())) ||
      FAILED(decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand)))
    return std::nullopt;
  ComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, frame.put()))) return std::nullopt;
  UINT width = 0, height = 0;
  if (FAILED(frame->GetSize(&width, &height)) || width != page.width || height != page.height)
    return std::nullopt;
  // A page that cannot be had at its own depth is shown in colour rather than not at all.
  int wanted = targetBits(page);
  for (int bits : {wanted, 24}) {
    ComPtr<IWICBitmapSource> source = inFormat(factory.get(), frame.get(), formatFor(bits));
    if (!source) continue;
    PageImage image;
    image.width = width;
    image.height = height;
    image.bitsPerPixel = bits;
    image.stride = strideOf(width, bits);
    image.pixels.resize(size_t(image.stride) * height);
    if (SUCCEEDED(source->CopyPixels(nullptr, image.stride, UINT(image.pixels.size()),
                                     image.pixels.data())))
      return image;
  }
  return std::nullopt;
}

// --- JPEG pages --------------------------------------------------------------
//
// Wine's TIFF decoder is built without JPEG support, so JPEG pages go through WIC's JPEG
// decoder one strip or tile at a time, on Windows as well, so that both behave alike.

constexpr uint8_t kSoi[2] = {0xFF, 0xD8};

// A strip's stream, with the page's shared tables spliced in front of its frame.
std::vector<uint8_t> jpegStream(std::vector<uint8_t> strip, const std::vector<uint8_t>& tables) {
  if (tables.size() < 4 || strip.size() < 2 || std::memcmp(strip.data(), kSoi, 2) != 0)
    return strip;
  std::vector<uint8_t> stream(tables.begin(), tables.end() - 2);  // without its EOI
  stream.insert(stream.end(), strip.begin() + 2, strip.end());
  return stream;
}

// Decodes one stream and copies its top-left `width` x `rows` pixels into the page at
// (x, y). False when WIC fails or the stream is smaller than it should be.
bool decodeInto(IWICImagingFactory* factory, std::vector<uint8_t> stream, PageImage& image,
                uint32_t x, uint32_t y, uint32_t width, uint32_t rows) {
  ComPtr<IStream> input = streamOver(memorySource(std::move(stream)));
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(factory->CreateDecoder(GUID_ContainerFormatJpeg, nullptr, decoder.put())) ||
      FAILED(decoder->Initialize(input.get(), WICDecodeMetadataCacheOnDemand)) ||
      FAILED(decoder->GetFrame(0, frame.put())))
    return false;
  UINT frameWidth = 0, frameHeight = 0;
  if (FAILED(frame->GetSize(&frameWidth, &frameHeight)) || frameWidth < width || frameHeight < rows)
    return false;
  ComPtr<IWICBitmapSource> source = inFormat(factory, frame.get(), formatFor(image.bitsPerPixel));
  if (!source) return false;
  const uint32_t pixelBytes = uint32_t(image.bitsPerPixel / 8);
  const uint32_t stride = strideOf(width, image.bitsPerPixel);
  std::vector<uint8_t> band(size_t(stride) * rows);
  WICRect rect{0, 0, INT(width), INT(rows)};
  if (FAILED(source->CopyPixels(&rect, stride, UINT(band.size()), band.data()))) return false;
  for (uint32_t r = 0; r < rows; ++r)
    std::memcpy(image.pixels.data() + size_t(y + r) * image.stride + size_t(x) * pixelBytes,
                band.data() + size_t(r) * stride, size_t(width) * pixelBytes);
  return true;
}

std::optional<PageImage> decodeJpeg(const Document& document, size_t index) {
  const Page& page = document.page(index);
  // Colour stored as RGB rather than YCbCr would come out with wrong colours here.
  if (page.bitsPerSample != 8 ||
      !(page.samplesPerPixel == 1 || (page.samplesPerPixel == 3 && page.photometric == 6)))
    return std::nullopt;
  ComPtr<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, factory.putVoid())))
    return std::nullopt;
  PageImage image;
  image.width = page.width;
  image.height = page.height;
  image.bitsPerPixel = page.samplesPerPixel == 1 ? 8 : 24;
  image.stride = strideOf(page.width, image.bitsPerPixel);
  image.pixels.assign(size_t(image.stride) * image.height, 0xFF);
  std::vector<DataChunk> chunks = document.pageData(index);
  std::vector<uint8_t> tables = document.jpegTables(index);
  uint32_t cellWidth = page.tiled ? page.tileWidth : page.width;
  uint32_t cellHeight = page.tiled ? page.tileLength : page.rowsPerStrip;
  uint32_t across = (page.width + cellWidth - 1) / cellWidth;
  for (size_t i = 0; i < chunks.size(); ++i) {
    uint32_t x = uint32_t(i % across) * cellWidth;
    uint64_t y = uint64_t(i / across) * cellHeight;
    if (y >= page.height) break;
    uint32_t width = std::min(cellWidth, page.width - x);
    uint32_t rows = uint32_t(std::min<uint64_t>(cellHeight, page.height - y));
    std::vector<uint8_t> stream = jpegStream(document.chunkBytes(chunks[i]), tables);
    // WIC decodes the whole frame it is handed: one larger than its strip or tile is refused
    // before WIC allocates for it.
    uint32_t frameWidth = 0, frameHeight = 0;
    if (!jpegFrameSize(stream.data(), stream.size(), &frameWidth, &frameHeight) ||
        frameWidth > cellWidth || frameHeight > cellHeight)
      return std::nullopt;
    if (!decodeInto(factory.get(), std::move(stream), image, x, uint32_t(y), width, rows))
      return std::nullopt;
  }
  return image;
}

// --- The placeholder --------------------------------------------------------

constexpr uint8_t kBackground = 0xE0;
constexpr uint8_t kCross = 0xA8;
constexpr uint8_t kInk = 0x00;
const char kCannotShow[] = "This page's image cannot be shown.";

void fillRect(PageImage& img, int x0, int y0, int x1, int y1, uint8_t grey) {
  x0 = std::max(x0, 0), y0 = std::max(y0, 0);
  x1 = std::min(x1, int(img.width)), y1 = std::min(y1, int(img.height));
  for (int y = y0; y < y1; ++y)
    std::memset(img.pixels.data() + size_t(y) * img.stride + x0, grey,
                size_t(std::max(0, x1 - x0)));
}

// A line from corner to corner, `thick` pixels wide.
void diagonal(PageImage& img, bool falling, int thick) {
  for (uint32_t y = 0; y < img.height; ++y) {
    int x = int(uint64_t(y) * img.width / img.height);
    if (!falling) x = int(img.width) - 1 - x;
    fillRect(img, x - thick / 2, int(y), x - thick / 2 + thick, int(y) + 1, kCross);
  }
}

class GdiObject {
 public:
  explicit GdiObject(HGDIOBJ handle) : handle_(handle) {}
  ~GdiObject() { reset(nullptr); }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  void reset(HGDIOBJ handle) {
    if (handle_) DeleteObject(handle_);
    handle_ = handle;
  }
  HGDIOBJ get() const { return handle_; }

 private:
  HGDIOBJ handle_;
};

struct MemoryDc {
  HDC dc = CreateCompatibleDC(nullptr);
  MemoryDc() = default;
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  ~MemoryDc() {
    if (dc) DeleteDC(dc);
  }
};

// Draws the sentence, black on white, into a grey box in the page's middle. The font is
// sized to the page so that it stays readable when the page is fitted to a window.
HFONT messageFont(int height) {
  return CreateFontA(-height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                     VARIABLE_PITCH | FF_SWISS, "Tahoma");
}

void drawMessage(PageImage& img) {
  // The sentence takes about two thirds of the page's width.
  int textWidth = std::max(1, int(img.width) * 2 / 3);
  int fontHeight = std::max(8, std::min(textWidth / 14, int(img.height) / 8));
  MemoryDc memory;
  if (!memory.dc) return;
  GdiObject font{messageFont(fontHeight)};
  if (!font.get()) return;
  HGDIOBJ oldFont = SelectObject(memory.dc, font.get());
  SIZE extent{};
  GetTextExtentPoint32A(memory.dc, kCannotShow, int(sizeof(kCannotShow) - 1), &extent);
  if (extent.cx > textWidth) {
    fontHeight = std::max(8, int(int64_t(fontHeight) * textWidth / extent.cx));
    SelectObject(memory.dc, oldFont);
    font.reset(messageFont(fontHeight));
    if (!font.get()) return;
    oldFont = SelectObject(memory.dc, font.get());
    GetTextExtentPoint32A(memory.dc, kCannotShow, int(sizeof(kCannotShow) - 1), &extent);
  }
  int boxW = std::min(int(img.width), int(extent.cx) + fontHeight * 2);
  int boxH = std::min(int(img.height), int(extent.cy) + fontHeight);
  // A small top-down 8-bit grey DIB for the box, copied into the page afterwards.
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
  } info{};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = boxW;
  info.header.biHeight = -boxH;
  info.header.biPlanes = 1;
  info.header.biBitCount = 8;
  info.header.biCompression = BI_RGB;
  for (int i = 0; i < 256; ++i) info.colours[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
  void* bits = nullptr;
  GdiObject bitmap{CreateDIBSection(memory.dc, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                    &bits, nullptr, 0)};
  if (!bitmap.get() || !bits) {
    SelectObject(memory.dc, oldFont);
    return;
  }
  HGDIOBJ oldBitmap = SelectObject(memory.dc, bitmap.get());
  RECT box{0, 0, boxW, boxH};
  FillRect(memory.dc, &box, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  FrameRect(memory.dc, &box, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  SetBkMode(memory.dc, TRANSPARENT);
  SetTextColor(memory.dc, RGB(kInk, kInk, kInk));
  DrawTextA(memory.dc, kCannotShow, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  GdiFlush();
  int left = (int(img.width) - boxW) / 2, top = (int(img.height) - boxH) / 2;
  uint32_t boxStride = strideOf(uint32_t(boxW), 8);
  for (int y = 0; y < boxH; ++y)
    std::memcpy(img.pixels.data() + size_t(top + y) * img.stride + left,
                static_cast<uint8_t*>(bits) + size_t(y) * boxStride, size_t(boxW));
  SelectObject(memory.dc, oldBitmap);
  SelectObject(memory.dc, oldFont);
}

PageImage placeholder(const Page& page) {
  PageImage img;
  img.width = page.width;
  img.height = page.height;
  img.bitsPerPixel = 8;
  img.stride = strideOf(page.width, 8);
  img.placeholder = true;
  img.pixels.assign(size_t(img.stride) * img.height, kBackground);
  int thick = int(std::max<uint32_t>(2, std::min(img.width, img.height) / 150));
  diagonal(img, true, thick);
  diagonal(img, false, thick);
  int w = int(img.width), h = int(img.height);
  fillRect(img, 0, 0, w, thick, kInk);
  fillRect(img, 0, h - thick, w, h, kInk);
  fillRect(img, 0, 0, thick, h, kInk);
  fillRect(img, w - thick, 0, w, h, kInk);
  drawMessage(img);
  return img;
}

}  // namespace

PageImage decodePage(const Document& document, size_t index, std::vector<uint8_t> storage) {
  const Page& page = document.page(index);
  if (page.width == 0 || page.height == 0 || uint64_t(page.width) * page.height > kMaxPagePixels)
    throw ReadError("Page " + std::to_string(index + 1) + " is too large to show.");
  try {
    // A bomb or cut-off data: the placeholder, before anything is allocated for the image.
    if (!document.decodable(index)) return placeholder(page);
    if (page.compression == 7) {
      if (std::optional<PageImage> image = decodeJpeg(document, index)) return std::move(*image);
    }
    // Most scanned pages are G4: decoded here directly, several times faster than through WIC.
    if (page.compression == 4) {
      if (std::optional<PageImage> image = decodeG4Page(document, index, std::move(storage)))
        return std::move(*image);
    }
    if (knownCompression(page.compression)) {
      if (std::optional<PageImage> image = decodeWithWic(document, index)) return std::move(*image);
    }
    return placeholder(page);
  } catch (const ReadError&) {
    // Its strips could not be read (the file changed since it was opened): still a page.
    return placeholder(page);
  } catch (const std::bad_alloc&) {
    throw ReadError("Page " + std::to_string(index + 1) + " is too large to show.");
  }
}

}  // namespace mdi
