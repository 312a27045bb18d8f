#include "convert/Formats.h"

#include <iterator>
#include <stdexcept>

namespace convert {

namespace {

const FormatRow kFormats[] = {
    {Format::Pdf, "pdf", "", ".pdf", false, writePdf},
    {Format::Tiff, "tiff", "tif", ".tif", true, writeTiff},
    {Format::Txt, "txt", "text", ".txt", false, writeText},
    {Format::Alto, "alto", "", ".alto.xml", false, writeAlto},
};

}  // namespace

const FormatRow& formatRow(Format format) {
  for (const FormatRow& row : kFormats)
    if (row.format == format) return row;
  throw std::logic_error("A format without its row.");
}

const FormatRow* formatNamed(const std::string& name) {
  for (const FormatRow& row : kFormats)
    if (name == row.name || (*row.alias && name == row.alias)) return &row;
  return nullptr;
}

std::string formatNames() {
  std::string names;
  for (size_t i = 0; i < std::size(kFormats); ++i)
    names += (i == 0                         ? ""
              : i + 1 == std::size(kFormats) ? " or "
                                             : ", ") +
             std::string(kFormats[i].name);
  return names;
}

}  // namespace convert
