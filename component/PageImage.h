// A page decoded for showing, copying and printing.
#pragma once

#include <cstdint>
#include <vector>

#include "document/Document.h"
#include "document/PageImage.h"

namespace mdi {

// Decodes one page, keeping its nature. A page that cannot be decoded becomes the placeholder
// of the page's size, with a sentence that says so; only absurd sizes throw.
// `storage`, the pixels of a page no longer needed, is reused where it fits: under Wine
// fresh memory costs about 20 us a 4 KB page on first touch, 5 ms for an A4 page at 300 dpi.
PageImage decodePage(const Document& document, size_t index, std::vector<uint8_t> storage = {});

}  // namespace mdi
