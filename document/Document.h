// The document container: a TIFF-layout file ("II", "MM", the "EP" variant, or BigTIFF)
// holding one image file directory per page. The walk here only finds the pages, their size,
// their text and where their data lies; what a page's image is, libtiff says (PageReader.h).
// Plain C++, no Windows headers, so the same code builds natively for fuzzing.
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

// One page as the walk finds it: where its directory, data and text lie, and its size, which
// libtiff must read alike before the page is decoded. A tag given twice counts the first time,
// as libtiff counts it.
struct Page {
  uint64_t ifdOffset = 0;
  uint64_t nextPointerOffset = 0;  // where this directory's link to the next one lives
  uint32_t width = 0;
  uint32_t height = 0;
  double dpiX = 0;  // 0 when the page states no resolution
  double dpiY = 0;
  bool tiled = false;       // its data lies in tiles, not strips
  uint64_t textOffset = 0;  // the recognised-text tag's bytes, when present
  uint32_t textCount = 0;
  uint16_t orientation = 1;  // which sides the stored rows and columns run along (1 to 8)
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
  bool operator==(const DataChunk& other) const {
    return offset == other.offset && length == other.length;
  }
};

class Document {
 public:
  // Walks the directory chain and nothing more. A directory that cannot be read, that
  // describes no page, or whose image data or text lies in bytes an earlier page (or another
  // of its own strips) already uses, ends the document at the page before it, as a damaged
  // archive is best shown: so no output of the document can grow far beyond the file.
  // Throws ReadError naming the reason only when not even the first page can be read.
  static Document open(std::unique_ptr<ByteSource> source);

  size_t pageCount() const { return pages_.size(); }
  const Page& page(size_t index) const { return pages_.at(index); }
  // The page's recognised text, decoded from its tag on each call; empty when none.
  std::u16string pageText(size_t index) const;
  // The page's strips or tiles in order, read from its directory on each call.
  std::vector<DataChunk> pageData(size_t index) const;
  // The bytes of one strip or tile.
  std::vector<uint8_t> chunkBytes(const DataChunk& chunk) const;
  // The tags of the page's directory, in ascending order, each once.
  std::vector<uint16_t> pageTags(size_t index) const;
  bool bigEndian() const { return bigEndian_; }
  bool bigTiff() const { return bigTiff_; }
  const ByteSource& source() const { return *source_; }
  // Why the chain of directories stopped before its end mark (the link after the last page
  // read could not be followed), with the link's target; empty when the document is whole.
  const std::string& endedEarly() const { return endedEarly_; }
  uint64_t endedEarlyAt() const { return endedEarlyAt_; }

  // The bytes of a one-page TIFF ("II" or "MM", BigTIFF for a BigTIFF document) whose only
  // directory is this page's, read through to the document's own bytes: what libtiff is handed.
  std::unique_ptr<ByteSource> singlePageView(size_t index) const;

 private:
  std::shared_ptr<ByteSource> source_;
  std::vector<Page> pages_;
  bool bigEndian_ = false;
  bool bigTiff_ = false;
  std::string endedEarly_;
  uint64_t endedEarlyAt_ = 0;
};

// Decodes the recognised-text tag (tag 37679): 01 00, a 32-bit little-endian
// length, then the text. UTF-8 when valid, Windows-1252 otherwise; an embedded
// NUL is kept, the trailing terminator dropped. A tag that does not fit gives "".
std::u16string decodeTextTag(const uint8_t* data, size_t count);

}  // namespace mdi
