// CCITT Group 4 (ITU-T T.6) decoding of black-and-white pages, the common case of scanned
// office documents: faster than libtiff's decoder on the same pages (the benchmark measures
// both), which reads everything else. Plain C++, no Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "component/PageImage.h"

namespace mdi {

// Decodes one strip of T.6 data into `rows` rows of `width` pixels at `out`, rows `stride`
// bytes apart. Pixels of white runs become set bits, black runs clear bits; padding bits
// of each row are left set. The strip starts from an imaginary white line; an end-of-block
// code or the end of the rows ends it. False when the data is malformed or runs out (rows
// not reached are left as they were), or uses the uncompressed extension.
bool decodeG4Strip(const uint8_t* data, size_t size, uint32_t width, uint32_t rows, uint8_t* out,
                   size_t stride);

// The page as a 1-bit image when it is stored as plain G4 (one sample of one bit, fill
// order 1, no uncompressed mode); empty for anything else or malformed data, which other
// decoders then try.
// `storage` is reused for the pixels when given (see decodePage).
std::optional<PageImage> decodeG4Page(const Document& document, size_t index,
                                      std::vector<uint8_t> storage = {});

}  // namespace mdi
