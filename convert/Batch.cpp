#include "convert/Batch.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <map>
#include <thread>

#include "convert/FileSystem.h"
#include "convert/Progress.h"
#include "convert/Worker.h"

namespace convert {

namespace {

std::string lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool isDocumentName(const std::string& name) {
  std::string n = lower(name);
  for (const char* ext : {".mdi", ".tif", ".tiff"}) {
    size_t len = std::char_traits<char>::length(ext);
    if (n.size() > len && n.compare(n.size() - len, len, ext) == 0) return true;
  }
  return false;
}

std::string join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return isSeparator(folder.back()) ? folder + name : folder + kPathSeparator + name;
}

std::string stemOf(const std::string& name) {
  size_t dot = name.rfind('.');
  return dot == 0 || dot == std::string::npos ? name : name.substr(0, dot);
}

std::string nameOf(const std::string& path) {
  return path.substr(nameStart(path));
}

// With its separator at the end; empty for a bare name.
std::string folderOf(const std::string& path) {
  return path.substr(0, nameStart(path));
}

// `relative` is the folder below the output folder that mirrors where the walk found it.
void addFile(const Options& o, const std::string& path, const std::string& relative,
             std::vector<Job>& jobs) {
  std::string stem = stemOf(nameOf(path));
  std::string base =
      o.outputDir.empty() ? folderOf(path) + stem : join(join(o.outputDir, relative), stem);
  jobs.push_back({path, base, ""});
}

void walk(const Options& o, const std::string& folder, const std::string& relative,
          std::vector<Job>& jobs) {
  for (const std::string& name : listDirectory(folder)) {
    std::string path = join(folder, name);
    if (isDirectory(path)) {
      if (o.recursive) walk(o, path, join(relative, name), jobs);
    } else if (isDocumentName(name) && name[0] != '.') {
      addFile(o, path, relative, jobs);
    }
  }
}

void addInput(const Options& o, const std::string& input, std::vector<Job>& jobs) {
  if (!isDirectory(input)) {
    addFile(o, input, "", jobs);
    return;
  }
  try {
    walk(o, input, "", jobs);
  } catch (const FileError& e) {
    jobs.push_back({input, "", e.what()});
  }
}

// Two inputs that would write the same output: the later one is refused, never overwriting.
void refuseSharedOutputs(std::vector<Job>& jobs) {
  std::map<std::string, std::string> first;
  for (Job& job : jobs) {
    if (!job.problem.empty()) continue;
    auto [at, added] = first.emplace(job.outputBase, job.input);
    if (!added)
      job.problem = "Its outputs would have the same names as those of " + at->second + ".";
  }
}

bool hasText(const mdi::Document& document, size_t page) {
  return !document.pageText(page).empty();
}

// One file's conversion in two steps: writing its outputs, then naming them, which waits for
// the disk and so can go on beside the next file's writing.
class FileConversion {
 public:
  FileConversion(const Options& options, const Job& job, Progress& progress, bool spareProcessor)
      : options_(options), job_(job), progress_(progress), spareProcessor_(spareProcessor) {
    result_.input = job.input;
  }

  size_t pagesReported() const { return pagesReported_; }

  // Writes every output not complete already; none is named yet.
  void write() {
    if (!job_.problem.empty()) {
      failed(job_.problem);
      return;
    }
    std::vector<Format> pending;
    for (Format f : options_.formats) {
      std::string path = job_.outputBase + extensionOf(f);
      if (exists(path) && !options_.force)
        result_.skipped.push_back(path);
      else
        pending.push_back(f);
    }
    if (pending.empty()) return;  // skipped: the document is not even opened
    try {
      mdi::Document document = mdi::Document::open(openInput(job_.input));
      result_.pages = document.pageCount();
      for (size_t i = 0; i < document.pageCount(); ++i)
        result_.pagesWithText += hasText(document, i);
      for (Format f : pending) write(document, f);
    } catch (const std::exception& e) {
      failed(e.what());
    }
  }

  // Names the outputs written, in order; those written before a failure are kept.
  FileResult commit() {
    try {
      for (Written& w : written_) commit(w);
    } catch (const std::exception& e) {
      failed(e.what());
    }
    written_.clear();  // what is left unnamed goes
    if (result_.error.empty())
      result_.status =
          result_.outputs.empty() ? FileResult::Status::Skipped : FileResult::Status::Converted;
    return result_;
  }

 private:
  struct Written {
    std::unique_ptr<OutputFile> file;
    std::vector<PageIssue> issues;
  };

  // The first failure is the file's.
  void failed(const std::string& error) {
    result_.status = FileResult::Status::Failed;
    if (result_.error.empty()) result_.error = error;
  }

  void write(const mdi::Document& document, Format format) {
    std::string path = job_.outputBase + extensionOf(format);
    if (sameFile(path, job_.input))
      throw FileError("Its " + std::string(nameOf(format)) + " output " + path +
                      " would replace the input itself.");
    if (!options_.outputDir.empty()) makeDirectories(folderOf(path));
    Written w{std::make_unique<OutputFile>(path), {}};
    PageDone done = [this] {
      ++pagesReported_;
      progress_.pageDone();
    };
    switch (format) {
      case Format::Txt:
        writeText(document, *w.file, done);
        break;
      case Format::Tiff:
        writeTiff(document, *w.file, w.issues, done);
        break;
      case Format::Pdf:
        writePdf(document, *w.file, w.issues, done, spareProcessor_);
        break;
    }
    written_.push_back(std::move(w));
  }

  void commit(Written& w) {
    const std::string& path = w.file->path();
    try {
      w.file->commit(options_.force);
    } catch (const FileError&) {
      // Another run put it there meanwhile: complete, so this run's copy is not needed.
      if (!exists(path)) throw;
      result_.skipped.push_back(path);
      return;
    }
    result_.outputs.push_back(path);
    for (const PageIssue& issue : w.issues) {
      auto known = [&issue](const PageIssue& i) { return i.page == issue.page; };
      if (std::none_of(result_.undecodable.begin(), result_.undecodable.end(), known))
        result_.undecodable.push_back(issue);
    }
  }

  const Options& options_;
  const Job& job_;
  Progress& progress_;
  bool spareProcessor_;
  FileResult result_;
  std::vector<Written> written_;
  size_t pagesReported_ = 0;
};

// Pages to write for each file, for the progress line only (reading directories is cheap).
std::vector<size_t> pagesToWrite(const Options& o, const std::vector<Job>& jobs) {
  std::vector<size_t> pages(jobs.size(), 0);
  for (size_t i = 0; i < jobs.size(); ++i) {
    try {
      pages[i] = mdi::Document::open(openInput(jobs[i].input)).pageCount() * o.formats.size();
    } catch (const std::exception&) {
    }
  }
  return pages;
}

}  // namespace

std::vector<Job> gatherJobs(const Options& options) {
  std::vector<Job> jobs;
  for (const std::string& input : options.inputs) addInput(options, input, jobs);
  refuseSharedOutputs(jobs);
  return jobs;
}

std::vector<FileResult> runBatch(const Options& options, const std::vector<Job>& jobs) {
  bool shown = !options.quiet && stderrIsTerminal();
  std::vector<size_t> pages =
      shown ? pagesToWrite(options, jobs) : std::vector<size_t>(jobs.size());
  size_t total = 0;
  for (size_t n : pages) total += n;
  Progress progress(shown, jobs.size(), total);
  std::vector<FileResult> results(jobs.size());
  unsigned slots = options.jobs ? options.jobs : processorCount();
  unsigned threads = unsigned(std::min<size_t>(slots, std::max<size_t>(jobs.size(), 1)));
  // Fewer files than jobs, as with one long document: the slots left over help each file along.
  bool spareProcessor = threads < slots;
  std::atomic<size_t> next{0};
  // Each job names a file's outputs, waiting for the disk, while it writes the next file's.
  auto work = [&] {
    Worker naming(true);
    for (size_t i = next++; i < jobs.size(); i = next++) {
      auto conversion =
          std::make_shared<FileConversion>(options, jobs[i], progress, spareProcessor);
      conversion->write();
      naming.wait();  // the file before is named: a job has two files open at most
      naming.post([&, i, conversion] {
        results[i] = conversion->commit();
        progress.fileDone(pages[i] - std::min(pages[i], conversion->pagesReported()));
      });
    }
    naming.wait();
  };
  std::vector<std::thread> workers;
  for (unsigned t = 1; t < threads; ++t) workers.emplace_back(work);
  work();
  for (std::thread& w : workers) w.join();
  progress.finish();
  return results;
}

const char* statusName(FileResult::Status status) {
  switch (status) {
    case FileResult::Status::Converted:
      return "converted";
    case FileResult::Status::Skipped:
      return "skipped";
    case FileResult::Status::Failed:
      return "failed";
  }
  return "";
}

}  // namespace convert
