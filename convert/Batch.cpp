#include "convert/Batch.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <map>
#include <optional>
#include <thread>

#include "convert/FileSystem.h"
#include "convert/Formats.h"
#include "convert/Placement.h"
#include "convert/Progress.h"
#include "convert/Recognition.h"
#include "convert/Record.h"
#include "convert/Worker.h"

namespace convert {

namespace {

std::string lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool endsWith(const std::string& name, const char* ext) {
  std::string n = lower(name);
  size_t len = std::char_traits<char>::length(ext);
  return n.size() > len && n.compare(n.size() - len, len, ext) == 0;
}

bool isDocumentName(const std::string& name) {
  return endsWith(name, ".mdi") || endsWith(name, ".tif") || endsWith(name, ".tiff");
}

std::string join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (name.empty()) return folder;
  return isSeparator(folder.back()) ? folder + name : folder + kPathSeparator + name;
}

std::string nameOf(const std::string& path) {
  return path.substr(nameStart(path));
}

// With its separator at the end; empty for a bare name.
std::string folderOf(const std::string& path) {
  return path.substr(0, nameStart(path));
}

// What the outputs' names start with: an .mdi document's name without its extension, a TIFF's
// whole name, so that neither a TIFF's own TIFF output nor the outputs of scan.mdi and
// scan.tif side by side ever share a name.
std::string outputStem(const std::string& name) {
  if (!endsWith(name, ".mdi")) return name;
  return name.substr(0, name.size() - 4);
}

// A path's names, without empty ones and ".".
std::vector<std::string> namesOf(const std::string& path) {
  std::vector<std::string> names;
  size_t at = 0;
  while (at <= path.size()) {
    size_t end = at;
    while (end < path.size() && !isSeparator(path[end])) ++end;
    std::string name = path.substr(at, end - at);
    if (!name.empty() && name != ".") names.push_back(name);
    at = end + 1;
  }
  return names;
}

// Finds the inputs and where each one's outputs go.
class Gatherer {
 public:
  explicit Gatherer(const Options& o) : o_(o) {}

  Batch gather() {
    for (const std::string& input : o_.inputs) add(input, true);
    for (const std::string& input : o_.listed) add(input, false);
    refuseSharedOutputs();
    return std::move(batch_);
  }

 private:
  // A folder on the command line is its documents' base; anything else is mirrored from the
  // base (--base, or the current folder).
  void add(const std::string& input, bool onCommandLine) {
    FileInfo info = fileInfo(input);
    if (info.kind == FileKind::Directory) {
      walk(input, info, onCommandLine ? "" : mirrored(input));
    } else {
      addFile(input, info, mirrored(folderOf(input)));
    }
  }

  void walk(const std::string& folder, const FileInfo& info, const std::string& relative) {
    // Each folder once, by identity: a link back up is a loop, another link a second name.
    auto [at, first] = entered_.emplace(info.identity, folder);
    if (!first) {
      batch_.warnings.push_back(folder + ": the folder " + at->second +
                                ", walked already (a link loops back to it): not walked again.");
      return;
    }
    std::vector<std::string> names;
    try {
      names = listDirectory(folder);
    } catch (const FileError& e) {
      batch_.jobs.push_back({folder, "", e.what()});
      return;
    }
    for (const std::string& name : names) {
      if (name[0] == '.') continue;  // hidden: among them the records and unnamed outputs
      std::string path = join(folder, name);
      FileInfo entry = fileInfo(path);
      if (entry.kind == FileKind::Directory) {
        if (o_.recursive) walk(path, entry, join(relative, name));
      } else if (isDocumentName(name)) {
        addFile(path, entry, relative);
      }
    }
  }

  // `relative` is the folder below the output folder that stands for the file's.
  void addFile(const std::string& path, const FileInfo& info, const std::string& relative) {
    std::string stem = outputStem(nameOf(path));
    std::string base =
        o_.outputDir.empty() ? folderOf(path) + stem : join(join(o_.outputDir, relative), stem);
    if (info.kind == FileKind::Missing) {
      batch_.jobs.push_back({path, base, "Cannot open " + path + ": no such file."});
      return;
    }
    if (info.kind == FileKind::Special) {
      batch_.jobs.push_back(
          {path, base, path + " is " + info.special + ", not a document: refused."});
      return;
    }
    if (isEarlierOutput(path, info)) {
      batch_.earlierOutputs.push_back(path);
      return;
    }
    auto [at, first] = seen_.emplace(info.identity, path);
    if (!first) {
      batch_.warnings.push_back(path + ": the same file as " + at->second + ", converted once.");
      return;
    }
    batch_.inputs.insert(info.identity);
    batch_.jobs.push_back({path, base, ""});
  }

  // An output of this converter, as its record shows: never an input.
  static bool isEarlierOutput(const std::string& path, const FileInfo& info) {
    std::optional<Record> record = readRecord(path);
    return record && record->outputSize == info.size;
  }

  // The folder below the output folder that mirrors `folder` from the base. Names ".." and the
  // root become names of their own, so nothing is ever written outside the output folder.
  std::string mirrored(const std::string& folder) {
    std::string f = folder.empty() ? "." : folder;
    std::string base = o_.base.empty() ? "." : o_.base;
    if (isAbsolute(f) != isAbsolute(base)) {
      if (cwd_.empty()) cwd_ = currentFolder();
      (isAbsolute(f) ? base : f) = join(cwd_, isAbsolute(f) ? base : f);
    }
    std::vector<std::string> names = namesOf(f), baseNames = namesOf(base);
    bool inBase = baseNames.size() <= names.size() &&
                  std::equal(baseNames.begin(), baseNames.end(), names.begin(),
                             [](const std::string& a, const std::string& b) {
                               return nameKey(a) == nameKey(b);
                             });
    std::string relative = isAbsolute(f) && !inBase ? "__root__" : "";
    for (size_t i = inBase ? baseNames.size() : 0; i < names.size(); ++i)
      relative = join(relative, names[i] == ".." ? "__up__" : names[i]);
    return relative;
  }

  // Two inputs that would write the same output: the later one is refused, never overwriting.
  void refuseSharedOutputs() {
    std::map<std::string, std::string> first;
    for (Job& job : batch_.jobs) {
      if (!job.problem.empty()) continue;
      auto [at, added] = first.emplace(nameKey(job.outputBase), job.input);
      if (!added)
        job.problem = "Its outputs would have the same names as those of " + at->second + ".";
    }
  }

  const Options& o_;
  Batch batch_;
  std::map<FileIdentity, std::string> entered_, seen_;
  std::string cwd_;
};

bool hasText(const mdi::Document& document, size_t page) {
  return !document.pageText(page).empty();
}

// One file's conversion in steps: what is there already, writing its outputs, then naming them,
// which waits for the disk and so can go on beside the next file's writing.
class FileConversion {
 public:
  FileConversion(const Options& options, const Job& job, const std::set<FileIdentity>& inputs,
                 Progress& progress, bool spareProcessor, RecognitionShare* recognition)
      : options_(options),
        job_(job),
        inputs_(inputs),
        progress_(progress),
        spareProcessor_(spareProcessor),
        recognition_(recognition) {
    result_.input = job.input;
  }

  size_t pagesReported() const { return pagesReported_; }

  // Which outputs to write: those missing, and with --force those there; an output that is
  // provably this input's is complete, anything else in its place a conflict.
  void prepare() {
    if (!job_.problem.empty()) return failed(job_.problem);
    try {
      for (Format f : options_.formats)
        if (!prepare(f)) return;
    } catch (const std::exception& e) {
      failed(e.what());
    }
  }

  // On the job's thread, before the conversion starts.
  bool needsInputDigest() const { return result_.error.empty() && result_.inputSha256.empty(); }

  void hashInput() {
    try {
      result_.inputSha256 = sha256OfFile(job_.input, result_.inputSize);
    } catch (const std::exception& e) {
      digestError_ = e.what();
    }
  }

  // Writes every output pending; none is named yet. `engine` is the job's recognizer.
  void write(std::unique_ptr<Recognizer>& engine) {
    if (!result_.error.empty() || pending_.empty()) return;
    try {
      mdi::Document document = mdi::Document::open(openInput(job_.input));
      result_.pages = document.pageCount();
      result_.endedEarly = document.endedEarly();
      result_.endedEarlyAt = document.endedEarlyAt();
      if (options_.strict && !result_.endedEarly.empty())
        return failed("The document ends early (--strict): " + result_.endedEarly);
      for (size_t i = 0; i < document.pageCount(); ++i)
        result_.pagesWithText += hasText(document, i);
      if (recognition_)
        texts_ = placePages(document, recognition_->recognize(document, engine), options_.ocr);
      for (Format f : pending_) write(document, f);
    } catch (const std::exception& e) {
      failed(e.what());
    }
  }

  // Names the outputs written, in order; those named before a failure are kept.
  FileResult commit() {
    if (result_.error.empty() && !digestError_.empty()) failed(digestError_);
    collectLosses();
    if (result_.error.empty() && options_.strict && result_.lostPages())
      failed("Pages were lost (--strict): no output is written.");
    try {
      for (Written& w : written_)
        if (result_.error.empty()) commit(w);
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
    Format format;
    std::unique_ptr<OutputFile> file;
    std::vector<PageIssue> issues;
  };

  // False when the file fails.
  bool prepare(Format f) {
    std::string path = job_.outputBase + formatRow(f).extension;
    FileInfo there = fileInfo(path);
    if (there.kind == FileKind::Missing) {
      pending_.push_back(f);
    } else if (inputs_.count(there.identity)) {
      failed("Its " + std::string(formatRow(f).name) + " output " + path +
             " is an input of this run, which is never replaced.");
    } else if (options_.force) {
      pending_.push_back(f);
    } else {
      if (result_.inputSha256.empty()) hashInput();
      std::optional<Record> record;
      std::string why = unproven(path, there, record);
      if (why.empty())
        skipped({path, f, there.size, record->outputSha256}, *record);
      else
        failed(path + " is there already and is not provably this document's output (" + why +
               "): it is left as it is; --force replaces it.");
    }
    return result_.error.empty();
  }

  // The first failure is the file's.
  void failed(const std::string& error) {
    result_.status = FileResult::Status::Failed;
    if (result_.error.empty()) result_.error = error;
  }

  // Why the file at `path` cannot be taken for this input's output; empty when it can.
  std::string unproven(const std::string& path, const FileInfo& there,
                       std::optional<Record>& record) {
    if (result_.inputSha256.empty()) return "the input cannot be read to compare";
    record = readRecord(path);
    if (!record) return "no record of its conversion";
    if (record->inputSha256 != result_.inputSha256 || record->inputSize != result_.inputSize)
      return "it was made from another file, or from this one before it changed";
    if (there.kind != FileKind::Regular || record->outputSize != there.size)
      return "its size is not the one recorded";
    uint64_t size = 0;
    std::string sha = sha256OfFile(path, size);
    if (sha != record->outputSha256) return "its contents are not the ones recorded";
    return "";
  }

  // Complete already: what its conversion lost is said again.
  void skipped(const OutputInfo& output, const Record& record) {
    result_.skipped.push_back(output);
    result_.pages = std::max(result_.pages, record.pagesRead);
    if (result_.endedEarly.empty()) {
      result_.endedEarly = record.endedEarly;
      result_.endedEarlyAt = record.endedEarlyAt;
    }
    addLost(record.lostImages);
  }

  void addLost(const std::vector<PageIssue>& issues) {
    for (const PageIssue& issue : issues) {
      auto known = [&issue](const PageIssue& i) { return i.page == issue.page; };
      if (std::none_of(result_.lostImages.begin(), result_.lostImages.end(), known))
        result_.lostImages.push_back(issue);
    }
  }

  void write(const mdi::Document& document, Format format) {
    const FormatRow& row = formatRow(format);
    std::string path = job_.outputBase + row.extension;
    if (!options_.outputDir.empty()) makeDirectories(folderOf(path));
    Written w{format, std::make_unique<OutputFile>(path), {}};
    OutputSource source{document,
                        [this] {
                          ++pagesReported_;
                          progress_.pageDone();
                        },
                        spareProcessor_,
                        job_.input.substr(nameStart(job_.input)),
                        result_.inputSha256,
                        options_.title,
                        options_.author,
                        recognition_ ? &texts_ : nullptr};
    row.write(source, *w.file, w.issues);
    written_.push_back(std::move(w));
  }

  // The PDF shows a page whose image it cannot carry as a placeholder: that image is lost. The
  // TIFF keeps such a page as stored: a warning that other readers may not show it.
  void collectLosses() {
    for (const Written& w : written_) {
      if (!formatRow(w.format).keepsStoredPages) {
        addLost(w.issues);
        continue;
      }
      for (const PageIssue& issue : w.issues)
        result_.warnings.push_back("page " + std::to_string(issue.page) +
                                   " in the TIFF: " + issue.reason);
    }
  }

  // The record goes first: a kill before the output is named leaves a record of nothing, which
  // proves nothing, never an output without its proof.
  void commit(Written& w) {
    const std::string& path = w.file->path();
    OutputInfo out{path, w.format, w.file->size(), w.file->sha256()};
    writeRecord(path, {result_.inputSize, result_.inputSha256, out.size, out.sha256, result_.pages,
                       result_.endedEarly, result_.endedEarlyAt,
                       formatRow(w.format).keepsStoredPages ? std::vector<PageIssue>() : w.issues});
    try {
      w.file->commit(options_.force);
    } catch (const ExistsError&) {
      // Another run named it meanwhile: complete if provably this input's, else a conflict.
      FileInfo there = fileInfo(path);
      std::optional<Record> record;
      std::string why =
          inputs_.count(there.identity) ? "it is an input" : unproven(path, there, record);
      if (!why.empty())
        throw FileError(path +
                        " appeared while it was written and is not provably this "
                        "document's output (" +
                        why + ").");
      result_.skipped.push_back(out);
      return;
    }
    result_.outputs.push_back(out);
  }

  const Options& options_;
  const Job& job_;
  const std::set<FileIdentity>& inputs_;
  Progress& progress_;
  bool spareProcessor_;
  RecognitionShare* recognition_;  // null: no recognition
  std::vector<PageText> texts_;    // each page's, once recognized
  FileResult result_;
  std::vector<Format> pending_;
  std::vector<Written> written_;
  std::string digestError_;
  size_t pagesReported_ = 0;
};

// Pages to write for each file, for the progress line only (reading directories is cheap).
std::vector<size_t> pagesToWrite(const Options& o, const std::vector<Job>& jobs) {
  std::vector<size_t> pages(jobs.size(), 0);
  for (size_t i = 0; i < jobs.size(); ++i) {
    if (!jobs[i].problem.empty()) continue;
    try {
      pages[i] = mdi::Document::open(openInput(jobs[i].input)).pageCount() * o.formats.size();
    } catch (const std::exception&) {
    }
  }
  return pages;
}

}  // namespace

Batch gatherJobs(const Options& options) {
  return Gatherer(options).gather();
}

std::vector<FileResult> runBatch(const Options& options, const Batch& batch,
                                 std::unique_ptr<Recognizer> firstEngine) {
  const std::vector<Job>& jobs = batch.jobs;
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
  std::optional<RecognitionShare> share;
  if (firstEngine) share.emplace(options.recognition, std::move(firstEngine), threads);
  RecognitionShare* recognition = share ? &*share : nullptr;
  std::atomic<size_t> next{0};
  // Each job names a file's outputs, waiting for the disk, while it writes the next file's.
  auto work = [&] {
    Worker naming(true);
    std::unique_ptr<Recognizer> engine;  // the job's own, made when its first page needs it
    for (size_t i = next++; i < jobs.size(); i = next++) {
      auto conversion = std::make_shared<FileConversion>(options, jobs[i], batch.inputs, progress,
                                                         spareProcessor, recognition);
      conversion->prepare();
      // The input's digest: beside its conversion when a processor is spare, else by the job
      // itself, so that each job takes one processor as -j says.
      // The PDF names the input's digest in its metadata: it is taken before then.
      bool pdf = std::count(options.formats.begin(), options.formats.end(), Format::Pdf) != 0;
      if (conversion->needsInputDigest() && spareProcessor && !pdf)
        naming.post([conversion] { conversion->hashInput(); });
      else if (conversion->needsInputDigest())
        conversion->hashInput();
      conversion->write(engine);
      naming.wait();  // the file before is named: a job has two files open at most
      naming.post([&, i, conversion] {
        results[i] = conversion->commit();
        progress.fileDone(pages[i] - std::min(pages[i], conversion->pagesReported()));
      });
    }
    naming.wait();
    // No document left for this job: it recognizes others' pages while any are left.
    if (recognition) recognition->help(engine, true);
  };
  std::vector<std::thread> workers;
  for (unsigned t = 1; t < threads; ++t) workers.emplace_back(work);
  // The processors no file needs recognize the pages of those being converted.
  for (unsigned t = threads; recognition && t < slots; ++t)
    workers.emplace_back([recognition] {
      std::unique_ptr<Recognizer> engine;
      recognition->help(engine, false);
    });
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
