// A batch: the inputs found, one conversion per file on a few threads, what happened to each.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "convert/FileSystem.h"
#include "convert/Options.h"
#include "convert/Outputs.h"

namespace convert {

struct OutputInfo {
  std::string path;
  Format format = Format::Pdf;
  uint64_t size = 0;
  std::string sha256;
};

struct FileResult {
  enum class Status { Converted, Skipped, Failed };
  std::string input;
  Status status = Status::Failed;
  uint64_t inputSize = 0;
  std::string inputSha256;  // empty when the input could not be read through
  size_t pages = 0;         // read from the document
  size_t pagesWithText = 0;
  std::string endedEarly;     // why the document ends before its last page; empty when whole
  uint64_t endedEarlyAt = 0;  // the offset of the directory that could not be read
  std::vector<PageIssue> lostImages;  // pages an output shows without their image
  std::vector<std::string> warnings;
  std::vector<OutputInfo> outputs;  // written by this run
  std::vector<OutputInfo> skipped;  // provably complete already
  std::string error;

  bool lostPages() const { return !endedEarly.empty() || !lostImages.empty(); }
};

// One file to convert, and where its outputs go (the path without the extension).
struct Job {
  std::string input;
  std::string outputBase;
  std::string problem;  // why it cannot be converted, found while gathering
};

struct Batch {
  std::vector<Job> jobs;
  std::set<FileIdentity> inputs;            // every input's file: never replaced
  std::vector<std::string> warnings;        // found while gathering: loops, files met twice
  std::vector<std::string> earlierOutputs;  // documents that are this converter's outputs
};

// The documents the options name, in order. Folders give their documents (-r: also those in
// folders below); the output folder mirrors where each input is below its base.
Batch gatherJobs(const Options& options);
// With an engine (the first job's), every page is recognized; without one, none.
std::vector<FileResult> runBatch(const Options& options, const Batch& batch,
                                 std::unique_ptr<Recognizer> firstEngine);
const char* statusName(FileResult::Status status);

}  // namespace convert
