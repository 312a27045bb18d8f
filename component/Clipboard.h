// Putting a selection on the system clipboard.
#pragma once

#include <string>

#include "component/PageImage.h"

namespace mipv {

// Replaces the clipboard's content with the text as CF_UNICODETEXT.
void copyTextToClipboard(const std::u16string& text);

// Puts the page as CF_DIB and CF_BITMAP. With `keepDepth` a black-and-white
// page stays a 1-bit bitmap, a grey page an 8-bit one with a grey colour
// table and a palette page an 8-bit one with its own; otherwise every page becomes 24-bit colour.
// `replace` empties the clipboard first; otherwise the formats join what it holds.
void copyImageToClipboard(const mdi::PageImage& page, bool replace, bool keepDepth);

}  // namespace mipv
