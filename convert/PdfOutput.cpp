// The PDF: one page per document page. Stored CCITT G4 and JPEG strips go in as they are, other
// images as their decoded pixels (qpdf compresses them with Flate); the text is an invisible
// layer in Type 3 fonts of empty glyphs that map to Unicode. Every stream's data is made only
// while qpdf writes it (the small content streams a few dozen pages ahead), so memory holds about
// one page's image whatever the document's length.
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>
#include <zlib.h>
#define XXH_INLINE_ALL  // the header is the whole library: nothing to link, on either system
#include <xxhash.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <optional>
#include <unordered_map>

#include "convert/Outputs.h"
#include "convert/Worker.h"
#include "document/PageReader.h"

namespace convert {

namespace {

// The size a JPEG stream's frame header declares; false when no frame header comes before
// the first scan.
bool jpegFrameSize(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height) {
  if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
  size_t at = 2;
  while (at + 4 <= size) {
    if (data[at] != 0xFF) return false;
    uint8_t marker = data[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length follows
      at += 2;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) return false;  // the scan, or the end, came first
    size_t length = size_t(data[at + 2]) << 8 | data[at + 3];
    if (length < 2 || length > size - at - 2) return false;
    bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (length < 7) return false;
      *height = uint32_t(data[at + 5]) << 8 | data[at + 6];
      *width = uint32_t(data[at + 7]) << 8 | data[at + 8];
      return true;
    }
    at += 2 + length;
  }
  return false;
}

// A JPEG strip's frame size, from its first bytes only: the strip itself is read again when it
// is written. A few kilobytes hold the frame header of nearly every strip; 64 KB, those with
// large application segments before it.
bool stripFrameSize(const mdi::Document& document, const mdi::DataChunk& chunk, uint32_t* width,
                    uint32_t* height) {
  for (uint32_t wanted : {4096u, 65536u}) {
    std::vector<uint8_t> head(std::min(chunk.length, wanted));
    document.source().read(chunk.offset, head.data(), head.size());
    if (jpegFrameSize(head.data(), head.size(), width, height)) return true;
    if (head.size() == chunk.length) return false;
  }
  return false;
}

using Object = QPDFObjectHandle;
constexpr double kDefaultDpi = 200;  // the viewer's assumption for pages that state none
constexpr int kGlyphWidth = 500;     // in the fonts' thousandths of the type size

double dpiOrDefault(double dpi) {
  return dpi > 0 ? dpi : kDefaultDpi;
}
// A page's size in points, as it is seen.
double pageWidth(const mdi::Page& p) {
  return p.shownWidth() * 72.0 / dpiOrDefault(p.shownDpiX());
}
double pageHeight(const mdi::Page& p) {
  return p.shownHeight() * 72.0 / dpiOrDefault(p.shownDpiY());
}

// Where qpdf's bytes go: to the file a megabyte at a time, and through a 128-bit XXH3 digest for
// the trailer's ID, which qpdf writes as a fixed placeholder and this puts in place at the end.
// The same document so gives the same bytes, as qpdf's own deterministic ID would; but qpdf's
// MD5 took half of a long document's time, where XXH3 takes a hundredth, and the digest and the
// writing can run on a processor of their own beside qpdf.
class OutputPipeline : public Pipeline {
 public:
  OutputPipeline(OutputFile& file, bool spareProcessor)
      : Pipeline("output", nullptr), file_(file), writer_(spareProcessor) {
    XXH3_128bits_reset(&digest_);
  }
  void write(unsigned char const* data, size_t size) override {
    held_.insert(held_.end(), data, data + size);
    if (held_.size() >= kBatch + kTail) handOver(held_.size() - kTail);
  }
  // qpdf finishes its pipelines, and so this one, again and again while it writes.
  void finish() override {}
  // Once qpdf is done: the digest of everything before the ID becomes the ID.
  void complete() {
    std::string_view held(reinterpret_cast<const char*>(held_.data()), held_.size());
    size_t id = held.rfind(kPlaceholder);
    if (id == std::string_view::npos) throw std::logic_error("qpdf wrote no placeholder ID.");
    handOver(id);
    writer_.wait();
    XXH128_canonical_t digest;  // big-endian, as xxhsum prints it
    XXH128_canonicalFromHash(&digest, XXH3_128bits_digest(&digest_));
    std::string hex =
        QUtil::hex_encode(std::string(reinterpret_cast<char*>(digest.digest), sizeof digest));
    std::string trailerId = "/ID [<" + hex + "><" + hex + ">]";
    std::copy(trailerId.begin(), trailerId.end(), held_.begin());
    file_.writeAt(at_, held_.data(), held_.size());
  }

 private:
  static constexpr size_t kBatch = 1 << 20;
  static constexpr size_t kTail = 4096;   // more than a trailer: the placeholder stays held
  static constexpr char kPlaceholder[] =  // qpdf's static ID
      "/ID [<31415926535897932384626433832795><31415926535897932384626433832795>]";

  // The first `count` bytes held go to the digest and the file, while qpdf goes on.
  void handOver(size_t count) {
    writer_.wait();  // until the batch before is out: its buffer is reused
    batch_.swap(held_);
    held_.assign(batch_.begin() + std::ptrdiff_t(count), batch_.end());
    batch_.resize(count);
    uint64_t at = at_;
    at_ += count;
    writer_.post([this, at] {
      XXH3_128bits_update(&digest_, batch_.data(), batch_.size());
      file_.writeAt(at, batch_.data(), batch_.size());
      file_.startSync(at, batch_.size());
    });
  }

  OutputFile& file_;
  XXH3_state_t digest_;
  uint64_t at_ = 0;
  std::vector<unsigned char> held_;   // from qpdf, not yet handed over
  std::vector<unsigned char> batch_;  // being digested and written
  Worker writer_;                     // last: its work uses the rest
};

// Streams whose data a function makes when qpdf asks for it.
class LazyStreams : public QPDFObjectHandle::StreamDataProvider {
 public:
  using Maker = std::function<void(Pipeline&)>;
  void provideStreamData(QPDFObjGen const& og, Pipeline* pipeline) override {
    makers_.at(og)(*pipeline);
    pipeline->finish();
  }
  static Object add(QPDF& pdf, const std::shared_ptr<LazyStreams>& self, Maker maker,
                    Object dictionary, Object filter = Object::newNull(),
                    Object parameters = Object::newNull()) {
    Object stream = Object::newStream(&pdf);
    for (const std::string& key : dictionary.getKeys())
      stream.getDict().replaceKey(key, dictionary.getKey(key));
    self->makers_[stream.getObjGen()] = std::move(maker);
    stream.replaceStreamData(self, filter, parameters);
    return stream;
  }

 private:
  std::map<QPDFObjGen, Maker> makers_;
};

void put(Pipeline& p, const std::vector<uint8_t>& bytes, size_t from = 0) {
  if (bytes.size() > from) p.write(bytes.data() + from, bytes.size() - from);
}

// At most four decimals, without trailing zeros. Called for every line of the text layer, so
// no printf.
void appendNumber(std::string& out, double v) {
  long long scaled = std::llround(v * 10000);
  if (scaled < 0) {
    out += '-';
    scaled = -scaled;
  }
  out += std::to_string(scaled / 10000);
  int fraction = int(scaled % 10000);
  if (fraction == 0) return;
  char digits[] = {'.', char('0' + fraction / 1000), char('0' + fraction / 100 % 10),
                   char('0' + fraction / 10 % 10), char('0' + fraction % 10)};
  size_t length = sizeof digits;
  while (digits[length - 1] == '0') --length;
  out.append(digits, length);
}

std::string number(double v) {
  std::string s;
  appendNumber(s, v);
  return s;
}

// An array of numbers, as a page's box or an image's decode range: integers where they are.
Object numbers(std::initializer_list<double> values) {
  Object array = Object::newArray();
  for (double v : values)
    array.appendItem(v == std::floor(v) ? Object::newInteger(static_cast<long long>(v))
                                        : Object::newReal(number(v)));
  return array;
}

// A page's content, compressed at zlib's fastest level with an 8 KB window: its lines repeat
// so much that this gives nearly all the saving of the defaults, and a stream of a few kilobytes
// is done before the defaults would have set up their 256 KB of tables.
std::vector<uint8_t> deflated(const std::string& text) {
  z_stream z{};
  if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 13, 7, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::bad_alloc();
  std::unique_ptr<z_stream, int (*)(z_stream*)> end(&z, deflateEnd);
  std::vector<uint8_t> out(deflateBound(&z, uLong(text.size())));
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = uInt(text.size());
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::bad_alloc();
  out.resize(z.total_out);
  return out;
}

std::string hex(uint32_t v, int digits) {
  std::string text(size_t(digits), '0');
  for (int i = digits - 1; i >= 0 && v; --i, v >>= 4) text[size_t(i)] = "0123456789ABCDEF"[v & 15];
  return text;
}

// --- The text layer ---------------------------------------------------------

bool isLineBreak(char32_t c) {
  return c == '\r' || c == '\n';
}

// Every character of the document gets a code in one of the fonts, 256 to a font.
class Glyphs {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;  // not in the document

  explicit Glyphs(const mdi::Document& document) : basic_(0x10000, kNone) {
    for (size_t i = 0; i < document.pageCount(); ++i)
      for (char32_t c : codePoints(document.pageText(i)))
        if (!isLineBreak(c) && code(c) == kNone) add(c);
  }
  size_t fontCount() const { return (order_.size() + 255) / 256; }
  size_t glyphCount() const { return order_.size(); }
  // Looked up for every character of the document, twice: the common ones in a table.
  uint32_t code(char32_t c) const {
    if (c < basic_.size()) return basic_[c];
    auto found = supplementary_.find(c);
    return found == supplementary_.end() ? kNone : found->second;
  }
  // The font's ToUnicode map.
  std::string toUnicode(size_t font) const {
    size_t first = font * 256, count = std::min<size_t>(256, order_.size() - first);
    std::string cmap =
        "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n"
        "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
        "/CMapName /Folirex-UCS-" +
        std::to_string(font) +
        " def /CMapType 2 def\n1 begincodespacerange <00> <FF> endcodespacerange\n";
    for (size_t block = 0; block < count; block += 100) {
      size_t n = std::min<size_t>(100, count - block);
      cmap += std::to_string(n) + " beginbfchar\n";
      for (size_t k = block; k < block + n; ++k)
        cmap += "<" + hex(uint32_t(k), 2) + "> <" + utf16Hex(order_[first + k]) + ">\n";
      cmap += "endbfchar\n";
    }
    return cmap + "endcmap CMapName currentdict /CMap defineresource pop end end\n";
  }

 private:
  static std::string utf16Hex(char32_t c) {
    if (c < 0x10000) return hex(c, 4);
    c -= 0x10000;
    return hex(0xD800 + (c >> 10), 4) + hex(0xDC00 + (c & 0x3FF), 4);
  }
  void add(char32_t c) {
    uint32_t code = uint32_t(order_.size());
    if (c < basic_.size())
      basic_[c] = code;
    else
      supplementary_.emplace(c, code);
    order_.push_back(c);
  }
  std::vector<uint32_t> basic_;  // by code point, below U+10000
  std::unordered_map<char32_t, uint32_t> supplementary_;
  std::vector<char32_t> order_;
};

Object type3Font(QPDF& pdf, const Glyphs& glyphs, size_t font, Object emptyGlyph) {
  size_t count = std::min<size_t>(256, glyphs.glyphCount() - font * 256);
  Object procs = Object::newDictionary(), differences = Object::newArray(),
         widths = Object::newArray();
  differences.appendItem(Object::newInteger(0));
  for (size_t k = 0; k < count; ++k) {
    std::string name = "/g" + std::to_string(k);
    procs.replaceKey(name, emptyGlyph);
    differences.appendItem(Object::newName(name));
    widths.appendItem(Object::newInteger(kGlyphWidth));
  }
  Object f = Object::parse(
      "<< /Type /Font /Subtype /Type3 /FontBBox [0 -200 500 800]"
      " /FontMatrix [0.001 0 0 0.001 0 0] /Resources << >> /FirstChar 0 >>");
  f.replaceKey("/LastChar", Object::newInteger(int(count) - 1));
  f.replaceKey("/CharProcs", procs);
  Object encoding = Object::parse("<< /Type /Encoding >>");
  encoding.replaceKey("/Differences", differences);
  f.replaceKey("/Encoding", encoding);
  f.replaceKey("/Widths", widths);
  f.replaceKey("/ToUnicode", Object::newStream(&pdf, glyphs.toUnicode(font)));
  return pdf.makeIndirectObject(f);
}

// A glyph's code in a literal string: the bytes a reader would take for the string's end, an
// escape or a line break are escaped.
void appendCode(std::string& out, uint8_t code) {
  switch (code) {
    case '(':
    case ')':
    case '\\':
      out += '\\';
      out += char(code);
      break;
    case '\r':
      out += "\\r";
      break;
    case '\n':
      out += "\\n";
      break;
    default:
      out += char(code);
  }
}

// Lines from the top of the page down, each no wider than the page: readers keep their order.
// Position, leading and font are set once; each line then moves down one (T*), narrows the
// type only when it must, and changes font only where its characters do: a few bytes a line.
void appendTextLayer(std::string& out, const std::u16string& text, const Glyphs& glyphs,
                     double width, double height) {
  std::u32string characters = codePoints(text);
  size_t lineCount = 1 + size_t(std::count(characters.begin(), characters.end(), U'\n'));
  double leading = height / double(lineCount + 1);
  double size = std::min(12.0, leading * 0.8);
  out.reserve(out.size() + characters.size() * 2 + lineCount * 16 + 64);
  out += "BT 3 Tr ";
  appendNumber(out, leading);
  out += " TL 1 0 0 1 ";
  appendNumber(out, width * 0.05);
  out += ' ';
  appendNumber(out, height);
  out += " Tm\n";
  size_t font = SIZE_MAX;
  double scaling = 100;  // the default
  for (size_t at = 0; at <= characters.size();) {
    size_t end = std::min(characters.find(U'\n', at), characters.size());
    size_t length = 0;
    for (size_t k = at; k < end; ++k) length += characters[k] != U'\r';
    out += "T*";
    if (length > 0) {
      double natural = double(length) * size * kGlyphWidth / 1000;
      double fit = std::min(100.0, 100 * width * 0.9 / natural);
      if (fit != scaling) {
        out += ' ';
        appendNumber(out, fit);
        out += " Tz";
        scaling = fit;
      }
      bool open = false;
      for (size_t k = at; k < end; ++k) {
        if (characters[k] == U'\r') continue;
        uint32_t code = glyphs.code(characters[k]);
        if (code / 256 != font) {
          if (open) out += ") Tj";
          open = false;
          font = code / 256;
          out += " /T" + std::to_string(font) + ' ';
          appendNumber(out, size);
          out += " Tf";
        }
        if (!open) out += " (";
        open = true;
        appendCode(out, uint8_t(code % 256));
      }
      out += ") Tj";
    }
    out += '\n';
    at = end + 1;
  }
  out += "ET\n";
}

// The pages' content streams (images placed, the text layer, compressed), made a batch of pages
// ahead while qpdf writes the pages before, as it asks for them in order: on a thread of their
// own when a processor is spare. That thread first gathers the document's characters for the
// fonts, while the pages are laid out.
class Contents {
 public:
  Contents(const mdi::Document& document, bool spareProcessor)
      : document_(document), maker_(spareProcessor) {
    maker_.post([this] { glyphs_.emplace(document_); });
  }
  // The next page, in order: its images placed, to be drawn under its text.
  void addPage(std::string drawing) { drawings_.push_back(std::move(drawing)); }
  // Once every page is added: the characters, when they are gathered. The first pages' contents
  // are then made while qpdf writes the objects before them.
  const Glyphs& allAdded() {
    maker_.wait();
    makeAhead(0);
    return *glyphs_;
  }
  std::vector<uint8_t> take(size_t index) {
    if (index < first_ || index - first_ >= made_.size()) {
      maker_.wait();
      if (index == nextFirst_)
        made_.swap(next_);
      else  // not the pages expected: made here and now
        made_ = make(index);
      first_ = index;
      makeAhead(index + made_.size());
    }
    return std::move(made_[index - first_]);
  }

 private:
  static constexpr size_t kPagesAhead = 32;  // few hand-overs: each wakes the other thread
  void makeAhead(size_t first) {
    nextFirst_ = first;
    if (first < drawings_.size()) maker_.post([this] { next_ = make(nextFirst_); });
  }
  std::vector<std::vector<uint8_t>> make(size_t first) const {
    std::vector<std::vector<uint8_t>> made;
    for (size_t i = first; i < std::min(first + kPagesAhead, drawings_.size()); ++i) {
      const mdi::Page& p = document_.page(i);
      std::string content = drawings_[i];
      appendTextLayer(content, document_.pageText(i), *glyphs_, pageWidth(p), pageHeight(p));
      made.push_back(deflated(content));
    }
    return made;
  }

  const mdi::Document& document_;
  std::optional<Glyphs> glyphs_;
  std::vector<std::string> drawings_;
  std::vector<std::vector<uint8_t>> made_, next_;  // by page, from first_ and nextFirst_
  size_t first_ = 0, nextFirst_ = SIZE_MAX;
  Worker maker_;  // last: its work uses the rest
};

// --- The page's image -----------------------------------------------------------

enum class Carry { Ccitt, Jpeg, Pixels, Placeholder };

struct Strip {
  uint32_t firstRow = 0;
  uint32_t rows = 0;
  mdi::DataChunk chunk;
};

// The JPEG tables go in front of every strip: a page of many small strips and large tables is
// drawn from its pixels instead, so that the tables do not make the output many times the file.
bool tablesRepeatedTooOften(const mdi::ImageFormat& f) {
  uint64_t stored = 0;
  for (const mdi::DataChunk& chunk : f.chunks) stored += chunk.length;
  return uint64_t{f.jpegTables.size()} * f.chunks.size() > 4 * stored + 65536;
}

// Whether PDF's own filters read the stored strips as they are, each strip its own image; all
// as libtiff reads the page's directory.
Carry howToCarry(const mdi::Document& document, const mdi::PageReader& reader,
                 std::vector<Strip>& strips) {
  if (!reader.problem().empty()) return Carry::Placeholder;
  const mdi::ImageFormat& f = reader.format();
  bool ccitt = f.compression == COMPRESSION_CCITTFAX4;
  bool jpeg = f.compression == COMPRESSION_JPEG;
  if (f.tiled || !(ccitt || jpeg) || f.planarConfig != PLANARCONFIG_CONTIG ||
      f.orientation != ORIENTATION_TOPLEFT || f.extraSamples != 0)
    return Carry::Pixels;
  if (ccitt) {
    bool plain = f.bitsPerSample == 1 && f.samplesPerPixel == 1 && f.photometric <= 1 &&
                 f.fillOrder == FILLORDER_MSB2LSB &&
                 (f.group4Options & GROUP4OPT_UNCOMPRESSED) == 0;
    if (!plain) return Carry::Pixels;
  } else {
    bool grey = f.samplesPerPixel == 1 && f.photometric <= 1;
    bool colour = f.samplesPerPixel == 3 &&
                  (f.photometric == PHOTOMETRIC_RGB || f.photometric == PHOTOMETRIC_YCBCR);
    if (f.bitsPerSample != 8 || !(grey || colour) || tablesRepeatedTooOften(f))
      return Carry::Pixels;
  }
  uint32_t row = 0;
  for (const mdi::DataChunk& chunk : f.chunks) {
    if (row >= f.height) return Carry::Pixels;
    uint32_t rows = std::min(f.rowsPerStrip, f.height - row);
    if (jpeg) {
      // The stream's own frame must be the strip, or a reader would draw something else.
      uint32_t w = 0, h = 0;
      if (!stripFrameSize(document, chunk, &w, &h) || w != f.width || h != rows)
        return Carry::Pixels;
    }
    strips.push_back({row, rows, chunk});
    row += rows;
  }
  if (row != f.height) return Carry::Pixels;
  return ccitt ? Carry::Ccitt : Carry::Jpeg;
}

// The placeholder of a page whose image cannot be decoded, in a few operators: a frame and its
// diagonals, whatever the page's size.
std::string placeholderDrawing(double width, double height) {
  double thick = std::max(1.0, std::min(width, height) / 150);
  std::string d = "q 0.5 G ";
  appendNumber(d, thick);
  d += " w ";
  for (double v : {thick / 2, thick / 2, width - thick, height - thick}) {
    appendNumber(d, v);
    d += ' ';
  }
  d += "re 0 0 m ";
  for (double v : {width, height}) {
    appendNumber(d, v);
    d += ' ';
  }
  d += "l 0 ";
  appendNumber(d, height);
  d += " m ";
  appendNumber(d, width);
  d += " 0 l S Q\n";
  return d;
}

// A decoded page's rows as a PDF image takes them: whole bytes, no padding; black and white
// with a set bit for black (the image says /Decode [1 0]), colour in red-green-blue order.
void putRows(Pipeline& out, const mdi::PageImage& image) {
  const size_t bytes = image.bitsPerPixel == 1
                           ? (size_t(image.width) + 7) / 8
                           : size_t(image.width) * size_t(image.bitsPerPixel / 8);
  std::vector<uint8_t> row(bytes);
  for (uint32_t y = 0; y < image.height; ++y) {
    const uint8_t* from = image.pixels.data() + size_t(y) * image.stride;
    if (image.bitsPerPixel == 1) {
      for (size_t k = 0; k < bytes; ++k) row[k] = uint8_t(~from[k]);
    } else if (image.bitsPerPixel == 24) {
      for (size_t x = 0; x < bytes; x += 3) {
        row[x] = from[x + 2];
        row[x + 1] = from[x + 1];
        row[x + 2] = from[x];
      }
    } else {
      std::copy(from, from + bytes, row.begin());
    }
    out.write(row.data(), row.size());
  }
}

// The rows of a page whose data failed while it was decoded, after its image was promised:
// blank, written a row at a time.
void putBlankRows(Pipeline& out, uint32_t width, uint32_t height, int depth) {
  const size_t bytes = depth == 1 ? (size_t(width) + 7) / 8 : size_t(width) * size_t(depth / 8);
  std::vector<uint8_t> row(bytes, depth == 1 ? 0x00 : 0xFF);
  for (uint32_t y = 0; y < height; ++y) out.write(row.data(), row.size());
}

// A palette page's colour table as /Indexed takes it: red, green, blue for each entry.
std::vector<uint8_t> rgbTable(const std::vector<uint8_t>& colours) {
  std::vector<uint8_t> table(256 * 3, 0);
  for (size_t i = 0; i < 256 && i * 4 + 2 < colours.size(); ++i) {
    table[i * 3] = colours[i * 4 + 2];
    table[i * 3 + 1] = colours[i * 4 + 1];
    table[i * 3 + 2] = colours[i * 4];
  }
  return table;
}

class PdfBuilder {
 public:
  PdfBuilder(const mdi::Document& document, std::vector<PageIssue>& issues,
             const PageDone& pageDone, bool spareProcessor)
      : document_(document),
        issues_(issues),
        pageDone_(pageDone),
        spareProcessor_(spareProcessor),
        contents_(document, spareProcessor) {
    pdf_.emptyPDF();
    fonts_ = pdf_.makeIndirectObject(Object::newDictionary());  // filled once the text is read
  }

  void addPages() {
    QPDFPageDocumentHelper pages(pdf_);
    for (size_t i = 0; i < document_.pageCount(); ++i) pages.addPage(page(i), false);
  }

  void write(OutputFile& file) {
    addFonts();
    OutputPipeline output(file, spareProcessor_);
    QPDFWriter writer(pdf_);
    writer.setOutputPipeline(&output);
    writer.setCompressStreams(true);
    writer.setDecodeLevel(qpdf_dl_none);
    writer.setStaticID(true);  // the placeholder the output pipeline replaces
    writer.write();
    output.complete();
  }

 private:
  void addFonts() {
    const Glyphs& glyphs = contents_.allAdded();
    Object emptyGlyph = Object::newStream(&pdf_, std::to_string(kGlyphWidth) + " 0 d0\n");
    for (size_t f = 0; f < glyphs.fontCount(); ++f)
      fonts_.replaceKey("/T" + std::to_string(f), type3Font(pdf_, glyphs, f, emptyGlyph));
  }

  QPDFObjectHandle page(size_t index) {
    const mdi::Page& p = document_.page(index);
    double width = pageWidth(p), height = pageHeight(p);
    double rowHeight = 72.0 / dpiOrDefault(p.dpiY);

    std::vector<Strip> strips;
    mdi::PageReader reader(document_, index);
    Carry carry = howToCarry(document_, reader, strips);
    Object images = Object::newDictionary();
    std::string drawing;
    auto place = [&](const std::string& name, uint32_t firstRow, uint32_t rows) {
      drawing += "q ";
      appendNumber(drawing, width);
      drawing += " 0 0 ";
      appendNumber(drawing, rows * rowHeight);
      drawing += " 0 ";
      appendNumber(drawing, height - (firstRow + rows) * rowHeight);
      drawing += " cm /" + name + " Do Q\n";
    };
    if (carry == Carry::Placeholder) {
      issues_.push_back({index + 1, reader.problem()});
      drawing += placeholderDrawing(width, height);
    } else if (carry == Carry::Pixels) {
      images.replaceKey("/Im0", pixelImage(index, reader));
      place("Im0", 0, p.shownHeight());
    } else {
      for (size_t k = 0; k < strips.size(); ++k) {
        std::string name = "Im" + std::to_string(k);
        images.replaceKey("/" + name, storedImage(reader.format(), carry, strips[k]));
        place(name, strips[k].firstRow, strips[k].rows);
      }
    }

    contents_.addPage(std::move(drawing));
    Object contents = LazyStreams::add(
        pdf_, streams_,
        [this, index](Pipeline& out) {
          put(out, contents_.take(index));
          pageDone_();
        },
        Object::newDictionary(), Object::newName("/FlateDecode"));

    Object resources = Object::newDictionary();
    resources.replaceKey("/XObject", images);
    resources.replaceKey("/Font", fonts_);
    Object pageObject = Object::newDictionary();
    pageObject.replaceKey("/Type", Object::newName("/Page"));
    pageObject.replaceKey("/MediaBox", numbers({0, 0, width, height}));
    pageObject.replaceKey("/Resources", resources);
    pageObject.replaceKey("/Contents", contents);
    return pdf_.makeIndirectObject(pageObject);
  }

  Object imageDictionary(uint32_t width, uint32_t rows, int bits, Object colourSpace) {
    Object d = Object::newDictionary();
    d.replaceKey("/Type", Object::newName("/XObject"));
    d.replaceKey("/Subtype", Object::newName("/Image"));
    d.replaceKey("/Width", Object::newInteger(width));
    d.replaceKey("/Height", Object::newInteger(rows));
    d.replaceKey("/BitsPerComponent", Object::newInteger(bits));
    d.replaceKey("/ColorSpace", colourSpace);
    return d;
  }

  Object storedImage(const mdi::ImageFormat& p, Carry carry, const Strip& strip) {
    bool whiteIsZero = p.photometric == PHOTOMETRIC_MINISWHITE;
    if (carry == Carry::Ccitt) {
      Object d = imageDictionary(p.width, strip.rows, 1, Object::newName("/DeviceGray"));
      // The code's white runs come out as 1 (white); pages whose 0 bits are black say so.
      if (!whiteIsZero) d.replaceKey("/Decode", numbers({1, 0}));
      Object parameters = Object::newDictionary();
      parameters.replaceKey("/K", Object::newInteger(-1));
      parameters.replaceKey("/Columns", Object::newInteger(p.width));
      parameters.replaceKey("/Rows", Object::newInteger(strip.rows));
      mdi::DataChunk chunk = strip.chunk;
      return asStored(LazyStreams::add(
          pdf_, streams_, [this, chunk](Pipeline& out) { put(out, readChunk(chunk)); }, d,
          Object::newName("/CCITTFaxDecode"), parameters));
    }
    bool grey = p.samplesPerPixel == 1;
    Object d = imageDictionary(p.width, strip.rows, 8,
                               Object::newName(grey ? "/DeviceGray" : "/DeviceRGB"));
    if (grey && whiteIsZero) d.replaceKey("/Decode", numbers({1, 0}));
    Object parameters = Object::newNull();
    if (p.photometric == PHOTOMETRIC_RGB) parameters = Object::parse("<< /ColorTransform 0 >>");
    mdi::DataChunk chunk = strip.chunk;
    return asStored(LazyStreams::add(
        pdf_, streams_,
        [this, chunk, tables = p.jpegTables](Pipeline& out) mutable {
          // Tables kept once in the directory go in front of the strip's own stream.
          const std::vector<uint8_t>& data = readChunk(chunk);
          if (tables.size() >= 4) {
            put(out, std::vector<uint8_t>(tables.begin(), tables.end() - 2));  // no end of image
            put(out, data, 2);  // after the strip's start-of-image marker
          } else {
            put(out, data);
          }
        },
        d, Object::newName("/DCTDecode"), parameters));
  }

  // Written as given. Otherwise qpdf, asked to compress streams, takes the data to compress
  // it, finds a filter it will not decode, and asks for the data again: every strip twice.
  static Object asStored(Object stream) {
    stream.setFilterOnWrite(false);
    return stream;
  }

  // A strip's bytes, in the same buffer every time: a page's 60 KB are not allocated anew.
  const std::vector<uint8_t>& readChunk(const mdi::DataChunk& chunk) {
    chunk_.resize(chunk.length);
    document_.source().read(chunk.offset, chunk_.data(), chunk_.size());
    return chunk_;
  }

  // The page's decoded pixels, decoded again when qpdf writes them: its form (depth, colour
  // table) is known from its directory now.
  Object pixelImage(size_t index, const mdi::PageReader& reader) {
    const mdi::Page& p = document_.page(index);
    const int depth = reader.depth();
    const bool palette = !reader.colours().empty();
    Object colourSpace = Object::newName(depth == 24 ? "/DeviceRGB" : "/DeviceGray");
    if (palette) {
      std::vector<uint8_t> table = rgbTable(reader.colours());
      colourSpace = Object::parse("[/Indexed /DeviceRGB 255]");
      colourSpace.appendItem(LazyStreams::add(
          pdf_, streams_, [table](Pipeline& out) { put(out, table); }, Object::newDictionary()));
    }
    const uint32_t width = p.shownWidth(), height = p.shownHeight();
    Object d = imageDictionary(width, height, depth == 1 ? 1 : 8, colourSpace);
    if (depth == 1) d.replaceKey("/Decode", numbers({1, 0}));
    const mdi::Document& document = document_;
    std::vector<PageIssue>& issues = issues_;
    return LazyStreams::add(
        pdf_, streams_,
        [&document, &issues, index, width, height, depth](Pipeline& out) {
          mdi::PageReader reader(document, index);
          std::optional<mdi::PageImage> image = reader.decode();
          if (image && image->width == width && image->height == height &&
              image->bitsPerPixel == depth) {
            putRows(out, *image);
            return;
          }
          issues.push_back({index + 1, reader.problem()});
          putBlankRows(out, width, height, depth);
        },
        d);
  }

  const mdi::Document& document_;
  std::vector<PageIssue>& issues_;
  const PageDone& pageDone_;
  bool spareProcessor_;
  Contents contents_;
  QPDF pdf_;
  std::shared_ptr<LazyStreams> streams_ = std::make_shared<LazyStreams>();
  Object fonts_;
  std::vector<uint8_t> chunk_;  // the strip being written
};

}  // namespace

void writePdf(const mdi::Document& document, OutputFile& file, std::vector<PageIssue>& issues,
              const PageDone& pageDone, bool spareProcessor) {
  PdfBuilder builder(document, issues, pageDone, spareProcessor);
  builder.addPages();
  builder.write(file);
  std::sort(issues.begin(), issues.end(),
            [](const PageIssue& a, const PageIssue& b) { return a.page < b.page; });
}

}  // namespace convert
