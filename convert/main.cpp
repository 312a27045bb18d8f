// folirex-convert: documents to searchable PDF, standard TIFF and text, in batches.
#include <cstdio>
#include <fstream>
#include <iostream>

#include "convert/Batch.h"
#include "convert/FileSystem.h"

#ifndef FOLIREX_VERSION
#define FOLIREX_VERSION "2.0"
#endif

namespace {

using namespace convert;

std::vector<std::string> readList(const std::string& path) {
  std::ifstream file;
  if (path != "-") {
    file.open(path, std::ios::binary);
    if (!file) throw UsageError("cannot read the list " + path);
  }
  std::istream& in = path == "-" ? std::cin : file;
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

void writeReport(const std::string& path, const std::string& json) {
  OutputFile file(path);
  file.writeAt(0, json.data(), json.size());
  file.commit(true);
}

int run(const std::vector<std::string>& arguments) {
  Options options;
  try {
    options = parseOptions(arguments);
    if (!options.filesFrom.empty())
      for (std::string& input : readList(options.filesFrom)) options.inputs.push_back(input);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "folirex-convert: %s\nTry 'folirex-convert --help'.\n", e.what());
    return 2;
  }
  if (options.help) {
    std::fputs(usageText(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("folirex-convert %s\n", FOLIREX_VERSION);
    return 0;
  }
  std::vector<FileResult> results = runBatch(options, gatherJobs(options));
  bool failed = false;
  for (const FileResult& r : results) {
    if (r.status == FileResult::Status::Failed) {
      failed = true;
      std::fprintf(stderr, "folirex-convert: %s: %s\n", r.input.c_str(), r.error.c_str());
    }
    for (const PageIssue& issue : r.undecodable)
      if (!options.quiet)
        std::fprintf(stderr, "folirex-convert: %s: page %zu: %s\n", r.input.c_str(), issue.page,
                     issue.reason.c_str());
  }
  if (!options.reportPath.empty()) {
    try {
      writeReport(options.reportPath, reportJson(results));
    } catch (const std::exception& e) {
      std::fprintf(stderr, "folirex-convert: the report: %s\n", e.what());
      return 1;
    }
  }
  return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  return run(std::vector<std::string>(argv + 1, argv + argc));
}
