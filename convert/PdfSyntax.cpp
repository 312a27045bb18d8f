#include "convert/PdfSyntax.h"

#include <zlib.h>

#include <cmath>
#include <memory>
#include <new>

namespace convert::pdf {

double dpiOrDefault(double dpi) {
  return dpi > 0 ? dpi : kDefaultDpi;
}
double pageWidth(const mdi::Page& p) {
  return p.shownWidth() * 72.0 / dpiOrDefault(p.shownDpiX());
}
double pageHeight(const mdi::Page& p) {
  return p.shownHeight() * 72.0 / dpiOrDefault(p.shownDpiY());
}

void appendNumber(std::string& out, double v) {
  long long scaled = std::llround(v * 10000);
  if (scaled < 0) {
    out += '-';
    scaled = -scaled;
  }
  out += std::to_string(scaled / 10000);
  int fraction = int(scaled % 10000);
  if (fraction == 0) return;
  char digits[] = {'.', char('0' + fraction / 1000), char('0' + fraction / 100 % 10),
                   char('0' + fraction / 10 % 10), char('0' + fraction % 10)};
  size_t length = sizeof digits;
  while (digits[length - 1] == '0') --length;
  out.append(digits, length);
}

std::string number(double v) {
  std::string s;
  appendNumber(s, v);
  return s;
}

// An array of numbers, as a page's box or an image's decode range: integers where they are.
Object numbers(std::initializer_list<double> values) {
  Object array = Object::newArray();
  for (double v : values)
    array.appendItem(v == std::floor(v) ? Object::newInteger(static_cast<long long>(v))
                                        : Object::newReal(number(v)));
  return array;
}

// A page's content, compressed at zlib's fastest level with an 8 KB window: its lines repeat
// so much that this gives nearly all the saving of the defaults, and a stream of a few kilobytes

std::vector<uint8_t> deflated(const std::string& text) {
  z_stream z{};
  if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 13, 7, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::bad_alloc();
  std::unique_ptr<z_stream, int (*)(z_stream*)> end(&z, deflateEnd);
  std::vector<uint8_t> out(deflateBound(&z, uLong(text.size())));
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = uInt(text.size());
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::bad_alloc();
  out.resize(z.total_out);
  return out;
}

std::string hex(uint32_t v, int digits) {
  std::string text(size_t(digits), '0');
  for (int i = digits - 1; i >= 0 && v; --i, v >>= 4) text[size_t(i)] = "0123456789ABCDEF"[v & 15];
  return text;
}

}  // namespace convert::pdf
