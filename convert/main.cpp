// folirex-convert: documents to searchable PDF, standard TIFF and text, in batches.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <iterator>

#include "convert/Batch.h"
#include "convert/FileSystem.h"
#include "convert/Recognizer.h"
#include "convert/Report.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

#ifndef FOLIREX_VERSION
#define FOLIREX_VERSION "2.0"
#endif

namespace {

using namespace convert;

// Exit statuses, documented in the usage text, the manual page and the README.
constexpr int kFailed = 1;
constexpr int kBadUsage = 2;
constexpr int kPagesLost = 4;

std::string listText(const std::string& path) {
  if (path == "-") return std::string(std::istreambuf_iterator<char>(std::cin), {});
  try {
    return readListFile(path);
  } catch (const std::exception& e) {
    throw UsageError(std::string("cannot read the list: ") + e.what());
  }
}

std::vector<std::string> readList(const std::string& path) {
  std::vector<std::string> lines;
  std::string text = listText(path);
  for (size_t at = 0; at < text.size();) {
    size_t end = std::min(text.find('\n', at), text.size());
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

void writeReport(const std::string& path, const std::string& json, const Batch& batch) {
  if (batch.inputs.count(fileInfo(path).identity))
    throw FileError(path + " is an input of this run, which is never replaced.");
  OutputFile file(path);
  file.writeAt(0, json.data(), json.size());
  file.commit(true);
}

void say(const std::string& line) {
  writeStderr("folirex-convert: " + line + "\n");
}

int run(const std::vector<std::string>& arguments) {
  Options options;
  try {
    options = parseOptions(arguments);
    if (!options.filesFrom.empty()) options.listed = readList(options.filesFrom);
  } catch (const UsageError& e) {
    writeStderr("folirex-convert: " + std::string(e.what()) + "\nTry 'folirex-convert --help'.\n");
    return kBadUsage;
  }
  if (options.help) {
    std::fputs(usageText(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("folirex-convert %s\n", FOLIREX_VERSION);
    return 0;
  }
  // The languages are loaded once before any file: a language without its data is bad usage.
  // A build without an engine converts as --ocr never, unless recognition was asked for.
  std::unique_ptr<Recognizer> engine;
  if (options.ocr != Ocr::Never &&
      (recognitionBuiltIn() || options.ocr == Ocr::Always || options.recognitionAsked)) {
    try {
      engine = makeRecognizer(options.recognition);
    } catch (const RecognitionError& e) {
      writeStderr("folirex-convert: " + std::string(e.what()) + "\n");
      return kBadUsage;
    }
  }
  RunInfo info{FOLIREX_VERSION, utcNow(), ""};
  Batch batch = gatherJobs(options);
  std::vector<FileResult> results = runBatch(options, batch, std::move(engine));
  info.ended = utcNow();
  int status = 0;
  // Everything lost or refused is said, -q or not: -q hides only the progress line.
  for (const std::string& warning : batch.warnings) say(warning);
  for (const FileResult& r : results) {
    if (r.status == FileResult::Status::Failed) {
      status |= kFailed;
      say(r.input + ": " + r.error);
    }
    if (!r.endedEarly.empty()) {
      status |= kPagesLost;
      say(r.input + ": the document ends after page " + std::to_string(r.pages) + ": " +
          r.endedEarly);
    }
    for (const PageIssue& issue : r.lostImages) {
      status |= kPagesLost;
      say(r.input + ": page " + std::to_string(issue.page) + ": " + issue.reason);
    }
    for (const std::string& warning : r.warnings) say(r.input + ": " + warning);
  }
  if (!options.reportPath.empty()) {
    try {
      writeReport(options.reportPath, reportJson(info, batch, results), batch);
    } catch (const std::exception& e) {
      say("the report: " + std::string(e.what()));
      return status | kFailed;
    }
  }
  return status;
}

// Every page takes and frees buffers of a few hundred kilobytes (qpdf's stream buffers, zlib's
// state). By default glibc hands such memory back to the system at each free and faults it in
// anew at the next page: on a long document that took half the run, and each unmapping stalls
// the other jobs' threads too. Kept, it is reused; the peak stays what one page needs.
#ifdef __GLIBC__
void keepFreedMemory() {
  mallopt(M_MMAP_THRESHOLD, 16 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
}
#endif

}  // namespace

#ifdef _WIN32
// The wide command line: arguments in any script, whatever the ANSI code page.
int wmain(int argc, wchar_t** argv) {
  return run(utf8Arguments(argc, argv));
}
#else
int main(int argc, char** argv) {
#ifdef __GLIBC__
  keepFreedMemory();
#endif
  return run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
