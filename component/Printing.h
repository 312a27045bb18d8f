// Printing a page range of a document on a named printer.
#pragma once

#include <windows.h>

#include <string>

#include "component/LoadedDocument.h"

namespace mipv {

// The installed printer a name designates: the name itself, or NAME for a
// name of the form "NAME on PORT"; empty means the default printer.
// Throws ComponentError when there is none.
std::wstring resolvePrinter(const std::wstring& requested);

// The default printer's name, empty when there is none.
std::wstring defaultPrinter();

// Checks 0 <= first <= last < page count and copies >= 1, then prints pages
// first to last, `copies` times, as one job, each page fitted to the printable
// area with its aspect kept. Throws ComponentError on any failure.
void printPages(const LoadedDocument* document, LONG first, LONG last, LONG copies,
                const std::wstring& printer);

}  // namespace mipv
