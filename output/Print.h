// Printing a page range: the component prints, given the range, the copies
// and the name of the printer confirmed in the print dialog.
#pragma once

#include <windows.h>

#include "imaging/TMiDocView.h"
#include "output/PrintDialog.h"

namespace output {

// Sets up `dialog` to offer every page of the view's document, from the first to the last.
void OfferAllPages(imaging::TMiDocView& view, TPrintDialog& dialog);

// Shows `dialog` over `owner`, unless the view has no document that can print,
// and has the component print the range, copies and printer confirmed there.
// A cancel prints nothing. Throws on every failure.
void PrintChosenPages(imaging::TMiDocView& view, HWND owner, TPrintDialog& dialog);

}  // namespace output
