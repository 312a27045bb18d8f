#include "component/reader/TiffDecode.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

namespace mdi {

namespace {

// --- The page's view as libtiff's file ----------------------------------------

struct ClientFile {
  const ByteSource& source;
  uint64_t position = 0;
};

ClientFile& fileOf(thandle_t handle) {
  return *static_cast<ClientFile*>(handle);
}

tmsize_t readFile(thandle_t handle, void* buffer, tmsize_t size) {
  ClientFile& file = fileOf(handle);
  const uint64_t end = file.source.size();
  if (size <= 0 || file.position >= end) return 0;
  const size_t count = size_t(std::min<uint64_t>(uint64_t(size), end - file.position));
  try {
    file.source.read(file.position, buffer, count);
  } catch (const std::exception&) {
    return -1;  // the file changed since it was opened: libtiff reports a read error
  }
  file.position += count;
  return tmsize_t(count);
}

tmsize_t writeFile(thandle_t, void*, tmsize_t) {
  return -1;
}

toff_t seekFile(thandle_t handle, toff_t offset, int whence) {
  ClientFile& file = fileOf(handle);
  if (whence == SEEK_CUR)
    offset += file.position;
  else if (whence == SEEK_END)
    offset += file.source.size();
  file.position = offset;
  return offset;
}

int closeFile(thandle_t) {
  return 0;
}

toff_t sizeOfFile(thandle_t handle) {
  return fileOf(handle).source.size();
}

int mapNothing(thandle_t, void**, toff_t*) {
  return 0;
}

void unmapNothing(thandle_t, void*, toff_t) {}

// The page's strips or tiles, which usually lie together, read in one go: libtiff reads them
// one at a time, and under Wine each read of the file is a system call of some 20 us, more
// than decoding a strip of PackBits takes. Reads elsewhere go to the view as they come.
class HeldData : public ByteSource {
 public:
  HeldData(const ByteSource& view, const std::vector<DataChunk>& chunks) : view_(view) {
    uint64_t first = UINT64_MAX, end = 0, stored = 0;
    for (const DataChunk& chunk : chunks) {
      first = std::min(first, chunk.offset);
      end = std::max(end, chunk.offset + chunk.length);
      stored += chunk.length;
    }
    // Only where the data is most of the span: scattered strips are read as they come.
    if (chunks.empty() || end - first > 2 * stored + 65536 || end - first > kLargest) return;
    // Kept between pages of this thread: fresh memory costs Wine a fault a 4 KB page.
    thread_local std::vector<uint8_t> buffer;
    buffer.resize(size_t(end - first));
    view.read(first, buffer.data(), buffer.size());
    start_ = first;
    held_ = &buffer;
  }
  ~HeldData() override {
    if (held_ && held_->capacity() > kLargest / 4) std::vector<uint8_t>().swap(*held_);
  }
  uint64_t size() const override { return view_.size(); }
  void read(uint64_t offset, void* dst, size_t len) const override {
    if (held_ && offset >= start_ && offset + len <= start_ + held_->size()) {
      if (len) std::memcpy(dst, held_->data() + (offset - start_), len);
      return;
    }
    view_.read(offset, dst, len);
  }

 private:
  static constexpr uint64_t kLargest = 64u << 20;
  const ByteSource& view_;
  uint64_t start_ = 0;
  std::vector<uint8_t>* held_ = nullptr;
};

// --- Messages, caught for each page rather than printed -------------------------

struct Messages {
  std::string error;
  std::vector<std::string> warnings;
};

std::string format(const char* module, const char* text, va_list args) {
  char message[512];
  std::vsnprintf(message, sizeof message, text, args);
  return module && *module ? std::string(module) + ": " + message : std::string(message);
}

int onError(TIFF*, void* user, const char* module, const char* text, va_list args) {
  auto& messages = *static_cast<Messages*>(user);
  std::string message = format(module, text, args);
  if (messages.error.empty()) messages.error = std::move(message);
  return 1;  // handled: the process-wide handler stays silent
}

int onWarning(TIFF*, void* user, const char* module, const char* text, va_list args) {
  auto& messages = *static_cast<Messages*>(user);
  if (messages.warnings.size() < 16) messages.warnings.push_back(format(module, text, args));
  return 1;
}

struct OptionsDeleter {
  void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};
struct TiffDeleter {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using Options = std::unique_ptr<TIFFOpenOptions, OptionsDeleter>;
using Tiff = std::unique_ptr<TIFF, TiffDeleter>;

// The largest single allocation libtiff may make for this page: its decoded size or its
// largest stored strip, with room for a codec's state. A directory that claims more than its
// page (a huge strip size, a huge colour map) fails instead of allocating.
tmsize_t allocationLimit(const Document& document, size_t index) {
  const Page& page = document.page(index);
  const uint64_t decoded =
      (uint64_t{page.width} * page.samplesPerPixel * page.bitsPerSample + 7) / 8 * page.height;
  uint64_t largestChunk = 0;
  for (const DataChunk& chunk : document.pageData(index))
    largestChunk = std::max<uint64_t>(largestChunk, chunk.length);
  const uint64_t limit = std::max(decoded, largestChunk) + (1u << 20);
  return tmsize_t(std::min<uint64_t>(limit, uint64_t(INT32_MAX)));
}

// --- Layouts --------------------------------------------------------------------

struct Layout {
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t bitsPerSample = 1;
  uint16_t samples = 1;
  uint16_t photometric = PHOTOMETRIC_MINISWHITE;
  uint16_t planar = PLANARCONFIG_CONTIG;
  uint16_t compression = COMPRESSION_NONE;
  uint16_t extraSamples = 0;
  bool tiled = false;
  uint32_t tileWidth = 0;
  uint32_t tileLength = 0;
};

template <class T>
T field(TIFF* tiff, uint32_t tag, T fallback) {
  T value = fallback;
  return TIFFGetFieldDefaulted(tiff, tag, &value) ? value : fallback;
}

Layout layoutOf(TIFF* tiff) {
  Layout l;
  l.width = field<uint32_t>(tiff, TIFFTAG_IMAGEWIDTH, 0);
  l.height = field<uint32_t>(tiff, TIFFTAG_IMAGELENGTH, 0);
  l.bitsPerSample = field<uint16_t>(tiff, TIFFTAG_BITSPERSAMPLE, 1);
  l.samples = field<uint16_t>(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
  l.photometric = field<uint16_t>(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  l.planar = field<uint16_t>(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  l.compression = field<uint16_t>(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  uint16_t extra = 0;
  uint16_t* kinds = nullptr;
  if (TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extra, &kinds)) l.extraSamples = extra;
  l.tiled = TIFFIsTiled(tiff) != 0;
  if (l.tiled) {
    l.tileWidth = field<uint32_t>(tiff, TIFFTAG_TILEWIDTH, 0);
    l.tileLength = field<uint32_t>(tiff, TIFFTAG_TILELENGTH, 0);
  }
  return l;
}

// How a layout's rows are read without libtiff's RGBA conversion: the common layouts, whose
// stored rows are already (nearly) the page's.
enum class Direct { None, Bilevel, Grey, Palette, Colour };

Direct directFor(const Layout& l) {
  const bool onePlane = l.samples == 1 || l.planar == PLANARCONFIG_CONTIG;
  if (!onePlane || l.extraSamples != 0) return Direct::None;
  if (l.tiled && (uint64_t{l.tileWidth} * l.samples * l.bitsPerSample) % 8 != 0)
    return Direct::None;
  const bool grey =
      l.photometric == PHOTOMETRIC_MINISWHITE || l.photometric == PHOTOMETRIC_MINISBLACK;
  if (grey && l.samples == 1 && l.bitsPerSample == 1) return Direct::Bilevel;
  if (grey && l.samples == 1 && l.bitsPerSample == 8) return Direct::Grey;
  if (l.photometric == PHOTOMETRIC_PALETTE && l.samples == 1 && l.bitsPerSample <= 8 &&
      8 % l.bitsPerSample == 0)
    return Direct::Palette;
  if (l.photometric == PHOTOMETRIC_RGB && l.samples == 3 && l.bitsPerSample == 8)
    return Direct::Colour;
  if (l.photometric == PHOTOMETRIC_YCBCR && l.compression == COMPRESSION_JPEG && l.samples == 3 &&
      l.bitsPerSample == 8)
    return Direct::Colour;  // libjpeg converts to RGB (JPEGCOLORMODE_RGB)
  return Direct::None;
}

int depthOf(Direct direct) {
  switch (direct) {
    case Direct::Bilevel:
      return 1;
    case Direct::Colour:
      return 24;
    default:
      return 8;
  }
}

PageImage blankImage(uint32_t width, uint32_t height, int bits, std::vector<uint8_t> storage) {
  PageImage image;
  image.width = width;
  image.height = height;
  image.bitsPerPixel = bits;
  image.stride = strideOf(width, bits);
  image.pixels = std::move(storage);
  image.pixels.resize(size_t(image.stride) * height);
  return image;
}

// Libtiff's reading of a colour map: 16-bit entries, unless every one fits in 8 bits (as
// some writers store them), exactly as its RGBA conversion decides.
std::vector<uint8_t> colourTable(TIFF* tiff, uint16_t bitsPerSample) {
  uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
  if (!TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue)) return {};
  const size_t entries = size_t(1) << bitsPerSample;
  bool sixteen = false;
  for (size_t i = 0; i < entries; ++i)
    sixteen |= red[i] >= 256 || green[i] >= 256 || blue[i] >= 256;
  const int shift = sixteen ? 8 : 0;
  std::vector<uint8_t> table(256 * 4, 0);
  for (size_t i = 0; i < entries; ++i) {
    table[i * 4] = uint8_t(blue[i] >> shift);
    table[i * 4 + 1] = uint8_t(green[i] >> shift);
    table[i * 4 + 2] = uint8_t(red[i] >> shift);
  }
  return table;
}

// Reads every stored row into the page's rows, each at the start of its row: scanline by
// scanline for strips, tile by tile for tiles.
bool readStoredRows(TIFF* tiff, const Layout& l, PageImage& image) {
  const tmsize_t rowBytes = TIFFScanlineSize(tiff);
  if (rowBytes <= 0 || uint64_t(rowBytes) > image.stride) return false;
  if (!l.tiled) {
    for (uint32_t y = 0; y < l.height; ++y)
      if (TIFFReadScanline(tiff, image.pixels.data() + size_t(y) * image.stride, y, 0) < 0)
        return false;
    return true;
  }
  const tmsize_t tileBytes = TIFFTileSize(tiff);
  const tmsize_t tileRowBytes = TIFFTileRowSize(tiff);
  if (tileBytes <= 0 || tileRowBytes <= 0) return false;
  std::vector<uint8_t> tile(static_cast<size_t>(tileBytes));
  for (uint32_t y = 0; y < l.height; y += l.tileLength) {
    for (uint32_t x = 0; x < l.width; x += l.tileWidth) {
      if (TIFFReadTile(tiff, tile.data(), x, y, 0, 0) < 0) return false;
      const size_t at = size_t(uint64_t{x} * l.samples * l.bitsPerSample / 8);
      const size_t bytes = std::min<size_t>(size_t(tileRowBytes), size_t(rowBytes) - at);
      const uint32_t rows = std::min(l.tileLength, l.height - y);
      for (uint32_t r = 0; r < rows; ++r)
        std::memcpy(image.pixels.data() + size_t(y + r) * image.stride + at,
                    tile.data() + size_t(r) * size_t(tileRowBytes), bytes);
    }
  }
  return true;
}

// Every byte inverted, eight at a time: a byte loop cost an A4 page at 300 dpi a millisecond.
void invert(std::vector<uint8_t>& pixels) {
  uint8_t* bytes = pixels.data();
  const size_t count = pixels.size();
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    word = ~word;
    std::memcpy(bytes + i, &word, 8);
  }
  for (; i < count; ++i) bytes[i] = uint8_t(~bytes[i]);
}

// Turns stored rows into the page's: white as set bits, grey as light, indexes a byte each,
// colour as blue-green-red.
void finishRows(const Layout& l, Direct direct, PageImage& image) {
  if ((direct == Direct::Bilevel || direct == Direct::Grey) &&
      l.photometric == PHOTOMETRIC_MINISWHITE) {
    invert(image.pixels);
    return;
  }
  const uint32_t width = image.width, height = image.height, stride = image.stride;
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* row = image.pixels.data() + size_t(y) * stride;
    if (direct == Direct::Palette && l.bitsPerSample < 8) {
      // From the right, so that no index is overwritten before it is read.
      const int bits = l.bitsPerSample, mask = (1 << bits) - 1;
      for (uint32_t x = width; x-- > 0;) {
        const uint32_t bit = x * uint32_t(bits);
        row[x] = uint8_t(row[bit / 8] >> (8 - bits - bit % 8) & mask);
      }
    } else if (direct == Direct::Colour) {
      for (uint32_t x = 0; x < width; ++x) std::swap(row[3 * x], row[3 * x + 2]);
    }
  }
}

bool decodeDirect(TIFF* tiff, const Layout& l, Direct direct, PageImage& image) {
  if (l.photometric == PHOTOMETRIC_YCBCR &&
      !TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB))
    return false;
  if (direct == Direct::Palette) {
    image.colours = colourTable(tiff, l.bitsPerSample);
    if (image.colours.empty()) return false;
  }
  if (!readStoredRows(tiff, l, image)) return false;
  finishRows(l, direct, image);
  return true;
}

// --- Everything else, through libtiff's RGBA conversion ----------------------------

uint8_t overWhite(uint32_t value, uint32_t alpha) {
  // Libtiff's RGBA pixels carry associated alpha: the colour is already weighted by it.
  return uint8_t(std::min<uint32_t>(255, value + 255 - alpha));
}

void pixelsFromRgba(const Layout& l, const std::vector<uint32_t>& rgba, PageImage& image) {
  const bool bilevel = image.bitsPerPixel == 1;
  for (uint32_t y = 0; y < image.height; ++y) {
    const uint32_t* in = rgba.data() + size_t(y) * l.width;
    uint8_t* out = image.pixels.data() + size_t(y) * image.stride;
    if (bilevel) std::memset(out, 0, image.stride);
    for (uint32_t x = 0; x < l.width; ++x) {
      const uint32_t p = in[x], alpha = TIFFGetA(p);
      const uint8_t red = overWhite(TIFFGetR(p), alpha);
      if (bilevel) {
        if (red >= 128) out[x / 8] |= uint8_t(0x80 >> (x % 8));
      } else if (image.bitsPerPixel == 8) {
        out[x] = red;
      } else {
        out[3 * x] = overWhite(TIFFGetB(p), alpha);
        out[3 * x + 1] = overWhite(TIFFGetG(p), alpha);
        out[3 * x + 2] = red;
      }
    }
  }
}

int rgbaDepth(const Layout& l) {
  const bool grey =
      l.photometric == PHOTOMETRIC_MINISWHITE || l.photometric == PHOTOMETRIC_MINISBLACK;
  if (!grey) return 24;
  return l.bitsPerSample == 1 && l.extraSamples == 0 ? 1 : 8;
}

bool decodeRgba(TIFF* tiff, const Layout& l, PageImage& image, std::string& why) {
  char message[1024] = {};
  if (!TIFFRGBAImageOK(tiff, message)) {
    why = message;
    return false;
  }
  std::vector<uint32_t> rgba(size_t(l.width) * l.height);
  // The stored order: the Orientation tag was set aside, and is applied afterwards.
  if (!TIFFReadRGBAImageOriented(tiff, l.width, l.height, rgba.data(), ORIENTATION_TOPLEFT, 1))
    return false;
  pixelsFromRgba(l, rgba, image);
  return true;
}

// --- Orientation ------------------------------------------------------------------

// The stored pixel at column `x`, row `y`, and its writing, for every depth.
uint32_t pixelAt(const PageImage& image, uint32_t x, uint32_t y) {
  const uint8_t* row = image.pixels.data() + size_t(y) * image.stride;
  if (image.bitsPerPixel == 1) return row[x / 8] >> (7 - x % 8) & 1;
  if (image.bitsPerPixel == 8) return row[x];
  return uint32_t(row[3 * x]) | uint32_t(row[3 * x + 1]) << 8 | uint32_t(row[3 * x + 2]) << 16;
}

void setPixel(PageImage& image, uint32_t x, uint32_t y, uint32_t value) {
  uint8_t* row = image.pixels.data() + size_t(y) * image.stride;
  if (image.bitsPerPixel == 1) {
    if (value) row[x / 8] |= uint8_t(0x80 >> (x % 8));
  } else if (image.bitsPerPixel == 8) {
    row[x] = uint8_t(value);
  } else {
    row[3 * x] = uint8_t(value);
    row[3 * x + 1] = uint8_t(value >> 8);
    row[3 * x + 2] = uint8_t(value >> 16);
  }
}

// The page as it is meant to be seen: the Orientation tag says which side of the picture
// the stored rows and columns run along.
PageImage upright(PageImage stored, uint16_t orientation) {
  if (orientation < ORIENTATION_TOPRIGHT || orientation > ORIENTATION_LEFTBOT) return stored;
  const bool transposed = orientation >= ORIENTATION_LEFTTOP;
  const uint32_t width = transposed ? stored.height : stored.width;
  const uint32_t height = transposed ? stored.width : stored.height;
  PageImage shown = blankImage(width, height, stored.bitsPerPixel, {});
  std::fill(shown.pixels.begin(), shown.pixels.end(), 0);
  shown.colours = std::move(stored.colours);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      uint32_t row = y, column = x;  // in the stored image
      switch (orientation) {
        case ORIENTATION_TOPRIGHT:
          column = width - 1 - x;
          break;
        case ORIENTATION_BOTRIGHT:
          row = height - 1 - y, column = width - 1 - x;
          break;
        case ORIENTATION_BOTLEFT:
          row = height - 1 - y;
          break;
        case ORIENTATION_LEFTTOP:
          row = x, column = y;
          break;
        case ORIENTATION_RIGHTTOP:
          row = width - 1 - x, column = y;
          break;
        case ORIENTATION_RIGHTBOT:
          row = width - 1 - x, column = height - 1 - y;
          break;
        default:  // ORIENTATION_LEFTBOT
          row = x, column = height - 1 - y;
          break;
      }
      setPixel(shown, x, y, pixelAt(stored, column, row));
    }
  }
  return shown;
}

Tiff openPage(const Document& document, size_t index, ClientFile& file, Messages& messages) {
  Options options(TIFFOpenOptionsAlloc());
  if (!options) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), onError, &messages);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), onWarning, &messages);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), allocationLimit(document, index));
  // "m": no memory mapping; the view is read through the calls above.
  return Tiff(TIFFClientOpenExt("page", "rm", &file, readFile, writeFile, seekFile, closeFile,
                                sizeOfFile, mapNothing, unmapNothing, options.get()));
}

}  // namespace

TiffDecoded decodeWithLibtiff(const Document& document, size_t index,
                              std::vector<uint8_t> storage) {
  TiffDecoded result;
  const Page& page = document.page(index);
  std::unique_ptr<ByteSource> view = document.singlePageView(index);
  HeldData data(*view, document.pageData(index));
  ClientFile file{data};
  Messages messages;
  auto fail = [&](std::string why) {
    result.error = messages.error.empty() ? std::move(why) : messages.error;
    result.warnings = std::move(messages.warnings);
    return std::move(result);
  };
  Tiff tiff = openPage(document, index, file, messages);
  if (!tiff) return fail("libtiff cannot open the page");
  const Layout l = layoutOf(tiff.get());
  if (l.width != page.width || l.height != page.height)
    return fail("libtiff reads another size than the page's directory states");
  // The reader checked the tiles it found against the page; libtiff takes a tile size alone
  // for tiles, and that size may be any.
  if (l.tiled != page.tiled ||
      (l.tiled && (l.tileWidth != page.tileWidth || l.tileLength != page.tileLength)))
    return fail("libtiff reads other tiles than the page's directory states");
  // No page has more samples or deeper ones; their rows would only be large.
  if (l.samples > 8 || l.bitsPerSample > 16) return fail("no page is stored in this layout");
  const uint16_t orientation =
      field<uint16_t>(tiff.get(), TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(tiff.get(), TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  const Direct direct = directFor(l);
  PageImage image =
      blankImage(l.width, l.height, direct == Direct::None ? rgbaDepth(l) : depthOf(direct),
                 std::move(storage));
  std::string why = "libtiff cannot decode the page";
  const bool decoded = direct == Direct::None ? decodeRgba(tiff.get(), l, image, why)
                                              : decodeDirect(tiff.get(), l, direct, image);
  if (!decoded || !messages.error.empty()) return fail(why);
  result.image = upright(std::move(image), orientation);
  result.warnings = std::move(messages.warnings);
  return result;
}

}  // namespace mdi
