// The one line on a terminal that says how far the batch is: files and pages done of the
// total, the rate, and the time left. Redrawn at most a few times a second.
#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>

namespace convert {

class Progress {
 public:
  Progress(bool shown, size_t files, size_t pages);
  void pageDone();
  void fileDone(size_t pagesLeftOver);  // pages counted in the total but not converted
  void finish();

 private:
  void draw(bool always);

  bool shown_;
  size_t files_, pages_;
  size_t filesDone_ = 0, pagesDone_ = 0;
  std::chrono::steady_clock::time_point start_, lastDraw_;
  int lastLength_ = 0;
  std::mutex mutex_;
};

}  // namespace convert
