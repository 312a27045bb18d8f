#include "convert/Worker.h"

#include <utility>

namespace convert {

Worker::Worker(bool threaded) {
  if (threaded) thread_ = std::thread([this] { serve(); });
}

Worker::~Worker() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void Worker::post(std::function<void()> work) {
  if (!thread_.joinable()) return work();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(work));
  }
  wake_.notify_one();
}

void Worker::wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return queue_.empty() && !busy_; });
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void Worker::serve() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, with nothing left to do
    std::function<void()> work = std::move(queue_.front());
    queue_.pop_front();
    busy_ = true;
    lock.unlock();
    std::exception_ptr failed;
    try {
      work();
    } catch (...) {
      failed = std::current_exception();
    }
    lock.lock();
    if (failed && !failure_) failure_ = failed;
    busy_ = false;
    if (queue_.empty()) idle_.notify_all();
  }
}

}  // namespace convert
