// What makes the PDF a PDF/A-2b archive beside its pages: the document's description in its
// information dictionary and, the same, in XMP metadata that names the conformance, the source
// file and its digest; an output intent with an embedded sRGB profile. Nothing from the clock:
// dates come from the document, or are left out.
#pragma once

#include <qpdf/QPDF.hh>

#include <string>

#include "convert/Outputs.h"

namespace convert::pdf {

// The document's own description, from its first page's directory as libtiff reads it.
struct Description {
  std::string title;    // DocumentName, or --title
  std::string subject;  // ImageDescription
  std::string author;   // Artist, or --author
  std::string creator;  // Software
  std::string created;  // DateTime as YYYY-MM-DDTHH:MM:SS; empty when absent or malformed
};

Description describe(const OutputSource& source);
// The XMP packet for the description and the source file.
std::string xmpPacket(const Description& d, const OutputSource& source);
// Adds the information dictionary, the metadata and the output intent.
void addArchiveParts(QPDF& pdf, const OutputSource& source);

}  // namespace convert::pdf
