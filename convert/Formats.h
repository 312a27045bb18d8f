// The output formats, in one table: the name -t takes, the output's extension, how its lost
// pages count, and the function that writes it.
#pragma once

#include <string>

#include "convert/Options.h"
#include "convert/Outputs.h"

namespace convert {

struct FormatRow {
  Format format;
  const char* name;       // as -t and the report name it
  const char* alias;      // also taken by -t
  const char* extension;  // of the output's name
  // Pages whose image no common reader decodes are kept as stored: a warning, not a loss.
  bool keepsStoredPages;
  Writer write;
};

const FormatRow& formatRow(Format format);
// Null when no format has that name.
const FormatRow* formatNamed(const std::string& name);
// The names for a sentence: "pdf, tiff or txt".
std::string formatNames();

}  // namespace convert
