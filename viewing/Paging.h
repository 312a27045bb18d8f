// Paging: one page forward or back, the page status text, and the captions
// that carry the current page's number.
#pragma once

#include <string>

#include "framework/Controls.h"
#include "imaging/TMiDocView.h"

namespace viewing {

// Moves the view `step` pages on (back when negative). Without a document, or
// when the control refuses the page (before the first, after the last), the
// answer is the default beep and nothing else.
void TurnPage(imaging::TMiDocView& view, int step);

// Writes "Page n of m" for the view's current page into panel 1 of `status`,
// or empties the panel when the view shows no page.
void ShowPageStatus(imaging::TMiDocView& view, framework::TStatusBar& status);

// `format` with its one "%d" replaced by `page`.
std::string PageCaption(const char* format, int page);

}  // namespace viewing
