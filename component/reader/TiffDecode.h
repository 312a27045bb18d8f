// Decoding a page's image with libtiff, handed the page's one-page view of the document.
// Plain C++, no Windows headers: the component, the fuzz target and tools share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "component/PageImage.h"
#include "component/reader/Document.h"

namespace mdi {

// What libtiff made of a page: the image in the page's nature, upright as its Orientation
// tag says, or nothing and why (libtiff's first error, or the layout it cannot read).
// Warnings are collected, never printed. `storage` is reused for the pixels where it fits.
struct TiffDecoded {
  std::optional<PageImage> image;
  std::string error;
  std::vector<std::string> warnings;
};
TiffDecoded decodeWithLibtiff(const Document& document, size_t index,
                              std::vector<uint8_t> storage = {});

}  // namespace mdi
