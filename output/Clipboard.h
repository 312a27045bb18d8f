// The clipboard commands: the current page's text or image, copied by the
// component, and the text of every page, joined by the program itself.
#pragma once

#include <windows.h>

#include "imaging/TMiDocView.h"

namespace output {

// Selects the view's current page, which stays selected, and has the
// component copy its text, or its image, to the clipboard.
void CopyPageText(imaging::TMiDocView& view);
void CopyPageImage(imaging::TMiDocView& view);

// Puts the text of every page, each followed by CR LF, on the clipboard for
// `owner` as CF_TEXT alone, up to its first zero byte. The last page stays
// selected. A failure leaves the clipboard as it was.
void CopyDocumentText(imaging::TMiDocView& view, HWND owner);

}  // namespace output
