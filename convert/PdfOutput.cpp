// The PDF: one page per document page. Stored CCITT G4 and JPEG strips go in as they are, other
// images as their decoded pixels (qpdf compresses them with Flate); the text is an invisible
// layer (PdfText.h). Every stream's data is made only
// while qpdf writes it (the small content streams a few dozen pages ahead), so memory holds about
// one page's image whatever the document's length.
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <optional>

#include "convert/Outputs.h"
#include "convert/PdfArchive.h"
#include "convert/PdfImages.h"
#include "convert/PdfSink.h"
#include "convert/PdfSyntax.h"
#include "convert/PdfText.h"
#include "convert/Worker.h"
#include "document/PageReader.h"

namespace convert {

namespace {

using namespace pdf;

// The pages' content streams (images placed, the text layer, compressed), made a batch of pages
// ahead while qpdf writes the pages before, as it asks for them in order: on a thread of their
// own when a processor is spare. That thread first gathers the document's characters for the
// fonts, while the pages are laid out.
class Contents {
 public:
  explicit Contents(const OutputSource& source) : source_(source), maker_(source.spareProcessor) {
    maker_.post([this] { glyphs_.emplace(source_); });
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
      std::string content = drawings_[i];
      appendTextLayer(content, source_, i, *glyphs_);
      made.push_back(deflated(content));
    }
    return made;
  }

  const OutputSource& source_;
  std::optional<Glyphs> glyphs_;
  std::vector<std::string> drawings_;
  std::vector<std::vector<uint8_t>> made_, next_;  // by page, from first_ and nextFirst_
  size_t first_ = 0, nextFirst_ = SIZE_MAX;
  Worker maker_;  // last: its work uses the rest
};

class PdfBuilder {
 public:
  PdfBuilder(const OutputSource& source, std::vector<PageIssue>& issues)
      : source_(source),
        document_(source.document),
        issues_(issues),
        pageDone_(source.pageDone),
        spareProcessor_(source.spareProcessor),
        contents_(source) {
    pdf_.emptyPDF();
    fonts_ = pdf_.makeIndirectObject(Object::newDictionary());  // filled once the text is read
  }

  void addPages() {
    QPDFPageDocumentHelper pages(pdf_);
    for (size_t i = 0; i < document_.pageCount(); ++i) pages.addPage(page(i), false);
  }

  void write(OutputFile& file) {
    addFonts();
    addArchiveParts(pdf_, source_);
    OutputSink output(file, spareProcessor_);
    QPDFWriter writer(pdf_);
    writer.setOutputPipeline(&output);
    writer.setCompressStreams(true);
    writer.setDecodeLevel(qpdf_dl_none);
    writer.setStaticID(true);            // the placeholder the output pipeline replaces
    writer.setMinimumPDFVersion("1.4");  // metadata streams and output intents
    writer.write();
    output.complete();
  }

 private:
  void addFonts() {
    const Glyphs& glyphs = contents_.allAdded();
    if (glyphs.fontCount() == 0) return;
    Object file = glyphlessFontFile(pdf_);
    for (size_t f = 0; f < glyphs.fontCount(); ++f)
      fonts_.replaceKey("/T" + std::to_string(f), glyphlessFont(pdf_, glyphs, f, file));
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

  const OutputSource& source_;
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

void writePdf(const OutputSource& source, OutputFile& file, std::vector<PageIssue>& issues) {
  PdfBuilder builder(source, issues);
  builder.addPages();
  builder.write(file);
  std::sort(issues.begin(), issues.end(),
            [](const PageIssue& a, const PageIssue& b) { return a.page < b.page; });
}

}  // namespace convert
