// Copies each page's directory entries through libtiff and its strips or tiles as stored:
// libtiff lays out the new file, nothing is decoded or compressed again.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <deque>
#include <memory>

#include "convert/Outputs.h"
#include "document/PageReader.h"

namespace convert {

namespace {

// --- libtiff writing into the output file -------------------------------------------

struct Output {
  OutputFile& file;
  uint64_t position = 0;
  std::string lastError;
};

Output& outputOf(thandle_t handle) {
  return *static_cast<Output*>(handle);
}

tmsize_t readOutput(thandle_t handle, void* buffer, tmsize_t size) {
  Output& out = outputOf(handle);
  size_t n = out.file.readAt(out.position, buffer, size_t(size));
  out.position += n;
  return tmsize_t(n);
}

tmsize_t writeOutput(thandle_t handle, void* buffer, tmsize_t size) {
  Output& out = outputOf(handle);
  try {
    out.file.writeAt(out.position, buffer, size_t(size));
  } catch (const std::exception& e) {
    out.lastError = e.what();
    return -1;
  }
  out.position += uint64_t(size);
  return size;
}

toff_t sizeOfOutput(thandle_t handle) {
  return outputOf(handle).file.size();
}

toff_t seekOutput(thandle_t handle, toff_t offset, int whence) {
  Output& out = outputOf(handle);
  if (whence == SEEK_SET)
    out.position = offset;
  else if (whence == SEEK_CUR)
    out.position += offset;
  else
    out.position = sizeOfOutput(handle) + offset;
  return out.position;
}

int closeOutput(thandle_t) {
  return 0;
}
int mapNothing(thandle_t, void**, toff_t*) {
  return 0;
}
void unmapNothing(thandle_t, void*, toff_t) {}

int collectError(TIFF*, void* user, const char* module, const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  static_cast<Output*>(user)->lastError =
      module && *module ? std::string(module) + ": " + text : text;
  return 1;
}

int ignoreWarning(TIFF*, void*, const char*, const char*, va_list) {
  return 1;  // unknown tags and the like: the conversion decides what matters
}

// A new little-endian ("II") TIFF written into the output; closed, and so finished, by close().
class TiffWriter {
 public:
  explicit TiffWriter(OutputFile& file) : output_{file, 0, {}} {
    std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(),
                                                                         &TIFFOpenOptionsFree);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), collectError, &output_);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), ignoreWarning, nullptr);
    tiff_ =
        TIFFClientOpenExt(file.path().c_str(), "wl", &output_, readOutput, writeOutput, seekOutput,
                          closeOutput, sizeOfOutput, mapNothing, unmapNothing, options.get());
  }
  ~TiffWriter() {
    if (tiff_) TIFFClose(tiff_);
  }
  TiffWriter(const TiffWriter&) = delete;
  TiffWriter& operator=(const TiffWriter&) = delete;
  TIFF* get() const { return tiff_; }
  std::string error(const std::string& fallback) const {
    return output_.lastError.empty() ? fallback : output_.lastError;
  }
  // Flushes and closes; false when libtiff could not finish the file.
  bool close() {
    bool flushed = TIFFFlush(tiff_) == 1;
    TIFFClose(tiff_);
    tiff_ = nullptr;
    return flushed;
  }

 private:
  Output output_;
  TIFF* tiff_ = nullptr;
};

// --- Copying a page ---------------------------------------------------------------

bool oneOf(uint16_t tag, std::initializer_list<uint16_t> tags) {
  return std::find(tags.begin(), tags.end(), tag) != tags.end();
}

class TagCopier {
 public:
  TagCopier(TIFF* in, TIFF* out, std::deque<std::string>& names)
      : in_(in), out_(out), names_(names) {}

  void copy(uint16_t tag) {
    // Where the data lands is the new file's business; sub-directories are not carried.
    if (oneOf(tag, {273, 279, 324, 325, 288, 289, 330, 34665, 34853, 513, 514})) return;
    if (oneOf(tag, {254, 256, 257, 278, 292, 293, 322, 323}))
      scalar<uint32_t>(tag);
    else if (oneOf(tag, {255, 258, 259, 262, 263, 266, 274, 277, 280, 281, 284, 290, 296, 317, 339,
                         531}))
      scalar<uint16_t>(tag);
    else if (oneOf(tag, {282, 283, 286, 287}))
      scalar<float>(tag);
    else if (oneOf(tag, {269, 270, 271, 272, 285, 305, 306, 315, 316, 33432}))
      scalar<char*>(tag);
    else if (oneOf(tag, {297, 321, 530}))
      pair(tag);
    else if (oneOf(tag, {318, 319, 529, 532}))
      scalar<float*>(tag);
    else if (tag == TIFFTAG_COLORMAP)
      colorMap();
    else
      counted(tag);
  }

 private:
  template <class T>
  void scalar(uint16_t tag) {
    T value{};
    if (TIFFGetField(in_, tag, &value)) TIFFSetField(out_, tag, value);
  }
  void pair(uint16_t tag) {
    uint16_t a = 0, b = 0;
    if (TIFFGetField(in_, tag, &a, &b)) TIFFSetField(out_, tag, a, b);
  }
  void colorMap() {
    uint16_t *r, *g, *b;
    if (TIFFGetField(in_, TIFFTAG_COLORMAP, &r, &g, &b))
      TIFFSetField(out_, TIFFTAG_COLORMAP, r, g, b);
  }
  // Tags given with their count: JPEG tables, extra samples, and every tag libtiff does not
  // know (the recognised text among them), which the output must first learn.
  void counted(uint16_t tag) {
    const TIFFField* field = TIFFFieldWithTag(in_, tag);
    if (!field || !TIFFFieldPassCount(field)) return;
    if (!TIFFFieldWithTag(out_, tag)) define(field);
    void* data = nullptr;
    if (TIFFFieldReadCount(field) == TIFF_VARIABLE2) {
      uint32_t count = 0;
      if (TIFFGetField(in_, tag, &count, &data)) TIFFSetField(out_, tag, count, data);
    } else {
      uint16_t count = 0;
      if (TIFFGetField(in_, tag, &count, &data)) TIFFSetField(out_, tag, count, data);
    }
  }
  void define(const TIFFField* field) {
    names_.push_back(TIFFFieldName(field));  // libtiff keeps the pointer
    TIFFFieldInfo info{TIFFFieldTag(field),
                       short(TIFFFieldReadCount(field)),
                       short(TIFFFieldWriteCount(field)),
                       TIFFFieldDataType(field),
                       FIELD_CUSTOM,
                       1,
                       1,
                       &names_.back()[0]};
    TIFFMergeFieldInfo(out_, &info, 1);
  }

  TIFF* in_;
  TIFF* out_;
  std::deque<std::string>& names_;
};

// The data is the walk's, which it claimed for this page alone: no two pages copy the same.
void copyData(const mdi::Document& document, size_t index, TIFF* out) {
  const mdi::Page& page = document.page(index);
  std::vector<mdi::DataChunk> chunks = document.pageData(index);
  uint32_t expected = page.tiled ? TIFFNumberOfTiles(out) : TIFFNumberOfStrips(out);
  if (chunks.size() != expected)
    throw mdi::ReadError(
        "Page " + std::to_string(index + 1) + " has " + std::to_string(chunks.size()) +
        " strips or tiles where its size asks for " + std::to_string(expected) + ".");
  for (uint32_t k = 0; k < chunks.size(); ++k) {
    std::vector<uint8_t> bytes = document.chunkBytes(chunks[k]);
    tmsize_t n = tmsize_t(bytes.size());
    tmsize_t written = page.tiled ? TIFFWriteRawTile(out, k, bytes.data(), n)
                                  : TIFFWriteRawStrip(out, k, bytes.data(), n);
    if (written != n)
      throw FileError("Cannot write the image data of page " + std::to_string(index + 1) + ".");
  }
}

}  // namespace

void writeTiff(const OutputSource& source, OutputFile& file, std::vector<PageIssue>& issues) {
  const mdi::Document& document = source.document;
  std::deque<std::string> fieldNames;  // outlives the output handle, which points into it
  TiffWriter out(file);
  if (!out.get()) throw FileError(out.error("Cannot start the TIFF file " + file.path() + "."));
  for (size_t i = 0; i < document.pageCount(); ++i) {
    mdi::PageReader in(document, i);
    if (!in.tiff())
      throw mdi::ReadError("Page " + std::to_string(i + 1) + ": " + in.problem() + ".");
    TagCopier copier(in.tiff(), out.get(), fieldNames);
    for (uint16_t tag : document.pageTags(i)) copier.copy(tag);
    copyData(document, i, out.get());
    if (!TIFFWriteDirectory(out.get()))
      throw FileError(out.error("Cannot write page " + std::to_string(i + 1) + "'s directory."));
    uint16_t compression = in.format().compression;
    if (!TIFFIsCODECConfigured(compression))
      issues.push_back({i + 1, "compression " + std::to_string(compression) +
                                   " has no decoder here: the page is kept as stored"});
    source.pageDone();
  }
  if (!out.close()) throw FileError(out.error("Cannot finish " + file.path() + "."));
}

}  // namespace convert
