// A second thread for one conversion, when the batch has a processor no file needs.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace convert {

// Does the work handed to it in order, on a thread of its own; without one (`threaded` false)
// at once, on the caller's thread.
class Worker {
 public:
  explicit Worker(bool threaded);
  ~Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  void post(std::function<void()> work);
  // Returns when all work handed over is done; rethrows the first failure among it.
  void wait();

 private:
  void serve();

  std::mutex mutex_;
  std::condition_variable wake_, idle_;
  std::deque<std::function<void()>> queue_;
  bool busy_ = false, stopping_ = false;
  std::exception_ptr failure_;
  std::thread thread_;  // last: it starts once the rest exists
};

}  // namespace convert
