// A batch: the inputs found, one conversion per file on a few threads, what happened to each.
#pragma once

#include <string>
#include <vector>

#include "convert/Options.h"
#include "convert/Outputs.h"

namespace convert {

struct FileResult {
  enum class Status { Converted, Skipped, Failed };
  std::string input;
  Status status = Status::Failed;
  size_t pages = 0;
  size_t pagesWithText = 0;
  std::vector<PageIssue> undecodable;
  std::vector<std::string> outputs;  // written by this run
  std::vector<std::string> skipped;  // complete already
  std::string error;
};

// One file to convert, and where its outputs go (the path without the extension).
struct Job {
  std::string input;
  std::string outputBase;
  std::string problem;  // why it cannot be converted, found while gathering
};

// The documents the options name, in order. Folders give their documents (-r: also those in
// folders below); an output folder mirrors the folders walked below it.
std::vector<Job> gatherJobs(const Options& options);
std::vector<FileResult> runBatch(const Options& options, const std::vector<Job>& jobs);
// JSON, one entry a file.
std::string reportJson(const std::vector<FileResult>& results);
const char* statusName(FileResult::Status status);

}  // namespace convert
