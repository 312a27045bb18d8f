#include "component/reader/Document.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <utility>

namespace mdi {

namespace {

// --- Byte sources -----------------------------------------------------------

void checkRange(uint64_t size, uint64_t offset, uint64_t len) {
  if (offset > size || len > size - offset)
    throw ReadError("The file is truncated: a read runs past its end.");
}

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  uint64_t size() const override { return bytes_.size(); }
  void read(uint64_t offset, void* dst, size_t len) const override {
    checkRange(bytes_.size(), offset, len);
    if (len) std::memcpy(dst, bytes_.data() + offset, len);
  }

 private:
  std::vector<uint8_t> bytes_;
};

// The document's bytes with a few small ranges replaced: a one-page view of it.
class OverlaySource : public ByteSource {
 public:
  struct Patch {
    uint64_t offset;
    std::vector<uint8_t> bytes;
  };
  OverlaySource(std::shared_ptr<ByteSource> base, std::vector<Patch> patches)
      : base_(std::move(base)), patches_(std::move(patches)) {}
  uint64_t size() const override { return base_->size(); }
  void read(uint64_t offset, void* dst, size_t len) const override {
    base_->read(offset, dst, len);
    auto* out = static_cast<uint8_t*>(dst);
    for (const Patch& p : patches_) {
      uint64_t from = std::max(offset, p.offset);
      uint64_t to = std::min(offset + len, p.offset + p.bytes.size());
      for (uint64_t at = from; at < to; ++at) out[at - offset] = p.bytes[at - p.offset];
    }
  }

 private:
  std::shared_ptr<ByteSource> base_;
  std::vector<Patch> patches_;
};

// --- Directory parsing ------------------------------------------------------

enum Tag : uint16_t {
  kImageWidth = 256,
  kImageLength = 257,
  kBitsPerSample = 258,
  kCompression = 259,
  kPhotometric = 262,
  kFillOrder = 266,
  kOrientation = 274,
  kStripOffsets = 273,
  kSamplesPerPixel = 277,
  kRowsPerStrip = 278,
  kStripByteCounts = 279,
  kXResolution = 282,
  kYResolution = 283,
  kPlanarConfig = 284,
  kGroup4Options = 293,
  kResolutionUnit = 296,
  kTileWidth = 322,
  kTileLength = 323,
  kTileOffsets = 324,
  kTileByteCounts = 325,
  kJpegTables = 347,
  kRecognisedText = 37679,
};

enum Type : uint16_t {
  kByte = 1,
  kAscii = 2,
  kShort = 3,
  kLong = 4,
  kRational = 5,
  kSByte = 6,
  kUndefined = 7,
};

size_t typeSize(uint16_t type) {
  switch (type) {
    case kByte:
    case kAscii:
    case kSByte:
    case kUndefined:
      return 1;
    case kShort:
    case 8:  // SSHORT
      return 2;
    case kLong:
    case 9:   // SLONG
    case 11:  // FLOAT
    case 13:  // IFD
      return 4;
    case kRational:
    case 10:  // SRATIONAL
    case 12:  // DOUBLE
      return 8;
    default:
      return 0;
  }
}

// A chain longer than this is cut: more pages than anyone scans, and a bound on memory.
constexpr size_t kMaxPages = 100000;

// Directories and location arrays of different pages do not share bytes in a sound file, so
// reading them all reads about the file once. Damaged links can make thousands of pages read
// the same large directory or array again and again; this bounds that to a multiple of the
// file's size.
uint64_t workBudget(uint64_t fileSize) {
  return 4 * fileSize + 64 * 1024;
}

struct Entry {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint32_t count = 0;
  uint64_t valueOffset = 0;  // where the value's bytes live, inline or not
};

class Parser {
 public:
  Parser(const ByteSource& src, bool big)
      : src_(src), big_(big), size_(src.size()), budget_(workBudget(size_)) {}

  uint16_t u16(const uint8_t* p) const {
    return big_ ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
  }
  uint32_t u32(const uint8_t* p) const {
    return big_ ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
  }

  // Reads one directory; nextIfd() then gives the link to the following one.
  Page readPage(uint64_t ifdOffset, size_t number);
  uint64_t nextIfd() const { return nextIfd_; }
  // The strips or tiles of the page whose directory is at `ifdOffset`.
  std::vector<DataChunk> readChunks(uint64_t ifdOffset, bool tiled, size_t number);

 private:
  std::vector<Entry> readEntries(uint64_t ifdOffset, size_t number, uint64_t* next);
  uint32_t scalar(const Entry& e, size_t number) const;
  // Optional tags that are malformed count as absent, as libtiff has them.
  uint32_t scalarOr(const Entry& e, uint32_t absent) const;
  double rationalOr(const Entry& e, double absent) const;
  // Calls `visit(offset, length)` for each strip or tile; refuses data past the file's end.
  template <class Visit>
  void forEachChunk(const Entry& offsets, const Entry& counts, size_t number, Visit visit) const;
  void checkData(const Entry& offsets, const Entry& counts, size_t number) const {
    forEachChunk(offsets, counts, number, [](uint64_t, uint64_t) {});
  }
  // The value's bytes: from the directory already read when they lie in it.
  void valueBytes(uint64_t offset, uint8_t* dst, size_t len) const;
  [[noreturn]] void damaged(size_t number, const std::string& what) const {
    throw ReadError("The file is damaged: page " + std::to_string(number) + " " + what + ".");
  }
  void spend(uint64_t bytes) const {
    work_ += bytes;
    if (work_ > budget_)
      throw ReadError(
          "The file is damaged: its pages share their directories or image data locations.");
  }

  const ByteSource& src_;
  bool big_;
  uint64_t size_;
  // The directory just read; inline values are taken from here.
  std::vector<uint8_t> ifd_;
  uint64_t ifdOffset_ = 0;
  uint64_t nextIfd_ = 0;
  uint64_t budget_;
  mutable uint64_t work_ = 0;
};

std::vector<Entry> Parser::readEntries(uint64_t ifdOffset, size_t number, uint64_t* next) {
  if (ifdOffset < 8 || ifdOffset + 2 > size_)
    throw ReadError("The file is truncated: page " + std::to_string(number) +
                    "'s directory lies past the end of the file.");
  // One read for the usual directory of a few dozen entries; a second only for longer ones.
  uint64_t guess = std::min<uint64_t>(size_ - ifdOffset, 2 + 12 * 32 + 4);
  ifd_.resize(size_t(guess));
  src_.read(ifdOffset, ifd_.data(), ifd_.size());
  uint16_t count = u16(ifd_.data());
  if (count == 0) damaged(number, "has an empty directory");
  uint64_t len = 2 + uint64_t{count} * 12 + 4;
  if (ifdOffset + len > size_)
    throw ReadError("The file is truncated: page " + std::to_string(number) +
                    "'s directory runs past the end of the file.");
  spend(len);
  ifd_.resize(size_t(len));
  if (len > guess) src_.read(ifdOffset + guess, ifd_.data() + guess, size_t(len - guess));
  ifdOffset_ = ifdOffset;
  std::vector<Entry> entries;
  entries.reserve(count);
  for (uint16_t i = 0; i < count; ++i) {
    const uint8_t* p = ifd_.data() + 2 + i * 12;
    Entry e;
    e.tag = u16(p);
    e.type = u16(p + 2);
    e.count = u32(p + 4);
    uint64_t bytes = uint64_t{typeSize(e.type)} * e.count;
    if (bytes <= 4) {
      e.valueOffset = ifdOffset + 2 + i * 12 + 8;
    } else {
      e.valueOffset = u32(p + 8);
      // A tag this reader does not know may be broken without harm; known ones are checked
      // where they are used.
      if (e.valueOffset + bytes > size_) e.count = 0;
    }
    entries.push_back(e);
  }
  *next = u32(ifd_.data() + len - 4);
  return entries;
}

// The first value of a SHORT or LONG tag (BitsPerSample may repeat it per sample).
uint32_t Parser::scalar(const Entry& e, size_t number) const {
  if (e.count == 0 || (e.type != kShort && e.type != kLong && e.type != kByte))
    damaged(number, "has a malformed tag " + std::to_string(e.tag));
  return scalarOr(e, 0);
}

uint32_t Parser::scalarOr(const Entry& e, uint32_t absent) const {
  if (e.count == 0 || (e.type != kShort && e.type != kLong && e.type != kByte)) return absent;
  uint8_t buf[4];
  size_t n = typeSize(e.type);
  uint64_t inIfd = e.valueOffset - ifdOffset_;
  if (e.valueOffset >= ifdOffset_ && inIfd + n <= ifd_.size())
    std::memcpy(buf, ifd_.data() + inIfd, n);
  else
    src_.read(e.valueOffset, buf, n);
  if (e.type == kShort) return u16(buf);
  if (e.type == kLong) return u32(buf);
  return buf[0];
}

double Parser::rationalOr(const Entry& e, double absent) const {
  if (e.type != kRational || e.count == 0) return absent;
  uint8_t buf[8];
  valueBytes(e.valueOffset, buf, 8);
  uint32_t num = u32(buf), den = u32(buf + 4);
  return den == 0 ? 0.0 : double(num) / den;
}

void Parser::valueBytes(uint64_t offset, uint8_t* dst, size_t len) const {
  if (offset >= ifdOffset_ && offset - ifdOffset_ + len <= ifd_.size())
    std::memcpy(dst, ifd_.data() + (offset - ifdOffset_), len);
  else
    src_.read(offset, dst, len);
}

// Strips or tiles must lie inside the file: a cut-off file fails at open, not at showing.
template <class Visit>
void Parser::forEachChunk(const Entry& offsets, const Entry& counts, size_t number,
                          Visit visit) const {
  if (offsets.count == 0 || offsets.count != counts.count ||
      (offsets.type != kShort && offsets.type != kLong) ||
      (counts.type != kShort && counts.type != kLong))
    damaged(number, "has malformed image data locations");
  size_t osz = typeSize(offsets.type), csz = typeSize(counts.type);
  spend(uint64_t{offsets.count} * (osz + csz));
  constexpr uint32_t kChunk = 1024;
  std::vector<uint8_t> ob(kChunk * 4), cb(kChunk * 4);
  for (uint32_t first = 0; first < offsets.count; first += kChunk) {
    uint32_t n = std::min(kChunk, offsets.count - first);
    valueBytes(offsets.valueOffset + uint64_t{first} * osz, ob.data(), n * osz);
    valueBytes(counts.valueOffset + uint64_t{first} * csz, cb.data(), n * csz);
    for (uint32_t i = 0; i < n; ++i) {
      uint64_t off = osz == 2 ? u16(&ob[i * 2]) : u32(&ob[i * 4]);
      uint64_t len = csz == 2 ? u16(&cb[i * 2]) : u32(&cb[i * 4]);
      if (off + len > size_)
        throw ReadError("The file is truncated: page " + std::to_string(number) +
                        "'s image data runs past the end of the file.");
      visit(off, len);
    }
  }
}

std::vector<DataChunk> Parser::readChunks(uint64_t ifdOffset, bool tiled, size_t number) {
  uint64_t next = 0;
  std::vector<Entry> entries = readEntries(ifdOffset, number, &next);
  Entry offsets, counts;
  for (const Entry& e : entries) {
    if (e.tag == (tiled ? kTileOffsets : kStripOffsets)) offsets = e;
    if (e.tag == (tiled ? kTileByteCounts : kStripByteCounts)) counts = e;
  }
  std::vector<DataChunk> chunks;
  forEachChunk(offsets, counts, number, [&chunks](uint64_t off, uint64_t len) {
    chunks.push_back(DataChunk{off, uint32_t(len)});
  });
  return chunks;
}

Page Parser::readPage(uint64_t ifdOffset, size_t number) {
  Page page;
  page.ifdOffset = ifdOffset;
  uint64_t next = 0;
  std::vector<Entry> entries = readEntries(ifdOffset, number, &next);
  page.nextPointerOffset = ifdOffset + ifd_.size() - 4;
  Entry stripOffsets, stripCounts, tileOffsets, tileCounts, xres, yres;
  bool haveWidth = false, haveHeight = false;
  uint32_t unit = 2;  // inch, when the page does not say
  for (const Entry& e : entries) {
    switch (e.tag) {
      case kImageWidth:
        page.width = scalar(e, number);
        haveWidth = true;
        break;
      case kImageLength:
        page.height = scalar(e, number);
        haveHeight = true;
        break;
      case kBitsPerSample:
        page.bitsPerSample = uint16_t(scalarOr(e, 1));
        break;
      case kCompression:
        page.compression = uint16_t(scalarOr(e, 1));
        break;
      case kPhotometric:
        page.photometric = uint16_t(scalarOr(e, 0));
        break;
      case kSamplesPerPixel:
        page.samplesPerPixel = uint16_t(scalarOr(e, 1));
        break;
      case kResolutionUnit:
        unit = scalarOr(e, 2);
        break;
      case kRowsPerStrip:
        page.rowsPerStrip = scalarOr(e, 0);
        break;
      case kOrientation:
        page.orientation = uint16_t(scalarOr(e, 1));
        if (page.orientation < 1 || page.orientation > 8) page.orientation = 1;
        break;
      case kFillOrder:
        page.fillOrder = uint16_t(scalarOr(e, 1));
        break;
      case kPlanarConfig:
        page.planarConfig = uint16_t(scalarOr(e, 1));
        break;
      case kGroup4Options:
        page.group4Options = scalarOr(e, 0);
        break;
      case kTileWidth:
        page.tileWidth = scalar(e, number);
        break;
      case kTileLength:
        page.tileLength = scalar(e, number);
        break;
      case kStripOffsets:
        stripOffsets = e;
        break;
      case kStripByteCounts:
        stripCounts = e;
        break;
      case kTileOffsets:
        tileOffsets = e;
        break;
      case kTileByteCounts:
        tileCounts = e;
        break;
      case kXResolution:
        xres = e;
        break;
      case kYResolution:
        yres = e;
        break;
      case kJpegTables:
        if (typeSize(e.type) == 1 && e.count > 0) {
          page.jpegTablesOffset = e.valueOffset;
          page.jpegTablesCount = e.count;
        }
        break;
      case kRecognisedText:
        // Stored as bytes; any other type is not the layout this reader knows.
        if (typeSize(e.type) == 1 && e.count > 0) {
          page.textOffset = e.valueOffset;
          page.textCount = e.count;
        }
        break;
      default:
        break;
    }
  }
  if (!haveWidth || !haveHeight || page.width == 0 || page.height == 0)
    damaged(number, "has no width or height");
  if (uint64_t{page.width} * page.height > kMaxPagePixels || page.width > kMaxPageSide ||
      page.height > kMaxPageSide)
    throw ReadError("Page " + std::to_string(number) +
                    " is too large: " + std::to_string(page.width) + " by " +
                    std::to_string(page.height) + " pixels is more than a 600 dpi A0 page.");
  if (page.samplesPerPixel == 0 || page.bitsPerSample == 0)
    damaged(number, "has no samples per pixel");
  if (page.rowsPerStrip == 0 || page.rowsPerStrip > page.height) page.rowsPerStrip = page.height;
  if (tileOffsets.tag) {
    page.tiled = true;
    if (page.tileWidth == 0 || page.tileLength == 0) damaged(number, "has tiles of no size");
    // Writers round tiles up to a standard size, so a tile may be larger than its page, but
    // not by much: each tile is decoded whole, and its size is summed with the page's.
    auto roomy = [](uint32_t side) { return (std::max<uint64_t>(side, 1024) + 15) / 16 * 16; };
    if (page.tileWidth > roomy(page.width) || page.tileLength > roomy(page.height))
      damaged(number, "has tiles far larger than the page");
    checkData(tileOffsets, tileCounts, number);
  } else if (stripOffsets.tag) {
    checkData(stripOffsets, stripCounts, number);
  } else {
    damaged(number, "has no image data");
  }
  if (xres.tag && yres.tag && (unit == 2 || unit == 3)) {
    double toInch = unit == 3 ? 2.54 : 1.0;
    page.dpiX = rationalOr(xres, 0) * toInch;
    page.dpiY = rationalOr(yres, 0) * toInch;
  }
  nextIfd_ = next;
  return page;
}

}  // namespace

std::unique_ptr<ByteSource> memorySource(std::vector<uint8_t> bytes) {
  return std::make_unique<MemorySource>(std::move(bytes));
}

Document Document::open(std::unique_ptr<ByteSource> source) {
  Document doc;
  doc.source_ = std::move(source);
  const ByteSource& src = *doc.source_;
  uint64_t size = src.size();
  if (size == 0) throw ReadError("The file is empty.");
  uint8_t header[8];
  if (size < 8) throw ReadError("The file is too short to be a document.");
  src.read(0, header, 8);
  bool big;
  if (header[0] == 'I' && header[1] == 'I')
    big = false;
  else if (header[0] == 'M' && header[1] == 'M')
    big = true;
  else if (header[0] == 'E' && header[1] == 'P')
    big = false;  // the imaging software's own mark, otherwise a little-endian TIFF
  else
    throw ReadError("The file is not a document: it does not begin with a TIFF header.");
  Parser parser(src, big);
  if (parser.u16(header + 2) != 42)
    throw ReadError("The file is not a document: its header lacks the TIFF mark 42.");
  doc.bigEndian_ = big;
  std::unordered_set<uint64_t> visited;
  uint64_t offset = parser.u32(header + 4);
  if (offset == 0) throw ReadError("The document has no pages.");
  while (offset != 0 && doc.pages_.size() < kMaxPages) {
    // A chain that comes back to a directory already read loops: the pages so far are all.
    if (!visited.insert(offset).second) break;
    try {
      doc.pages_.push_back(parser.readPage(offset, doc.pages_.size() + 1));
    } catch (const ReadError& e) {
      if (doc.pages_.empty()) throw;
      // A broken link or a damaged page: the pages before it are the document.
      doc.endedEarly_ = e.what();
      doc.endedEarlyAt_ = offset;
      break;
    }
    offset = parser.nextIfd();
  }
  if (offset != 0 && doc.pages_.size() >= kMaxPages && doc.endedEarly_.empty()) {
    doc.endedEarly_ = "More than " + std::to_string(kMaxPages) + " pages: the rest are not read.";
    doc.endedEarlyAt_ = offset;
  }
  return doc;
}

std::vector<DataChunk> Document::pageData(size_t index) const {
  const Page& p = page(index);
  Parser parser(*source_, bigEndian_);
  return parser.readChunks(p.ifdOffset, p.tiled, index + 1);
}

std::vector<uint8_t> Document::chunkBytes(const DataChunk& chunk) const {
  std::vector<uint8_t> bytes(chunk.length);
  source_->read(chunk.offset, bytes.data(), bytes.size());
  return bytes;
}

std::u16string Document::pageText(size_t index) const {
  const Page& p = page(index);
  if (!p.hasText()) return {};
  std::vector<uint8_t> bytes(p.textCount);
  source_->read(p.textOffset, bytes.data(), bytes.size());
  return decodeTextTag(bytes.data(), bytes.size());
}

std::unique_ptr<ByteSource> Document::singlePageView(size_t index) const {
  const Page& p = page(index);
  auto put32 = [this](uint8_t* dst, uint32_t v) {
    for (int i = 0; i < 4; ++i) dst[bigEndian_ ? 3 - i : i] = uint8_t(v >> (8 * i));
  };
  std::vector<uint8_t> header(8);
  header[0] = header[1] = bigEndian_ ? 'M' : 'I';
  header[2] = bigEndian_ ? 0 : 42;
  header[3] = bigEndian_ ? 42 : 0;
  put32(&header[4], uint32_t(p.ifdOffset));
  std::vector<OverlaySource::Patch> patches;
  patches.push_back({0, std::move(header)});
  patches.push_back({p.nextPointerOffset, std::vector<uint8_t>(4, 0)});
  return std::make_unique<OverlaySource>(source_, std::move(patches));
}

// --- Refusing what cannot be decoded ----------------------------------------------

namespace {

// The fewest stored bytes that can decode to `decoded` bytes of `rows` rows: each codec's
// best case (a blank page), with room to spare.
uint64_t leastStoredBytes(uint16_t compression, uint64_t decoded, uint64_t rows) {
  switch (Compression(compression)) {
    case Compression::None:
      return decoded;
    case Compression::PackBits:
      return decoded / 64;  // two bytes repeat one 128 times
    case Compression::CcittRle:
    case Compression::CcittG3:
    case Compression::CcittG4:
      return rows / 8;  // a blank row can take a single bit
    case Compression::Lzw:
    case Compression::Deflate:
    case Compression::AdobeDeflate:
    case Compression::OldJpeg:
    case Compression::Jpeg:
      // Deflate reaches 1032:1, LZW about 1400:1, JPEG about that with one bit per block.
      return decoded / 4096;
  }
  return 0;  // no decoder reads it: the page becomes a placeholder without its data
}

}  // namespace

bool Document::decodable(size_t index) const {
  return decodable(index, pageData(index));
}

bool Document::decodable(size_t index, const std::vector<DataChunk>& chunks) const {
  const Page& p = page(index);
  uint64_t rowBytes = (uint64_t{p.width} * p.samplesPerPixel * p.bitsPerSample + 7) / 8;
  uint64_t decoded = rowBytes * p.height;
  uint64_t stored = 0;
  for (const DataChunk& chunk : chunks) stored += chunk.length;
  return stored >= leastStoredBytes(p.compression, decoded, p.height);
}

// --- The recognised-text tag ---------------------------------------------------

namespace {

// Windows-1252's 0x80-0x9F; its five unassigned bytes map to the same C1 code points, as
// Windows' own conversion does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::u16string fromCp1252(const uint8_t* p, size_t n) {
  std::u16string out;
  out.reserve(n);
  for (size_t i = 0; i < n; ++i)
    out.push_back(p[i] >= 0x80 && p[i] < 0xA0 ? kCp1252High[p[i] - 0x80] : char16_t(p[i]));
  return out;
}

// Strict UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF); false when invalid.
bool fromUtf8(const uint8_t* p, size_t n, std::u16string* out) {
  out->clear();
  out->reserve(n);
  for (size_t i = 0; i < n;) {
    uint8_t b = p[i];
    if (b < 0x80) {  // most text is ASCII: the whole run at once
      size_t end = i + 1;
      while (end < n && p[end] < 0x80) ++end;
      out->append(p + i, p + end);
      i = end;
      continue;
    }
    int extra;
    uint32_t cp, min;
    if ((b & 0xE0) == 0xC0) {
      extra = 1, cp = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, cp = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, cp = b & 0x07, min = 0x10000;
    } else {
      return false;
    }
    if (n - i <= size_t(extra)) return false;
    for (int k = 1; k <= extra; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      cp = cp << 6 | (p[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out->push_back(char16_t(0xD800 + (cp >> 10)));
      out->push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
      out->push_back(char16_t(cp));
    }
    i += extra + 1;
  }
  return true;
}

}  // namespace

std::u16string decodeTextTag(const uint8_t* data, size_t count) {
  if (count < 6 || data[0] != 0x01 || data[1] != 0x00) return {};
  uint32_t length = uint32_t(data[2]) | uint32_t(data[3]) << 8 | uint32_t(data[4]) << 16 |
                    uint32_t(data[5]) << 24;
  const uint8_t* text = data + 6;
  size_t n = std::min<size_t>(length, count - 6);
  // The text ends in a carriage return and a NUL. Both belong to the terminator, not to the
  // last phrase: keeping the carriage return would leave a stray line break wherever callers
  // put a page's text, e.g. doubled before the line end that separates pages. A NUL that is
  // not last, and a carriage return not followed by the final NUL, are the text's own.
  if (n > 0 && text[n - 1] == 0) {
    --n;
    if (n > 0 && text[n - 1] == '\r') --n;
  }
  std::u16string out;
  if (fromUtf8(text, n, &out)) return out;
  return fromCp1252(text, n);
}

}  // namespace mdi
