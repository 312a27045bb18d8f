// Compares a converted TIFF with its document, page by page, through libtiff: the stored
// strips or tiles, the recognised-text tag and, where libtiff decodes them, the pixels.
// Usage: convert_compare <document> <output.tif>; prints what differs and exits 1.
#include <tiffio.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "convert/FileSystem.h"
#include "document/PageReader.h"

namespace {

std::vector<uint8_t> rawChunk(TIFF* tiff, uint32_t k) {
  bool tiled = TIFFIsTiled(tiff);
  std::vector<uint8_t> bytes(size_t(TIFFGetStrileByteCount(tiff, k)));
  tmsize_t n = tiled ? TIFFReadRawTile(tiff, k, bytes.data(), tmsize_t(bytes.size()))
                     : TIFFReadRawStrip(tiff, k, bytes.data(), tmsize_t(bytes.size()));
  bytes.resize(n < 0 ? 0 : size_t(n));
  return bytes;
}

std::vector<uint8_t> textTag(TIFF* tiff) {
  uint32_t count = 0;
  uint8_t* data = nullptr;
  if (!TIFFGetField(tiff, 37679, &count, &data)) return {};
  return {data, data + count};
}

// Every strip or tile decoded, one after the other; empty when libtiff fails on one.
std::vector<uint8_t> pixels(TIFF* tiff) {
  bool tiled = TIFFIsTiled(tiff);
  size_t chunkSize = size_t(tiled ? TIFFTileSize64(tiff) : TIFFStripSize64(tiff));
  uint32_t chunks = tiled ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
  std::vector<uint8_t> all(chunkSize * chunks);
  for (uint32_t k = 0; k < chunks; ++k) {
    uint8_t* at = all.data() + k * chunkSize;
    tmsize_t n = tiled ? TIFFReadEncodedTile(tiff, k, at, tmsize_t(chunkSize))
                       : TIFFReadEncodedStrip(tiff, k, at, tmsize_t(chunkSize));
    if (n < 0) return {};
  }
  return all;
}

// What differs on one page, or "".
std::string comparePage(TIFF* in, TIFF* out) {
  uint32_t chunks = TIFFIsTiled(in) ? TIFFNumberOfTiles(in) : TIFFNumberOfStrips(in);
  uint32_t outChunks = TIFFIsTiled(out) ? TIFFNumberOfTiles(out) : TIFFNumberOfStrips(out);
  if (chunks != outChunks || TIFFIsTiled(in) != TIFFIsTiled(out))
    return "the strips or tiles differ in number";
  for (uint32_t k = 0; k < chunks; ++k)
    if (rawChunk(in, k) != rawChunk(out, k)) return "stored data " + std::to_string(k) + " differs";
  if (textTag(in) != textTag(out)) return "the text tag differs";
  uint16_t compression = 1;
  TIFFGetField(in, TIFFTAG_COMPRESSION, &compression);
  if (!TIFFIsCODECConfigured(compression)) return "";  // kept as stored: nothing to decode
  std::vector<uint8_t> a = pixels(in), b = pixels(out);
  if (a.empty() || a != b) return "the decoded pixels differ";
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: convert_compare <document> <output.tif>\n");
    return 2;
  }
  TIFFSetWarningHandler(nullptr);
  try {
    mdi::Document document = mdi::Document::open(convert::openInput(argv[1]));
    std::unique_ptr<TIFF, void (*)(TIFF*)> out(TIFFOpen(argv[2], "rmc"), &TIFFClose);
    if (!out || TIFFIsBigEndian(out.get()) || TIFFIsBigTIFF(out.get())) {
      std::printf("%s is not a little-endian (\"II\") classic TIFF\n", argv[2]);
      return 1;
    }
    int failures = 0;
    size_t pages = 0;
    do {
      if (pages >= document.pageCount()) {
        std::printf("the output has more pages than the document's %zu\n", document.pageCount());
        return 1;
      }
      mdi::PageReader in(document, pages);
      std::string difference =
          in.tiff() ? comparePage(in.tiff(), out.get()) : "libtiff cannot read the page";
      if (!difference.empty()) {
        std::printf("page %zu: %s\n", pages + 1, difference.c_str());
        ++failures;
      }
      ++pages;
    } while (TIFFReadDirectory(out.get()));
    if (pages != document.pageCount()) {
      std::printf("the output has %zu pages, the document %zu\n", pages, document.pageCount());
      return 1;
    }
    std::printf("%zu pages compared, %d differ\n", pages, failures);
    return failures ? 1 : 0;
  } catch (const std::exception& e) {
    std::printf("%s\n", e.what());
    return 1;
  }
}
