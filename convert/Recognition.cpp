#include "convert/Recognition.h"

#include <algorithm>

#include "convert/PdfSyntax.h"
#include "document/PageReader.h"

namespace convert {

RecognitionShare::RecognitionShare(RecognitionOptions options, std::unique_ptr<Recognizer> first,
                                   unsigned jobs)
    : options_(std::move(options)), first_(std::move(first)), jobsWorking_(jobs) {}

Recognizer& RecognitionShare::engine(std::unique_ptr<Recognizer>& mine) {
  if (!mine) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      mine = std::move(first_);
    }
    if (!mine) mine = makeRecognizer(options_);
  }
  return *mine;
}

std::vector<Line> recognizePage(const mdi::Document& document, size_t index, Recognizer& engine) {
  const mdi::Page& p = document.page(index);
  if (uint64_t{p.width} * p.height > kMaxRecognizedPixels) return {};
  mdi::DecodedPage decoded = mdi::decodeImage(document, index);
  if (!decoded.image) return {};
  return engine.recognize(*decoded.image, pdf::dpiOrDefault(p.shownDpiX()),
                          pdf::dpiOrDefault(p.shownDpiY()));
}

bool RecognitionShare::work(std::unique_lock<std::mutex>& lock, Task& task,
                            std::unique_ptr<Recognizer>& mine) {
  if (task.next >= task.lines.size() || task.failure) return false;
  size_t index = task.next++;
  lock.unlock();
  std::vector<Line> lines;
  std::exception_ptr failure;
  try {
    lines = recognizePage(*task.document, index, engine(mine));
  } catch (...) {
    failure = std::current_exception();
  }
  lock.lock();
  task.lines[index] = std::move(lines);
  if (failure && !task.failure) task.failure = failure;
  --task.outstanding;
  changed_.notify_all();
  return true;
}

std::vector<std::vector<Line>> RecognitionShare::recognize(const mdi::Document& document,
                                                           std::unique_ptr<Recognizer>& mine) {
  Task task{&document, 0, document.pageCount(), {}, nullptr};
  task.lines.resize(document.pageCount());
  std::unique_lock<std::mutex> lock(mutex_);
  tasks_.push_back(&task);
  changed_.notify_all();
  while (work(lock, task, mine)) {
  }
  // The pages handed out are being recognized by others: never leave before they are done, as
  // they write into the task. A failure stops the handing out; those under way still finish.
  if (task.failure)
    task.outstanding -= task.lines.size() - task.next, task.next = task.lines.size();
  changed_.wait(lock, [&] { return task.outstanding == 0; });
  tasks_.erase(std::find(tasks_.begin(), tasks_.end(), &task));
  if (task.failure) std::rethrow_exception(task.failure);
  return std::move(task.lines);
}

void RecognitionShare::help(std::unique_ptr<Recognizer>& mine, bool isJob) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (isJob && --jobsWorking_ == 0) changed_.notify_all();
  for (;;) {
    auto open = std::find_if(tasks_.begin(), tasks_.end(), [](const Task* t) {
      return t->next < t->lines.size() && !t->failure;
    });
    if (open != tasks_.end()) {
      work(lock, **open, mine);
      continue;
    }
    if (jobsWorking_ == 0) return;
    changed_.wait(lock);
  }
}

}  // namespace convert
