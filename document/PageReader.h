// A page's image as libtiff reads it from the page's one-page view: the one reading of the
// page's fields and the one decoder that the viewer, the converter and the fuzz targets share.
// Plain C++, no Windows headers.
#pragma once

#include <tiffio.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/Document.h"
#include "document/PageImage.h"

namespace mdi {

// What libtiff takes from the page's directory.
struct ImageFormat {
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t bitsPerSample = 1;
  uint16_t samplesPerPixel = 1;
  uint16_t extraSamples = 0;
  uint16_t photometric = PHOTOMETRIC_MINISWHITE;
  uint16_t compression = COMPRESSION_NONE;
  uint16_t planarConfig = PLANARCONFIG_CONTIG;
  uint16_t fillOrder = FILLORDER_MSB2LSB;
  uint16_t orientation = ORIENTATION_TOPLEFT;
  uint32_t group4Options = 0;
  bool tiled = false;
  uint32_t rowsPerStrip = 0;  // strips: rows in each but the last
  uint32_t tileWidth = 0;     // tiles: their size
  uint32_t tileLength = 0;
  std::vector<DataChunk> chunks;    // the strips or tiles in order
  std::vector<uint8_t> jpegTables;  // kept once for all strips; empty when none
};

// libtiff's handle on one page, its messages collected rather than printed. Reading the page
// never throws for what the file holds: whatever keeps its image from being decoded is told by
// problem(), a clause that follows "Page N: " ("its image data is damaged").
class PageReader {
 public:
  PageReader(const Document& document, size_t index);
  ~PageReader();
  PageReader(const PageReader&) = delete;
  PageReader& operator=(const PageReader&) = delete;

  // Null when libtiff cannot read the page's directory.
  TIFF* tiff() const;
  // Valid once tiff() is not null.
  const ImageFormat& format() const;
  // Empty while the image may be decoded.
  const std::string& problem() const;
  // The bits per pixel decode() gives (1, 8 or 24) and, for palette pages, the colour table it
  // gives (PageImage::colours), both known before decoding.
  int depth() const;
  const std::vector<uint8_t>& colours() const;

  // The image, upright, in the page's nature; nothing, with problem() set, when it cannot be
  // decoded. Memory for the pixels is taken only once the page's stored data can make them.
  // `storage` is reused for the pixels where it fits.
  std::optional<PageImage> decode(std::vector<uint8_t> storage = {});

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The page's image, or nothing and why (see PageReader).
struct DecodedPage {
  std::optional<PageImage> image;
  std::string problem;
};
DecodedPage decodeImage(const Document& document, size_t index, std::vector<uint8_t> storage = {});

// What a page that cannot be shown becomes, at its shown size: 8-bit grey, a frame and its two
// diagonals on a light ground, with room in the middle for a sentence the viewer writes on it.
PageImage placeholderImage(uint32_t width, uint32_t height);

}  // namespace mdi
