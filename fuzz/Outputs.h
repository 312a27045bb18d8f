// The converter's outputs of a document given as bytes, written into memory (MemoryOutput.cpp
// stands in for the file system): the output targets' body, also run by the regressions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "convert/FileSystem.h"
#include "convert/Formats.h"
#include "convert/Outputs.h"
#include "document/Document.h"

namespace fuzzoutputs {

enum class Kind { Pdf, Tiff, Text };

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
                                                                            : convert::Format::Txt);
    convert::OutputFile file(std::string("out") + row.extension);
    row.write({document, [] {}, false}, file, result.issues);
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
