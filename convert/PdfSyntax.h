// PDF's small pieces of syntax and the pages' geometry, shared by the text layer, the images
// and the builder.
#pragma once

#include <qpdf/QPDFObjectHandle.hh>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "document/Document.h"

namespace convert::pdf {

using Object = QPDFObjectHandle;
constexpr double kDefaultDpi = 200;  // the viewer's assumption for pages that state none

double dpiOrDefault(double dpi);
// A page's size in points, as it is seen.
double pageWidth(const mdi::Page& p);
double pageHeight(const mdi::Page& p);

// At most four decimals, without trailing zeros. Called for every word of the text layer, so
// no printf.
void appendNumber(std::string& out, double v);
std::string number(double v);
// An array of numbers, as a page's box or an image's decode range: integers where they are.
Object numbers(std::initializer_list<double> values);
// Upper-case hexadecimal of `digits` digits.
std::string hex(uint32_t v, int digits);
// A page's content, compressed at zlib's fastest level with an 8 KB window: its lines repeat
// so much that this gives nearly all the saving of the defaults, and a stream of a few kilobytes
// is done before the defaults would have set up their 256 KB of tables.
std::vector<uint8_t> deflated(const std::string& text);

}  // namespace convert::pdf
