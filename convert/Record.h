// What proves an output complete: the size and SHA-256 of the input it was made from and its
// own, kept beside it under a hidden name where any later run finds it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "convert/Outputs.h"

namespace convert {

// With what the conversion lost, so that a run that finds the output complete says it again.
struct Record {
  uint64_t inputSize = 0;
  std::string inputSha256;
  uint64_t outputSize = 0;
  std::string outputSha256;
  size_t pagesRead = 0;
  std::string endedEarly;
  uint64_t endedEarlyAt = 0;
  std::vector<PageIssue> lostImages;
};

// ".NAME.folirex.json" beside the output NAME.
std::string recordPathFor(const std::string& outputPath);
// The output's record; none when there is none or it cannot be read as one.
std::optional<Record> readRecord(const std::string& outputPath);
// Replaces the output's record, its bytes on the disk before it returns (its name with the
// output's).
void writeRecord(const std::string& outputPath, const Record& record);

}  // namespace convert
