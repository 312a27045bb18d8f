// BigTIFF documents, written by libtiff into memory: the writer of the project's documents
// makes classic TIFF only.
#pragma once

#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/docwriter/DocWriter.h"

namespace findings {

namespace bigtiff {

struct Memory {
  std::vector<uint8_t> bytes;
  uint64_t at = 0;
};

inline Memory& of(thandle_t h) {
  return *static_cast<Memory*>(h);
}
inline tmsize_t read(thandle_t h, void* buffer, tmsize_t size) {
  Memory& m = of(h);
  size_t n = m.at >= m.bytes.size() ? 0 : std::min<size_t>(size_t(size), m.bytes.size() - m.at);
  std::copy_n(m.bytes.begin() + std::ptrdiff_t(m.at), n, static_cast<uint8_t*>(buffer));
  m.at += n;
  return tmsize_t(n);
}
inline tmsize_t write(thandle_t h, void* buffer, tmsize_t size) {
  Memory& m = of(h);
  if (m.bytes.size() < m.at + size_t(size)) m.bytes.resize(m.at + size_t(size));
  std::copy_n(static_cast<uint8_t*>(buffer), size_t(size), m.bytes.begin() + std::ptrdiff_t(m.at));
  m.at += uint64_t(size);
  return size;
}
inline toff_t seek(thandle_t h, toff_t offset, int whence) {
  Memory& m = of(h);
  m.at = whence == SEEK_SET ? offset : whence == SEEK_CUR ? m.at + offset : m.bytes.size() + offset;
  return m.at;
}
inline int close(thandle_t) {
  return 0;
}
inline toff_t size(thandle_t h) {
  return of(h).bytes.size();
}
inline int map(thandle_t, void**, toff_t*) {
  return 0;
}
inline void unmap(thandle_t, void*, toff_t) {}

}  // namespace bigtiff

// Two grey pages of 24 by 16 pixels, each with its recognised text ("Big page 1", ...), the
// second LZW-compressed.
inline std::vector<uint8_t> bigTiffDocument(bool bigEndian) {
  bigtiff::Memory memory;
  TIFF* tiff =
      TIFFClientOpen("big", bigEndian ? "w8b" : "w8l", &memory, bigtiff::read, bigtiff::write,
                     bigtiff::seek, bigtiff::close, bigtiff::size, bigtiff::map, bigtiff::unmap);
  if (!tiff) return {};
  static char name[] = "RecognisedText";
  static const TIFFFieldInfo text{
      37679, TIFF_VARIABLE2, TIFF_VARIABLE2, TIFF_BYTE, FIELD_CUSTOM, 1, 1, name};
  for (uint16_t page = 1; page <= 2; ++page) {
    TIFFMergeFieldInfo(tiff, &text, 1);  // each new directory starts with libtiff's own tags
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 24);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 16);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, page == 1 ? COMPRESSION_NONE : COMPRESSION_LZW);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 16);
    std::vector<uint8_t> tag = docwriter::textTagBytes("Big page " + std::to_string(page));
    TIFFSetField(tiff, 37679, uint32_t(tag.size()), tag.data());
    std::vector<uint8_t> pixels(24 * 16);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * page);
    TIFFWriteEncodedStrip(tiff, 0, pixels.data(), tmsize_t(pixels.size()));
    TIFFWriteDirectory(tiff);
  }
  TIFFClose(tiff);
  return memory.bytes;
}

}  // namespace findings
