#pragma once
// Files from Debian's packages that every PDF carries, compiled into the converter
// (convert/EmbedFile.cmake) so that it needs no data folder to find them.

#include <cstddef>

namespace convert {

// Tesseract's glyphless font, the invisible text layer's one glyph.
extern const unsigned char glyphlessFontData[];
extern const std::size_t glyphlessFontDataSize;

// The sRGB ICC profile of PDF/A's output intent (icc-profiles-free).
extern const unsigned char srgbProfileData[];
extern const std::size_t srgbProfileDataSize;

}  // namespace convert
