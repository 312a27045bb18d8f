#include "document/PageReader.h"

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
  const ByteSource* source;  // the page's view, or its data held while it is decoded
  uint64_t position = 0;
};

ClientFile& fileOf(thandle_t handle) {
  return *static_cast<ClientFile*>(handle);
}

tmsize_t readFile(thandle_t handle, void* buffer, tmsize_t size) {
  ClientFile& file = fileOf(handle);
  const uint64_t end = file.source->size();
  if (size <= 0 || file.position >= end) return 0;
  const size_t count = size_t(std::min<uint64_t>(uint64_t(size), end - file.position));
  try {
    file.source->read(file.position, buffer, count);
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
    offset += file.source->size();
  file.position = offset;
  return offset;
}

int closeFile(thandle_t) {
  return 0;
}

toff_t sizeOfFile(thandle_t handle) {
  return fileOf(handle).source->size();
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

std::string messageText(const char* module, const char* text, va_list args) {
  char message[512];
  std::vsnprintf(message, sizeof message, text, args);
  return module && *module ? std::string(module) + ": " + message : std::string(message);
}

int onError(TIFF*, void* user, const char* module, const char* text, va_list args) {
  auto& messages = *static_cast<Messages*>(user);
  std::string message = messageText(module, text, args);
  if (messages.error.empty()) messages.error = std::move(message);
  return 1;  // handled: the process-wide handler stays silent
}

int onWarning(TIFF*, void* user, const char* module, const char* text, va_list args) {
  auto& messages = *static_cast<Messages*>(user);
  if (messages.warnings.size() < 16) messages.warnings.push_back(messageText(module, text, args));
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

// How a layout's rows are read without libtiff's RGBA conversion: the common layouts, whose
// stored rows are already (nearly) the page's.
enum class Direct { None, Bilevel, Grey, Palette, Colour };

Direct directFor(const ImageFormat& l) {
  const bool onePlane = l.samplesPerPixel == 1 || l.planarConfig == PLANARCONFIG_CONTIG;
  if (!onePlane || l.extraSamples != 0) return Direct::None;
  if (l.tiled && (uint64_t{l.tileWidth} * l.samplesPerPixel * l.bitsPerSample) % 8 != 0)
    return Direct::None;
  const bool grey =
      l.photometric == PHOTOMETRIC_MINISWHITE || l.photometric == PHOTOMETRIC_MINISBLACK;
  if (grey && l.samplesPerPixel == 1 && l.bitsPerSample == 1) return Direct::Bilevel;
  if (grey && l.samplesPerPixel == 1 && l.bitsPerSample == 8) return Direct::Grey;
  if (l.photometric == PHOTOMETRIC_PALETTE && l.samplesPerPixel == 1 && l.bitsPerSample <= 8 &&
      8 % l.bitsPerSample == 0)
    return Direct::Palette;
  if (l.photometric == PHOTOMETRIC_RGB && l.samplesPerPixel == 3 && l.bitsPerSample == 8)
    return Direct::Colour;
  if (l.photometric == PHOTOMETRIC_YCBCR && l.compression == COMPRESSION_JPEG &&
      l.samplesPerPixel == 3 && l.bitsPerSample == 8)
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
bool readStoredRows(TIFF* tiff, const ImageFormat& l, PageImage& image) {
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
      const size_t at = size_t(uint64_t{x} * l.samplesPerPixel * l.bitsPerSample / 8);
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
void finishRows(const ImageFormat& l, Direct direct, PageImage& image) {
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

bool decodeDirect(TIFF* tiff, const ImageFormat& l, Direct direct,
                  const std::vector<uint8_t>& colours, PageImage& image) {
  if (l.photometric == PHOTOMETRIC_YCBCR &&
      !TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB))
    return false;
  if (direct == Direct::Palette) image.colours = colours;
  if (!readStoredRows(tiff, l, image)) return false;
  finishRows(l, direct, image);
  return true;
}

// --- Everything else, through libtiff's RGBA conversion ----------------------------

uint8_t overWhite(uint32_t value, uint32_t alpha) {
  // Libtiff's RGBA pixels carry associated alpha: the colour is already weighted by it.
  return uint8_t(std::min<uint32_t>(255, value + 255 - alpha));
}

void pixelsFromRgba(const ImageFormat& l, const std::vector<uint32_t>& rgba, PageImage& image) {
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

int rgbaDepth(const ImageFormat& l) {
  const bool grey =
      l.photometric == PHOTOMETRIC_MINISWHITE || l.photometric == PHOTOMETRIC_MINISBLACK;
  if (!grey) return 24;
  return l.bitsPerSample == 1 && l.extraSamples == 0 ? 1 : 8;
}

bool decodeRgba(TIFF* tiff, const ImageFormat& l, PageImage& image, std::string& why) {
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

// --- The page's fields, and what keeps its image from being decoded -----------------

// The fewest stored bytes that can decode to `decoded` bytes of `rows` rows: each codec's
// best case (a blank page), with room to spare.
uint64_t leastStoredBytes(uint16_t compression, uint64_t decoded, uint64_t rows) {
  switch (compression) {
    case COMPRESSION_NONE:
      return decoded;
    case COMPRESSION_PACKBITS:
      return decoded / 64;  // two bytes repeat one 128 times
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
      return rows / 8;  // a blank row can take a single bit
    default:
      // Deflate reaches 1032:1, LZW about 1400:1, JPEG about that with one bit per block.
      return decoded / 4096;
  }
}

// No page's pixels take more than a 600 dpi A0 page's in colour, libtiff's RGBA buffer included.
constexpr uint64_t kMaxPixelBytes = kMaxPagePixels * 3;

template <class T>
T field(TIFF* tiff, uint32_t tag, T fallback) {
  T value = fallback;
  return TIFFGetFieldDefaulted(tiff, tag, &value) ? value : fallback;
}

ImageFormat formatOf(TIFF* tiff) {
  ImageFormat f;
  f.width = field<uint32_t>(tiff, TIFFTAG_IMAGEWIDTH, 0);
  f.height = field<uint32_t>(tiff, TIFFTAG_IMAGELENGTH, 0);
  f.bitsPerSample = field<uint16_t>(tiff, TIFFTAG_BITSPERSAMPLE, 1);
  f.samplesPerPixel = field<uint16_t>(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
  f.photometric = field<uint16_t>(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  f.planarConfig = field<uint16_t>(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  f.compression = field<uint16_t>(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  f.fillOrder = field<uint16_t>(tiff, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
  f.orientation = field<uint16_t>(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  if (f.compression == COMPRESSION_CCITTFAX4)
    f.group4Options = field<uint32_t>(tiff, TIFFTAG_GROUP4OPTIONS, 0);
  uint16_t extra = 0;
  uint16_t* kinds = nullptr;
  if (TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extra, &kinds)) f.extraSamples = extra;
  f.tiled = TIFFIsTiled(tiff) != 0;
  if (f.tiled) {
    f.tileWidth = field<uint32_t>(tiff, TIFFTAG_TILEWIDTH, 0);
    f.tileLength = field<uint32_t>(tiff, TIFFTAG_TILELENGTH, 0);
  } else {
    f.rowsPerStrip = std::min(field<uint32_t>(tiff, TIFFTAG_ROWSPERSTRIP, f.height), f.height);
  }
  const uint32_t count = f.tiled ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t length = TIFFGetStrileByteCount(tiff, i);
    f.chunks.push_back(
        {TIFFGetStrileOffset(tiff, i), uint32_t(std::min<uint64_t>(length, UINT32_MAX))});
  }
  uint32_t tablesCount = 0;
  void* tables = nullptr;
  if (f.compression == COMPRESSION_JPEG &&
      TIFFGetField(tiff, TIFFTAG_JPEGTABLES, &tablesCount, &tables) && tables)
    f.jpegTables.assign(static_cast<uint8_t*>(tables), static_cast<uint8_t*>(tables) + tablesCount);
  return f;
}

// Whether libtiff reads the page where the walk found it: the same size, orientation and data.
// The walk claimed that data for this page alone, so no output can read it twice.
bool readAlike(const ImageFormat& f, const Page& page, const std::vector<DataChunk>& walked) {
  return f.width == page.width && f.height == page.height && f.orientation == page.orientation &&
         f.tiled == page.tiled && f.chunks == walked;
}

// Writers round tiles up to a standard size, so a tile may be larger than its page, but not
// by much: each tile is decoded whole.
bool tilesFit(const ImageFormat& f) {
  auto roomy = [](uint32_t side) { return (std::max<uint64_t>(side, 1024) + 15) / 16 * 16; };
  return f.tileWidth > 0 && f.tileLength > 0 && f.tileWidth <= roomy(f.width) &&
         f.tileLength <= roomy(f.height);
}

uint64_t storedBytes(const ImageFormat& f) {
  uint64_t stored = 0;
  for (const DataChunk& chunk : f.chunks) stored += chunk.length;
  return stored;
}

}  // namespace

struct PageReader::State {
  const Document& document;
  size_t index;
  std::unique_ptr<ByteSource> view;
  ClientFile file{nullptr};
  Messages messages;
  Tiff tiff;
  ImageFormat format;
  std::vector<DataChunk> walked;  // the page's strips or tiles as the walk found them
  std::string problem;
  Direct direct = Direct::None;
  int depth = 8;
  std::vector<uint8_t> colours;

  State(const Document& d, size_t i) : document(d), index(i), view(d.singlePageView(i)) {
    file.source = view.get();
  }
  void open();
  std::string check() const;
};

void PageReader::State::open() {
  const Page& page = document.page(index);
  walked = document.pageData(index);
  // libtiff's own allocations while it reads the directory and the data: the largest stored
  // strip or the page in colour, whichever is larger. A directory claiming more fails.
  uint64_t largest = 0;
  for (const DataChunk& chunk : walked) largest = std::max<uint64_t>(largest, chunk.length);
  const uint64_t limit = std::max(largest, uint64_t{page.width} * page.height * 3) + (1u << 20);
  Options options(TIFFOpenOptionsAlloc());
  if (!options) throw std::bad_alloc();
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), onError, &messages);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), onWarning, &messages);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(),
                                      tmsize_t(std::min<uint64_t>(limit, uint64_t(INT32_MAX))));
  // "m": no memory mapping, the view is read through the calls above. "c": the strips as
  // stored, not cut into strips of 8 KB, so that they are the walk's.
  tiff.reset(TIFFClientOpenExt("page", "rmc", &file, readFile, writeFile, seekFile, closeFile,
                               sizeOfFile, mapNothing, unmapNothing, options.get()));
  if (!tiff) {
    problem = "its directory cannot be read (" +
              (messages.error.empty() ? std::string("libtiff refuses it") : messages.error) + ")";
    return;
  }
  format = formatOf(tiff.get());
  direct = directFor(format);
  depth = direct == Direct::None ? rgbaDepth(format) : depthOf(direct);
  if (direct == Direct::Palette) colours = colourTable(tiff.get(), format.bitsPerSample);
  problem = check();
}

std::string PageReader::State::check() const {
  const ImageFormat& f = format;
  if (!readAlike(f, document.page(index), walked))
    return "its directory does not describe its image data consistently";
  if (!TIFFIsCODECConfigured(f.compression))
    return "its image is stored with compression " + std::to_string(f.compression) +
           ", which no decoder here reads";
  // No page has more samples or deeper ones; their rows would only be large.
  if (f.samplesPerPixel == 0 || f.samplesPerPixel > 8 || f.bitsPerSample == 0 ||
      f.bitsPerSample > 16)
    return "its image is stored in a layout no decoder here reads";
  if (f.tiled && !tilesFit(f)) return "its tiles are far larger than the page";
  if (direct == Direct::Palette && colours.empty()) return "its colour table is missing";
  const uint64_t decoded =
      (uint64_t{f.width} * f.samplesPerPixel * f.bitsPerSample + 7) / 8 * f.height;
  if (storedBytes(f) < leastStoredBytes(f.compression, decoded, f.height))
    return "its image data is cut short or claims far more pixels than it holds";
  uint64_t pixels = uint64_t{strideOf(f.width, depth)} * f.height;
  if (direct == Direct::None) pixels += uint64_t{f.width} * f.height * 4;  // libtiff's RGBA
  if (f.orientation != ORIENTATION_TOPLEFT) pixels *= 2;                   // the upright copy
  if (pixels > kMaxPixelBytes) return "its image is too large to decode in its layout";
  return {};
}

PageReader::PageReader(const Document& document, size_t index)
    : state_(std::make_unique<State>(document, index)) {
  state_->open();
}

PageReader::~PageReader() = default;

TIFF* PageReader::tiff() const {
  return state_->tiff.get();
}

const ImageFormat& PageReader::format() const {
  return state_->format;
}

const std::string& PageReader::problem() const {
  return state_->problem;
}

int PageReader::depth() const {
  return state_->depth;
}

const std::vector<uint8_t>& PageReader::colours() const {
  return state_->colours;
}

std::optional<PageImage> PageReader::decode(std::vector<uint8_t> storage) {
  State& s = *state_;
  if (!s.problem.empty()) return std::nullopt;
  const ImageFormat& f = s.format;
  HeldData data(*s.view, f.chunks);
  s.file.source = &data;
  s.messages.error.clear();
  TIFF* tiff = s.tiff.get();
  // The stored order: the orientation is applied afterwards, to every layout alike.
  TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  PageImage image = blankImage(f.width, f.height, s.depth, std::move(storage));
  std::string why = "its image data is damaged";
  const bool decoded = s.direct == Direct::None ? decodeRgba(tiff, f, image, why)
                                                : decodeDirect(tiff, f, s.direct, s.colours, image);
  TIFFSetField(tiff, TIFFTAG_ORIENTATION, f.orientation);
  s.file.source = s.view.get();
  if (!decoded || !s.messages.error.empty()) {
    s.problem = why + (s.messages.error.empty() ? "" : " (" + s.messages.error + ")");
    return std::nullopt;
  }
  return upright(std::move(image), f.orientation);
}

DecodedPage decodeImage(const Document& document, size_t index, std::vector<uint8_t> storage) {
  PageReader reader(document, index);
  DecodedPage page;
  page.image = reader.decode(std::move(storage));
  if (!page.image) page.problem = reader.problem();
  return page;
}

// --- The placeholder -----------------------------------------------------------------

namespace {

constexpr uint8_t kBackground = 0xE0;
constexpr uint8_t kCross = 0xA8;
constexpr uint8_t kInk = 0x00;

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

}  // namespace

PageImage placeholderImage(uint32_t width, uint32_t height) {
  PageImage img;
  img.width = width;
  img.height = height;
  img.bitsPerPixel = 8;
  img.stride = strideOf(img.width, 8);
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
  return img;
}

}  // namespace mdi
