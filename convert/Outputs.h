// The three outputs, each written from the document into an output file page by page.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "document/Document.h"
#include "convert/FileSystem.h"
#include "convert/Words.h"

namespace convert {

// A page whose image the output could not carry as pixels, and why (pages count from 1).
struct PageIssue {
  size_t page = 0;
  std::string reason;
};

using PageDone = std::function<void()>;

// What every output is written from.
struct OutputSource {
  const mdi::Document& document;
  PageDone pageDone;            // called as each page is written
  bool spareProcessor = false;  // a processor no other file needs helps this one along
  std::string inputName;        // the document's file name, for the outputs that name it
  std::string inputSha256;      // its SHA-256; empty when not known
  std::string title;            // given on the command line, in place of the document's
  std::string author;
  // Each page's words as recognized and placed; empty when nothing was recognized.
  const std::vector<PageText>* texts = nullptr;
  // The page's text as it is placed, or nothing placed.
  const PageText* text(size_t page) const {
    return texts && page < texts->size() ? &(*texts)[page] : nullptr;
  }
};

// Each writes the document into the file page by page; `issues` gets the pages whose image it
// could not carry.
using Writer = void (*)(const OutputSource& source, OutputFile& file,
                        std::vector<PageIssue>& issues);

// The pages' text in UTF-8, a form feed between pages.
void writeText(const OutputSource& source, OutputFile& file, std::vector<PageIssue>& issues);
// A standard TIFF: each page's directory entries and stored image data as they are.
void writeTiff(const OutputSource& source, OutputFile& file, std::vector<PageIssue>& issues);
// ALTO v4 XML: each page's words and their boxes, as the PDF's text layer places them.
void writeAlto(const OutputSource& source, OutputFile& file, std::vector<PageIssue>& issues);
// A PDF page per page: the image (stored data where PDF can carry it), the text invisible. With
// a processor to spare, the coming pages' content streams are made and the file is written
// beside qpdf.
void writePdf(const OutputSource& source, OutputFile& file, std::vector<PageIssue>& issues);

// UTF-16 as UTF-8; a lone surrogate becomes U+FFFD.
std::string toUtf8(const std::u16string& text);
// The text's code points, surrogate pairs joined.
std::u32string codePoints(const std::u16string& text);
// UTF-8 as code points; what is not UTF-8 becomes U+FFFD.
std::u32string fromUtf8(const std::string& text);
std::string toUtf8(const std::u32string& text);
// A page's text as the text output gives it: the stored text where the page's words are the
// stored ones or none were recognized, else the recognized words, a line a line.
std::u32string pageText(const OutputSource& source, size_t page);

}  // namespace convert
