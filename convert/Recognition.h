// The batch's recognition: each job recognizes its document's pages with its own engine, and the
// jobs that have no document left (or none at all, as with one long document) take pages of the
// documents still being recognized.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

#include "convert/Recognizer.h"
#include "document/Document.h"

namespace convert {

// Pages larger than this are not recognized: a page of 600 dpi A3 is a third of it, and the
// engine's time and memory grow with the pixels.
constexpr uint64_t kMaxRecognizedPixels = uint64_t{200} << 20;

class RecognitionShare {
 public:
  // `first`, made while the options were checked, is the first job's engine.
  RecognitionShare(RecognitionOptions options, std::unique_ptr<Recognizer> first, unsigned jobs);
  RecognitionShare(const RecognitionShare&) = delete;
  RecognitionShare& operator=(const RecognitionShare&) = delete;

  // The calling job's engine, made on its first use.
  Recognizer& engine(std::unique_ptr<Recognizer>& mine);
  // Every page's words, recognized with `mine` and by the jobs that help; returns when all are.
  std::vector<std::vector<Line>> recognize(const mdi::Document& document,
                                           std::unique_ptr<Recognizer>& mine);
  // A job with no document left, or a helper: takes other documents' pages until every job has
  // none left. A job says so once.
  void help(std::unique_ptr<Recognizer>& mine, bool isJob);

 private:
  struct Task {
    const mdi::Document* document;
    size_t next = 0;         // the next page to hand out
    size_t outstanding = 0;  // pages not yet recognized
    std::vector<std::vector<Line>> lines;
    std::exception_ptr failure;
  };
  // Recognizes the task's next page, if it has one left; the lock is held on entry and exit.
  bool work(std::unique_lock<std::mutex>& lock, Task& task, std::unique_ptr<Recognizer>& mine);

  RecognitionOptions options_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::unique_ptr<Recognizer> first_;
  std::deque<Task*> tasks_;
  unsigned jobsWorking_;
};

// The page's words, or none when its image cannot be decoded or is too large to recognize.
std::vector<Line> recognizePage(const mdi::Document& document, size_t index, Recognizer& engine);

}  // namespace convert
