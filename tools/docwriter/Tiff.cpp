// Well-formed pages, written by libtiff: its CCITT G4 and JPEG (libjpeg-turbo) codecs code the
// pixels, and it lays out the directories. The raw writer (DocWriter.cpp) takes the coded data
// from here for the pages it writes itself.
#include "tools/docwriter/Tiff.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace docwriter {

namespace {

// The document in memory, as libtiff's client file.
struct MemoryFile {
  std::vector<uint8_t> bytes;
  uint64_t position = 0;
  std::string error;  // libtiff's first complaint
};

MemoryFile& fileOf(thandle_t handle) {
  return *static_cast<MemoryFile*>(handle);
}

tmsize_t readMemory(thandle_t handle, void* buffer, tmsize_t size) {
  MemoryFile& f = fileOf(handle);
  const uint64_t left = f.position < f.bytes.size() ? f.bytes.size() - f.position : 0;
  const size_t n = size_t(std::min<uint64_t>(left, uint64_t(size)));
  std::memcpy(buffer, f.bytes.data() + f.position, n);
  f.position += n;
  return tmsize_t(n);
}

tmsize_t writeMemory(thandle_t handle, void* buffer, tmsize_t size) {
  MemoryFile& f = fileOf(handle);
  if (f.position + uint64_t(size) > f.bytes.size()) f.bytes.resize(f.position + uint64_t(size));
  std::memcpy(f.bytes.data() + f.position, buffer, size_t(size));
  f.position += uint64_t(size);
  return size;
}

toff_t seekMemory(thandle_t handle, toff_t offset, int whence) {
  MemoryFile& f = fileOf(handle);
  const uint64_t base = whence == SEEK_CUR ? f.position : whence == SEEK_END ? f.bytes.size() : 0;
  f.position = base + offset;
  return f.position;
}

int closeMemory(thandle_t) {
  return 0;
}

toff_t sizeOfMemory(thandle_t handle) {
  return fileOf(handle).bytes.size();
}

int mapNothing(thandle_t, void**, toff_t*) {
  return 0;
}

void unmapNothing(thandle_t, void*, toff_t) {}

int onError(TIFF*, void* user, const char* module, const char* format, va_list args) {
  MemoryFile& f = *static_cast<MemoryFile*>(user);
  if (f.error.empty()) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    f.error = std::string(module ? module : "libtiff") + ": " + text;
  }
  return 1;
}

// Tags libtiff does not know (the recognised text) are no concern when reading back.
int onWarning(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

struct TiffCloser {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using Tiff = std::unique_ptr<TIFF, TiffCloser>;

// `mode` as TIFFOpen's: "wl", "wb" to write, "rc" to read the strips as stored.
Tiff open(MemoryFile& file, const char* mode) {
  std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(),
                                                                       &TIFFOpenOptionsFree);
  if (!options) throw std::bad_alloc();
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), onError, &file);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), onWarning, &file);
  Tiff tiff(TIFFClientOpenExt("document", mode, &file, readMemory, writeMemory, seekMemory,
                              closeMemory, sizeOfMemory, mapNothing, unmapNothing, options.get()));
  if (!tiff) throw std::runtime_error("libtiff cannot open the document: " + file.error);
  return tiff;
}

void check(int result, const MemoryFile& file, const char* what) {
  if (!result) throw std::runtime_error(std::string("libtiff cannot ") + what + ": " + file.error);
}

// The recognised text: bytes of no type libtiff knows, their count stated.
const TIFFFieldInfo kTextField[] = {{kTextTag, TIFF_VARIABLE2, TIFF_VARIABLE2, TIFF_UNDEFINED,
                                     FIELD_CUSTOM, 1, 1, const_cast<char*>("RecognisedText")}};

uint16_t photometricOf(const PageSpec& page) {
  const int bits = page.raster.bits;
  if (bits == 24) return page.codec == Codec::Jpeg ? PHOTOMETRIC_YCBCR : PHOTOMETRIC_RGB;
  if (bits == 8) return PHOTOMETRIC_MINISBLACK;
  return page.blackIsZero ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_MINISWHITE;
}

uint16_t compressionOf(Codec codec) {
  switch (codec) {
    case Codec::G4:
      return COMPRESSION_CCITTFAX4;
    case Codec::Jpeg:
      return COMPRESSION_JPEG;
    default:
      return COMPRESSION_NONE;
  }
}

void writePage(TIFF* tiff, const MemoryFile& file, const PageSpec& page) {
  const Raster stored = storedRaster(page);
  const Raster& r = stored;
  if (page.codec == Codec::G4 && r.bits != 1)
    throw std::invalid_argument("G4 codes 1-bit pages only");
  if (page.codec == Codec::Jpeg && r.bits == 1)
    throw std::invalid_argument("JPEG codes 8- and 24-bit pages only");
  const uint16_t samples = r.bits == 24 ? 3 : 1;
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, r.width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, r.height);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(r.bits / samples));
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
  if (samples > 1) TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, compressionOf(page.codec));
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometricOf(page));
  if (page.orientation != ORIENTATION_TOPLEFT)
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, page.orientation);
  if (page.dpi > 0) {
    const double perUnit = page.dpiInCm ? page.dpi / 2.54 : page.dpi;
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, perUnit);
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, perUnit);
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, page.dpiInCm ? RESUNIT_CENTIMETER : RESUNIT_INCH);
  }
  if (page.text) {
    const std::vector<uint8_t> text = textTagBytes(*page.text);
    TIFFSetField(tiff, kTextTag, uint32_t(text.size()), text.data());
  }
  if (page.codec == Codec::Jpeg) {
    TIFFSetField(tiff, TIFFTAG_JPEGQUALITY, page.jpegQuality);
    // Without shared tables every strip is a whole stream.
    TIFFSetField(tiff, TIFFTAG_JPEGTABLESMODE,
                 page.jpegTables ? JPEGTABLESMODE_QUANT | JPEGTABLESMODE_HUFF : 0);
    if (r.bits == 24) {
      TIFFSetField(tiff, TIFFTAG_YCBCRSUBSAMPLING, uint16_t(1), uint16_t(1));
      TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);  // libjpeg converts
    }
  }
  if (page.tileSize && page.codec == Codec::None) {
    TIFFSetField(tiff, TIFFTAG_TILEWIDTH, page.tileSize);
    TIFFSetField(tiff, TIFFTAG_TILELENGTH, page.tileSize);
    std::vector<std::vector<uint8_t>> tiles = tilesOf(r, page.tileSize);
    for (size_t i = 0; i < tiles.size(); ++i)
      check(
          TIFFWriteEncodedTile(tiff, uint32_t(i), tiles[i].data(), tmsize_t(tiles[i].size())) >= 0,
          file, "write a tile");
  } else {
    const uint32_t rows =
        page.codec != Codec::G4 && page.rowsPerStrip ? page.rowsPerStrip : std::max(1u, r.height);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rows);
    for (uint32_t y = 0, strip = 0; y < r.height; y += rows, ++strip) {
      const size_t size = size_t(std::min(rows, r.height - y)) * r.stride();
      check(TIFFWriteEncodedStrip(tiff, strip, const_cast<uint8_t*>(r.data.data()) + y * r.stride(),
                                  tmsize_t(size)) >= 0,
            file, "write a strip");
    }
  }
  check(TIFFWriteDirectory(tiff), file, "write a directory");
}

uint16_t get16(const std::vector<uint8_t>& b, uint64_t at, bool big) {
  return big ? uint16_t(b[at] << 8 | b[at + 1]) : uint16_t(b[at + 1] << 8 | b[at]);
}
uint32_t get32(const std::vector<uint8_t>& b, uint64_t at, bool big) {
  return big ? uint32_t(get16(b, at, true)) << 16 | get16(b, at + 2, true)
             : uint32_t(get16(b, at + 2, false)) << 16 | get16(b, at, false);
}

// The current directory's strips or tiles, as libtiff reads their locations.
std::vector<std::pair<uint64_t, uint64_t>> chunksOf(TIFF* tiff) {
  const bool tiled = TIFFIsTiled(tiff);
  const uint32_t count = tiled ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
  std::vector<std::pair<uint64_t, uint64_t>> chunks;
  for (uint32_t i = 0; i < count; ++i)
    chunks.emplace_back(TIFFGetStrileOffset(tiff, i), TIFFGetStrileByteCount(tiff, i));
  return chunks;
}

}  // namespace

Raster storedRaster(const PageSpec& page) {
  Raster r = page.raster;
  if (r.bits == 1 && page.blackIsZero)
    for (uint8_t& b : r.data) b = uint8_t(~b);
  return r;
}

std::vector<std::vector<uint8_t>> tilesOf(const Raster& r, uint32_t size) {
  if (size == 0 || size % 16) throw std::invalid_argument("tiles must be a multiple of 16");
  std::vector<std::vector<uint8_t>> tiles;
  const size_t tileStride = size_t(size) * r.bits / 8, pixelBytes = r.bits / 8;
  for (uint32_t ty = 0; ty < r.height; ty += size)
    for (uint32_t tx = 0; tx < r.width; tx += size) {
      std::vector<uint8_t> tile(tileStride * size, 0);
      for (uint32_t y = 0; y < size && ty + y < r.height; ++y) {
        const uint8_t* row = r.data.data() + (ty + y) * r.stride();
        if (r.bits == 1) {
          for (uint32_t x = 0; x < size && tx + x < r.width; ++x)
            if (row[(tx + x) >> 3] & (0x80 >> ((tx + x) & 7)))
              tile[y * tileStride + (x >> 3)] |= uint8_t(0x80 >> (x & 7));
        } else {
          const uint32_t n = std::min(size, r.width - tx);
          std::copy(row + tx * pixelBytes, row + (tx + n) * pixelBytes,
                    tile.begin() + y * tileStride);
        }
      }
      tiles.push_back(std::move(tile));
    }
  return tiles;
}

Written writeWithLibtiff(const std::vector<PageSpec>& pages, Header header) {
  const bool big = header == Header::MM;
  MemoryFile file;
  {
    Tiff tiff = open(file, big ? "wb" : "wl");
    for (const PageSpec& page : pages) {
      // Each new directory starts from libtiff's own tags.
      check(TIFFMergeFieldInfo(tiff.get(), kTextField, 1) == 0, file, "know the text tag");
      writePage(tiff.get(), file, page);
    }
  }
  Written result;
  result.bytes = std::move(file.bytes);
  // Where libtiff put things, for the tests that damage documents precisely.
  MemoryFile written{result.bytes, 0, {}};
  Tiff tiff = open(written, "rc");
  do {
    PageLayout layout;
    layout.ifdOffset = TIFFCurrentDirOffset(tiff.get());
    const uint16_t entries = get16(result.bytes, layout.ifdOffset, big);
    layout.nextPointerOffset = layout.ifdOffset + 2 + 12u * entries;
    const auto chunks = chunksOf(tiff.get());
    layout.dataOffset = chunks.empty() ? 0 : chunks.front().first;
    for (const auto& chunk : chunks) layout.dataSize += chunk.second;
    for (uint16_t e = 0; e < entries; ++e) {
      const uint64_t entry = layout.ifdOffset + 2 + 12u * e;
      if (get16(result.bytes, entry, big) == kTextTag)
        layout.textOffset = get32(result.bytes, entry + 4, big) > 4
                                ? get32(result.bytes, entry + 8, big)
                                : entry + 8;
    }
    result.pages.push_back(layout);
  } while (TIFFReadDirectory(tiff.get()));
  if (header == Header::EP) result.bytes[0] = 'E', result.bytes[1] = 'P';
  return result;
}

Coded codeWithLibtiff(const PageSpec& page) {
  PageSpec alone = page;
  alone.text.reset();
  Written written = writeWithLibtiff({alone}, Header::II);
  MemoryFile file{written.bytes, 0, {}};
  Tiff tiff = open(file, "rc");
  Coded coded;
  for (const auto& [offset, length] : chunksOf(tiff.get()))
    coded.chunks.emplace_back(written.bytes.begin() + std::ptrdiff_t(offset),
                              written.bytes.begin() + std::ptrdiff_t(offset + length));
  uint32_t count = 0;
  void* tables = nullptr;
  if (TIFFGetField(tiff.get(), TIFFTAG_JPEGTABLES, &count, &tables) && tables)
    coded.jpegTables.assign(static_cast<uint8_t*>(tables), static_cast<uint8_t*>(tables) + count);
  return coded;
}

}  // namespace docwriter
