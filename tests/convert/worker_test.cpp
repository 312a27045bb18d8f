// The worker the PDF output hands its digest and writes to: everything done, in order, on its
// thread or at once, and a failure among it reaches whoever waits, not lost on the thread.
#include <cstdio>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "convert/Worker.h"

int main() {
  int faults = 0;
  for (bool threaded : {true, false}) {
    const char* mode = threaded ? "on its thread" : "at once";
    convert::Worker worker(threaded);
    std::vector<int> done, expected(1000);
    std::iota(expected.begin(), expected.end(), 0);
    for (int i : expected) worker.post([&done, i] { done.push_back(i); });
    worker.wait();
    if (done != expected) {
      std::printf("work %s: not all done in order\n", mode);
      ++faults;
    }
    std::string failure;
    try {
      worker.post([] { throw std::runtime_error("No space left on device"); });
      worker.wait();
    } catch (const std::runtime_error& e) {
      failure = e.what();
    }
    if (failure != "No space left on device") {
      std::printf("work %s: the failure was not passed on\n", mode);
      ++faults;
    }
  }
  return faults ? 1 : 0;
}
