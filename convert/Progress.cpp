#include "convert/Progress.h"

#include <algorithm>
#include <cstdio>

namespace convert {

Progress::Progress(bool shown, size_t files, size_t pages)
    : shown_(shown), files_(files), pages_(pages), start_(std::chrono::steady_clock::now()) {}

void Progress::pageDone() {
  if (!shown_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  ++pagesDone_;
  draw(false);
}

void Progress::fileDone(size_t pagesLeftOver) {
  if (!shown_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  ++filesDone_;
  pagesDone_ += pagesLeftOver;
  draw(false);
}

void Progress::finish() {
  if (!shown_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  draw(true);
  std::fputc('\n', stderr);
}

void Progress::draw(bool always) {
  auto now = std::chrono::steady_clock::now();
  if (!always && now - lastDraw_ < std::chrono::milliseconds(200)) return;
  lastDraw_ = now;
  double seconds = std::chrono::duration<double>(now - start_).count();
  double rate = seconds > 0 ? double(pagesDone_) / seconds : 0;
  char left[32] = "--:--";
  if (rate > 0 && pages_ >= pagesDone_) {
    long s = long(double(pages_ - pagesDone_) / rate);
    std::snprintf(left, sizeof left, "%ld:%02ld", s / 60, s % 60);
  }
  char line[160];
  int length =
      std::snprintf(line, sizeof line, "%zu/%zu files, %zu/%zu pages, %.1f pages/s, %s left",
                    filesDone_, files_, pagesDone_, pages_, rate, left);
  // Spaces over what a longer earlier line left: no terminal escape, which a Windows console
  // shows as it is.
  int padding = std::max(0, lastLength_ - length);
  lastLength_ = length;
  std::fprintf(stderr, "\r%s%*s", line, padding, "");
  std::fflush(stderr);
}

}  // namespace convert
