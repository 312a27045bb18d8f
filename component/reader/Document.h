// The document container: a TIFF-layout file ("II", "MM", or the "EP" variant)
// holding one image file directory per page. Plain C++, no Windows headers, so
// the same parser builds natively for fuzzing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace mdi {

// Every refusal carries a sentence a person can act on ("The file is empty.").
class ReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Random access to the document's bytes. Reads outside the source throw ReadError.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t size() const = 0;
  virtual void read(uint64_t offset, void* dst, size_t len) const = 0;
};

std::unique_ptr<ByteSource> memorySource(std::vector<uint8_t> bytes);

// The largest page a document may hold: 600 dpi A0 (841 x 1189 mm). Larger pages are refused,
// and so are pages longer on either side than A0's long side: a decoder's work for each row
// grows with the width, whatever the height.
constexpr uint64_t kMaxPagePixels = uint64_t{19866} * 28087;
constexpr uint32_t kMaxPageSide = 28087;

enum class Compression : uint16_t {
  None = 1,
  CcittRle = 2,
  CcittG3 = 3,
  CcittG4 = 4,
  Lzw = 5,
  OldJpeg = 6,
  Jpeg = 7,
  Deflate = 8,
  AdobeDeflate = 32946,
  PackBits = 32773,
};

// One page as its directory describes it; offsets are checked against the file.
struct Page {
  uint64_t ifdOffset = 0;
  uint64_t nextPointerOffset = 0;  // where this directory's link to the next one lives
  uint32_t width = 0;
  uint32_t height = 0;
  double dpiX = 0;  // 0 when the page states no resolution
  double dpiY = 0;
  uint16_t bitsPerSample = 1;
  uint16_t samplesPerPixel = 1;
  uint16_t photometric = 0;
  uint16_t compression = 1;
  bool tiled = false;
  uint32_t rowsPerStrip = 0;  // strips: rows in each but the last
  uint32_t tileWidth = 0;     // tiles: their size
  uint32_t tileLength = 0;
  uint64_t textOffset = 0;  // the recognised-text tag's bytes, when present
  uint32_t textCount = 0;
  uint64_t jpegTablesOffset = 0;  // JPEG tables kept once for all strips, when present
  uint32_t jpegTablesCount = 0;
  uint16_t orientation = 1;   // which sides the stored rows and columns run along (1 to 8)
  uint16_t fillOrder = 1;     // 2: each byte's bits run from the lowest
  uint16_t planarConfig = 1;  // 2: each sample in planes of its own
  uint32_t group4Options = 0;
  bool hasText() const { return textCount != 0; }
  // The page as it is seen: orientations 5 to 8 store its columns as rows.
  bool transposed() const { return orientation >= 5 && orientation <= 8; }
  uint32_t shownWidth() const { return transposed() ? height : width; }
  uint32_t shownHeight() const { return transposed() ? width : height; }
  double shownDpiX() const { return transposed() ? dpiY : dpiX; }
  double shownDpiY() const { return transposed() ? dpiX : dpiY; }
};

// One strip or tile of a page's image data, as stored.
struct DataChunk {
  uint64_t offset = 0;
  uint32_t length = 0;
};

class Document {
 public:
  // Walks the directory chain and nothing more. A directory that cannot be read, or that
  // describes no page, ends the document at the page before it, as a damaged archive is best
  // shown; throws ReadError naming the reason only when not even the first page can be read.
  static Document open(std::unique_ptr<ByteSource> source);

  size_t pageCount() const { return pages_.size(); }
  const Page& page(size_t index) const { return pages_.at(index); }
  // The page's recognised text, decoded from its tag on each call; empty when none.
  std::u16string pageText(size_t index) const;
  // The page's strips or tiles in order, read from its directory on each call.
  std::vector<DataChunk> pageData(size_t index) const;
  // The bytes of one strip or tile.
  std::vector<uint8_t> chunkBytes(const DataChunk& chunk) const;
  // False when the page's stored image data cannot make the page it declares: cut short, or
  // a decompression bomb (a few bytes claiming a huge colour page). Decoders ask before they
  // allocate for the page; the document and its text stay usable either way.
  bool decodable(size_t index) const;
  // The same, for a caller that has read the page's strips or tiles already.
  bool decodable(size_t index, const std::vector<DataChunk>& chunks) const;
  bool bigEndian() const { return bigEndian_; }
  const ByteSource& source() const { return *source_; }
  // Why the chain of directories stopped before its end mark (the link after the last page
  // read could not be followed), with the link's target; empty when the document is whole.
  const std::string& endedEarly() const { return endedEarly_; }
  uint64_t endedEarlyAt() const { return endedEarlyAt_; }

  // The bytes of a one-page TIFF ("II" or "MM") whose only directory is this
  // page's, read through to the document's own bytes: what a codec is handed.
  std::unique_ptr<ByteSource> singlePageView(size_t index) const;

 private:
  std::shared_ptr<ByteSource> source_;
  std::vector<Page> pages_;
  bool bigEndian_ = false;
  std::string endedEarly_;
  uint64_t endedEarlyAt_ = 0;
};

// Decodes the recognised-text tag (tag 37679): 01 00, a 32-bit little-endian
// length, then the text. UTF-8 when valid, Windows-1252 otherwise; an embedded
// NUL is kept, the trailing terminator dropped. A tag that does not fit gives "".
std::u16string decodeTextTag(const uint8_t* data, size_t count);

}  // namespace mdi
