#include "document/Document.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
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
  kOrientation = 274,
  kStripOffsets = 273,
  kStripByteCounts = 279,
  kXResolution = 282,
  kYResolution = 283,
  kResolutionUnit = 296,
  kTileWidth = 322,
  kTileLength = 323,
  kTileOffsets = 324,
  kTileByteCounts = 325,
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
  kLong8 = 16,
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
    case kLong8:
    case 17:  // SLONG8
    case 18:  // IFD8
      return 8;
    default:
      return 0;
  }
}

bool isLocation(uint16_t tag) {
  return tag == kStripOffsets || tag == kStripByteCounts || tag == kTileOffsets ||
         tag == kTileByteCounts;
}

// A chain longer than this is cut: more pages than anyone scans, and a bound on memory.
constexpr size_t kMaxPages = 100000;
// libtiff reads no BigTIFF directory of more entries than this.
constexpr uint64_t kMaxBigEntries = 4096;

// Directories, location arrays and tag values of different pages do not share bytes in a sound
// file, so reading them all reads about the file once. Damaged links can make thousands of
// pages read the same large directory, array or value again and again; this bounds that, and
// what an output copies of them, to a multiple of the file's size.
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
  Parser(const ByteSource& src, bool big, bool wide)
      : src_(src), big_(big), wide_(wide), size_(src.size()), budget_(workBudget(size_)) {}

  uint16_t u16(const uint8_t* p) const {
    return big_ ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
  }
  uint32_t u32(const uint8_t* p) const {
    return big_ ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
  }
  uint64_t u64(const uint8_t* p) const {
    uint64_t high = u32(big_ ? p : p + 4), low = u32(big_ ? p + 4 : p);
    return high << 32 | low;
  }
  // An offset: 4 bytes, 8 in BigTIFF.
  uint64_t offset(const uint8_t* p) const { return wide_ ? u64(p) : u32(p); }
  size_t offsetSize() const { return wide_ ? 8 : 4; }

  // Reads one directory; nextIfd() then gives the link to the following one.
  Page readPage(uint64_t ifdOffset, size_t number);
  uint64_t nextIfd() const { return nextIfd_; }
  // The strips or tiles of the page whose directory is at `ifdOffset`.
  std::vector<DataChunk> readChunks(uint64_t ifdOffset, bool tiled, size_t number);
  // The directory's entries, each tag once (its first, as libtiff has it).
  std::vector<Entry> readEntries(uint64_t ifdOffset, size_t number, uint64_t* next);

 private:
  uint32_t scalar(const Entry& e, size_t number) const;
  // Optional tags that are malformed count as absent, as libtiff has them.
  uint32_t scalarOr(const Entry& e, uint32_t absent) const;
  double rationalOr(const Entry& e, double absent) const;
  // Calls `visit(offset, length)` for each strip or tile; refuses data past the file's end.
  template <class Visit>
  void forEachChunk(const Entry& offsets, const Entry& counts, size_t number, Visit visit) const;
  uint64_t arrayValue(const uint8_t* p, size_t size) const {
    return size == 2 ? u16(p) : size == 4 ? u32(p) : u64(p);
  }
  // Claims the bytes for this page's data or text: no earlier page, nor another strip of its
  // own, may hold them.
  void claim(uint64_t offset, uint64_t length, size_t number);
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
  bool wide_;
  uint64_t size_;
  // The directory just read; inline values are taken from here.
  std::vector<uint8_t> ifd_;
  uint64_t ifdOffset_ = 0;
  uint64_t nextIfd_ = 0;
  uint64_t budget_;
  mutable uint64_t work_ = 0;
  std::map<uint64_t, uint64_t> claimed_;                   // by first byte: one past the last
  std::vector<bool> seenTags_ = std::vector<bool>(65536);  // in the directory being read
  mutable std::vector<uint8_t> offsetBytes_, countBytes_;  // a page's strip locations
};

std::vector<Entry> Parser::readEntries(uint64_t ifdOffset, size_t number, uint64_t* next) {
  const size_t countSize = wide_ ? 8 : 2, entrySize = wide_ ? 20 : 12;
  if (ifdOffset < (wide_ ? 16u : 8u) || ifdOffset > size_ || size_ - ifdOffset < countSize)
    throw ReadError("The file is truncated: page " + std::to_string(number) +
                    "'s directory lies past the end of the file.");
  // One read for the usual directory of a few dozen entries; a second only for longer ones.
  uint64_t guess = std::min<uint64_t>(size_ - ifdOffset, countSize + entrySize * 32 + 8);
  ifd_.resize(size_t(guess));
  src_.read(ifdOffset, ifd_.data(), ifd_.size());
  uint64_t count = wide_ ? u64(ifd_.data()) : u16(ifd_.data());
  if (count == 0) damaged(number, "has an empty directory");
  if (count > kMaxBigEntries && wide_) damaged(number, "has a directory of too many entries");
  uint64_t len = countSize + count * entrySize + offsetSize();
  if (ifdOffset + len > size_)
    throw ReadError("The file is truncated: page " + std::to_string(number) +
                    "'s directory runs past the end of the file.");
  spend(len);
  ifd_.resize(size_t(len));
  if (len > guess) src_.read(ifdOffset + guess, ifd_.data() + guess, size_t(len - guess));
  ifdOffset_ = ifdOffset;
  std::vector<Entry> entries;
  entries.reserve(size_t(count));
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* p = ifd_.data() + countSize + i * entrySize;
    Entry e;
    e.tag = u16(p);
    e.type = u16(p + 2);
    uint64_t count64 = wide_ ? u64(p + 4) : u32(p + 4);
    e.count = count64 > UINT32_MAX ? 0 : uint32_t(count64);
    const size_t valueAt = wide_ ? 12 : 8;
    uint64_t bytes = uint64_t{typeSize(e.type)} * e.count;
    if (bytes <= offsetSize()) {
      e.valueOffset = ifdOffset + countSize + i * entrySize + valueAt;
    } else {
      e.valueOffset = offset(p + valueAt);
      // A tag this reader does not know may be broken without harm; known ones are checked
      // where they are used.
      if (e.valueOffset > size_ || bytes > size_ - e.valueOffset) e.count = 0;
      // What an output may copy of the page's values, apart from its data and text.
      else if (!isLocation(e.tag) && e.tag != kRecognisedText)
        spend(bytes);
    }
    // libtiff reads a tag given twice as its first entry says: so does this reader.
    if (seenTags_[e.tag]) continue;
    seenTags_[e.tag] = true;
    entries.push_back(e);
  }
  for (const Entry& e : entries) seenTags_[e.tag] = false;
  *next = offset(ifd_.data() + len - offsetSize());
  return entries;
}

// The first value of a SHORT or LONG tag (BitsPerSample may repeat it per sample).
uint32_t Parser::scalar(const Entry& e, size_t number) const {
  if (e.count == 0 || (e.type != kShort && e.type != kLong && e.type != kByte && e.type != kLong8))
    damaged(number, "has a malformed tag " + std::to_string(e.tag));
  return scalarOr(e, 0);
}

uint32_t Parser::scalarOr(const Entry& e, uint32_t absent) const {
  if (e.count == 0 || (e.type != kShort && e.type != kLong && e.type != kByte && e.type != kLong8))
    return absent;
  uint8_t buf[8];
  size_t n = typeSize(e.type);
  valueBytes(e.valueOffset, buf, n);
  if (e.type == kShort) return u16(buf);
  if (e.type == kLong) return u32(buf);
  if (e.type == kLong8) {
    uint64_t value = u64(buf);
    return value > UINT32_MAX ? absent : uint32_t(value);
  }
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

void Parser::claim(uint64_t offset, uint64_t length, size_t number) {
  if (length == 0) return;
  auto after = claimed_.upper_bound(offset);
  bool overlaps = after != claimed_.end() && after->first < offset + length;
  if (after != claimed_.begin() && std::prev(after)->second > offset) overlaps = true;
  if (overlaps) damaged(number, "uses image data or text that another page or strip uses");
  claimed_.emplace(offset, offset + length);
}

// Strips or tiles must lie inside the file: a cut-off file fails at open, not at showing.
template <class Visit>
void Parser::forEachChunk(const Entry& offsets, const Entry& counts, size_t number,
                          Visit visit) const {
  auto arrayType = [](uint16_t type) { return type == kShort || type == kLong || type == kLong8; };
  if (offsets.count == 0 || offsets.count != counts.count || !arrayType(offsets.type) ||
      !arrayType(counts.type))
    damaged(number, "has malformed image data locations");
  size_t osz = typeSize(offsets.type), csz = typeSize(counts.type);
  spend(uint64_t{offsets.count} * (osz + csz));
  constexpr uint32_t kChunk = 1024;
  // The same buffers for every page: most pages have one strip, and its values lie inline.
  std::vector<uint8_t>& ob = offsetBytes_;
  std::vector<uint8_t>& cb = countBytes_;
  ob.resize(size_t(std::min(kChunk, offsets.count)) * osz);
  cb.resize(size_t(std::min(kChunk, offsets.count)) * csz);
  for (uint32_t first = 0; first < offsets.count; first += kChunk) {
    uint32_t n = std::min(kChunk, offsets.count - first);
    valueBytes(offsets.valueOffset + uint64_t{first} * osz, ob.data(), n * osz);
    valueBytes(counts.valueOffset + uint64_t{first} * csz, cb.data(), n * csz);
    for (uint32_t i = 0; i < n; ++i) {
      uint64_t off = arrayValue(&ob[i * osz], osz);
      uint64_t len = arrayValue(&cb[i * csz], csz);
      if (off > size_ || len > size_ - off)
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
  page.nextPointerOffset = ifdOffset + ifd_.size() - offsetSize();
  Entry stripOffsets, stripCounts, tileOffsets, tileCounts, xres, yres, text;
  bool haveWidth = false, haveHeight = false;
  uint32_t unit = 2;  // inch, when the page does not say
  uint32_t tileWidth = 0, tileLength = 0;
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
      case kResolutionUnit:
        unit = scalarOr(e, 2);
        break;
      case kOrientation:
        page.orientation = uint16_t(scalarOr(e, 1));
        if (page.orientation < 1 || page.orientation > 8) page.orientation = 1;
        break;
      case kTileWidth:
        tileWidth = scalar(e, number);
        break;
      case kTileLength:
        tileLength = scalar(e, number);
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
      case kRecognisedText:
        // Stored as bytes; any other type is not the layout this reader knows.
        if (typeSize(e.type) == 1 && e.count > 0) text = e;
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
  auto claimChunk = [this, number](uint64_t off, uint64_t len) { claim(off, len, number); };
  if (tileOffsets.tag) {
    page.tiled = true;
    if (tileWidth == 0 || tileLength == 0) damaged(number, "has tiles of no size");
    // Writers round tiles up to a standard size, so a tile may be larger than its page, but
    // not by much: each tile is decoded whole, and its size is summed with the page's.
    auto roomy = [](uint32_t side) { return (std::max<uint64_t>(side, 1024) + 15) / 16 * 16; };
    if (tileWidth > roomy(page.width) || tileLength > roomy(page.height))
      damaged(number, "has tiles far larger than the page");
    forEachChunk(tileOffsets, tileCounts, number, claimChunk);
  } else if (stripOffsets.tag) {
    forEachChunk(stripOffsets, stripCounts, number, claimChunk);
  } else {
    damaged(number, "has no image data");
  }
  if (text.tag) {
    page.textOffset = text.valueOffset;
    page.textCount = text.count;
    // Text in the directory itself is the directory's; text elsewhere is the page's alone.
    if (text.count > offsetSize()) claim(text.valueOffset, text.count, number);
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
  uint8_t header[16] = {};
  if (size < 8) throw ReadError("The file is too short to be a document.");
  src.read(0, header, size_t(std::min<uint64_t>(size, sizeof header)));
  bool big;
  if (header[0] == 'I' && header[1] == 'I')
    big = false;
  else if (header[0] == 'M' && header[1] == 'M')
    big = true;
  else if (header[0] == 'E' && header[1] == 'P')
    big = false;  // the imaging software's own mark, otherwise a little-endian TIFF
  else
    throw ReadError("The file is not a document: it does not begin with a TIFF header.");
  const uint16_t mark = Parser(src, big, false).u16(header + 2);
  // BigTIFF: 43, the size of its offsets (8), 0, and the first directory's 8-byte offset.
  const bool wide = mark == 43 && header[0] != 'E';
  Parser parser(src, big, wide);
  if (wide && (size < 16 || parser.u16(header + 4) != 8 || parser.u16(header + 6) != 0))
    throw ReadError("The file is not a document: its BigTIFF header is malformed.");
  if (mark != 42 && !wide)
    throw ReadError("The file is not a document: its header lacks the TIFF mark 42.");
  doc.bigEndian_ = big;
  doc.bigTiff_ = wide;
  std::unordered_set<uint64_t> visited;
  uint64_t offset = parser.offset(header + (wide ? 8 : 4));
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
  Parser parser(*source_, bigEndian_, bigTiff_);
  return parser.readChunks(p.ifdOffset, p.tiled, index + 1);
}

std::vector<uint16_t> Document::pageTags(size_t index) const {
  Parser parser(*source_, bigEndian_, bigTiff_);
  uint64_t next = 0;
  std::vector<uint16_t> tags;
  for (const Entry& e : parser.readEntries(page(index).ifdOffset, index + 1, &next))
    tags.push_back(e.tag);
  std::sort(tags.begin(), tags.end());
  return tags;
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
  const size_t offsetSize = bigTiff_ ? 8 : 4;
  auto put = [this](uint8_t* dst, uint64_t v, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i) dst[bigEndian_ ? bytes - 1 - i : i] = uint8_t(v >> (8 * i));
  };
  std::vector<uint8_t> header(bigTiff_ ? 16 : 8);
  header[0] = header[1] = bigEndian_ ? 'M' : 'I';
  put(&header[2], bigTiff_ ? 43 : 42, 2);
  if (bigTiff_) put(&header[4], 8, 2);  // then two zero bytes
  put(&header[bigTiff_ ? 8 : 4], p.ifdOffset, offsetSize);
  std::vector<OverlaySource::Patch> patches;
  patches.push_back({0, std::move(header)});
  patches.push_back({p.nextPointerOffset, std::vector<uint8_t>(offsetSize, 0)});
  return std::make_unique<OverlaySource>(source_, std::move(patches));
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
