// Copies each page's directory entries through libtiff and its strips or tiles as stored:
// libtiff lays out the new file, nothing is decoded or compressed again.
#include <algorithm>
#include <deque>
#include <set>

#include "convert/Outputs.h"
#include "convert/PagePixels.h"
#include "convert/TiffSupport.h"

namespace convert {

namespace {

// The tags the page's directory holds, as stored, in ascending order.
std::vector<uint16_t> directoryTags(const mdi::Document& document, size_t page) {
  const mdi::ByteSource& file = document.source();
  bool big = document.bigEndian();
  auto u16 = [big](const uint8_t* p) {
    return uint16_t(big ? p[0] << 8 | p[1] : p[1] << 8 | p[0]);
  };
  uint64_t at = document.page(page).ifdOffset;
  uint8_t count[2];
  file.read(at, count, 2);
  std::vector<uint8_t> entries(size_t(u16(count)) * 12);
  file.read(at + 2, entries.data(), entries.size());
  std::set<uint16_t> tags;
  for (size_t i = 0; i < entries.size(); i += 12) tags.insert(u16(&entries[i]));
  return {tags.begin(), tags.end()};
}

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

void writeTiff(const mdi::Document& document, OutputFile& file, std::vector<PageIssue>& issues,
               const PageDone& pageDone) {
  std::deque<std::string> fieldNames;  // outlives the output handle, which points into it
  TiffHandle out = TiffHandle::write(file);
  if (!out.get()) throw FileError(out.error("Cannot start the TIFF file " + file.path() + "."));
  for (size_t i = 0; i < document.pageCount(); ++i) {
    TiffHandle in = TiffHandle::readPage(document, i);
    if (!in.get())
      throw mdi::ReadError("Page " + std::to_string(i + 1) +
                           "'s directory cannot be read: " + in.error("libtiff refuses it") + ".");
    TagCopier copier(in.get(), out.get(), fieldNames);
    for (uint16_t tag : directoryTags(document, i)) copier.copy(tag);
    copyData(document, i, out.get());
    if (!TIFFWriteDirectory(out.get()))
      throw FileError(out.error("Cannot write page " + std::to_string(i + 1) + "'s directory."));
    uint16_t compression = document.page(i).compression;
    if (!codecAvailable(compression))
      issues.push_back({i + 1, "compression " + std::to_string(compression) +
                                   " has no decoder here: the page is kept as stored"});
    pageDone();
  }
  if (!out.close()) throw FileError(out.error("Cannot finish " + file.path() + "."));
}

}  // namespace convert
