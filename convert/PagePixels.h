// A page's decoded pixels, for outputs that cannot carry the stored data as it is. The one
// place the converter decodes images: a shared decoder can take its place behind decode().
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "component/reader/Document.h"

namespace convert {

enum class PixelKind {
  Bilevel,  // 1 bit, a set bit is black
  Grey,     // 8 bits, 0 is black
  Palette,  // 8-bit indices into `palette` (red, green, blue per entry)
  Rgb,      // 8 bits each of red, green, blue
};

struct PagePixels {
  PixelKind kind = PixelKind::Bilevel;
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> rows;     // top-down, each row in whole bytes
  std::vector<uint8_t> palette;  // 256 entries for Palette pages

  size_t stride() const { return stride(kind, width); }
  static size_t stride(PixelKind kind, uint32_t width);
};

// Why a page's image could not be decoded; the sentence goes into the report.
class UndecodablePage : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The kind decode() gives for the page, known from its directory alone.
PixelKind pixelKind(const mdi::Page& page);
// Throws UndecodablePage naming the reason.
PagePixels decode(const mdi::Document& document, size_t page);
// The page's colour table as decode() gives it (256 RGB entries), for Palette pages.
std::vector<uint8_t> decodePalette(const mdi::Document& document, size_t page);
// True when this build's libtiff has a decoder for the compression.
bool codecAvailable(uint16_t compression);
}  // namespace convert
