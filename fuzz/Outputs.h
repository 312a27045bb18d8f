// The converter's outputs of a document given as bytes, written into memory (MemoryOutput.cpp
// stands in for the file system): the output targets' body, also run by the regressions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "convert/FileSystem.h"
#include "convert/Formats.h"
#include "convert/Outputs.h"
#include "convert/Placement.h"
#include "document/Document.h"

namespace fuzzoutputs {

enum class Kind { Pdf, Tiff, Text, Alto };

// The most any output may take of a file of `size` bytes, whatever the file.
inline uint64_t outputBudget(uint64_t size) {
  return 64 * size + (4u << 20);
}

// The bytes the output holds: MemoryOutput.cpp's.
const std::vector<uint8_t>& contents(const convert::OutputFile& file);

struct Result {
  bool converted = false;  // false: the document did not open, or the output refused it
  std::string refusal;     // why not
  uint64_t size = 0;       // of the output
  std::vector<convert::PageIssue> issues;
};

// Pages larger than this are not converted here when they can be decoded: their pixels alone
// would pass the fuzzer's limit on one allocation.
constexpr uint64_t kDecodedPixels = uint64_t{4096} * 4096;

// Recognition stands in here: fuzzing Tesseract is not this project's job, but placing the words
// it finds is. Each page "recognizes" its stored text's words on a grid of boxes, every third
// word misread and every fifth missed, so that the alignment, the placed layer and ALTO all see
// matched, corrected and unmatched words from whatever the file holds.
inline std::vector<std::vector<convert::Line>> syntheticRecognition(const mdi::Document& document) {
  std::vector<std::vector<convert::Line>> pages(document.pageCount());
  for (size_t i = 0; i < document.pageCount(); ++i) {
    std::u32string text = convert::codePoints(document.pageText(i));
    const mdi::Page& p = document.page(i);
    int width = int(std::max<uint32_t>(p.shownWidth(), 1)), k = 0;
    convert::Line line;
    for (size_t at = 0; at < text.size() && k < 4096;) {
      size_t end = at;
      while (end < text.size() && text[end] > U' ') ++end;
      if (end > at) {
        std::u32string word = text.substr(at, end - at);
        if (k % 3 == 1) word[0] = U'x';
        int row = k / 8, column = k % 8;
        if (k % 5 != 4)
          line.words.push_back(
              {word,
               {column * width / 8, row * 20, (column + 1) * width / 8, row * 20 + 16},
               row * 20 + 14});
        if (column == 7 || end >= text.size()) {
          line.box = {0, row * 20, width, row * 20 + 16};
          if (!line.words.empty()) pages[i].push_back(std::move(line));
          line = {};
        }
        ++k;
      }
      at = end + 1;
    }
    if (!line.words.empty()) pages[i].push_back(std::move(line));
  }
  return pages;
}

inline Result convertBytes(const uint8_t* data, size_t size, Kind kind) {
  Result result;
  try {
    mdi::Document document =
        mdi::Document::open(mdi::memorySource(std::vector<uint8_t>(data, data + size)));
    for (size_t i = 0; i < document.pageCount(); ++i) {
      const mdi::Page& p = document.page(i);
      if (uint64_t{p.width} * p.height > kDecodedPixels) {
        result.refusal = "a page too large to convert here";
        return result;
      }
    }
    const convert::FormatRow& row = convert::formatRow(kind == Kind::Pdf    ? convert::Format::Pdf
                                                       : kind == Kind::Tiff ? convert::Format::Tiff
                                                       : kind == Kind::Alto ? convert::Format::Alto
                                                                            : convert::Format::Txt);
    convert::OutputFile file(std::string("out") + row.extension);
    std::vector<convert::PageText> texts =
        convert::placePages(document, syntheticRecognition(document), convert::Ocr::Auto);
    convert::OutputSource source{document, [] {}, false, "in.mdi", "", "", "", &texts};
    row.write(source, file, result.issues);
    result.size = contents(file).size();
    result.converted = true;
  } catch (const mdi::ReadError& e) {
    result.refusal = e.what();
  } catch (const convert::FileError& e) {
    result.refusal = e.what();  // libtiff refused to write what the page's tags say
  }
  // However hostile the file, the output stays within a small multiple of it.
  if (result.size > outputBudget(size)) {
    std::fprintf(stderr, "an output of %llu bytes from %zu bytes\n",
                 static_cast<unsigned long long>(result.size), size);
    std::abort();
  }
  return result;
}

}  // namespace fuzzoutputs
