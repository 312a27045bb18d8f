// Replays every recorded finding through the fuzzing target's walk, natively under the
// sanitizers, and checks the reader's answer. Run by fuzz/run before fuzzing.
#include <chrono>
#include <cstdio>

#include "fuzz/Walk.h"
#include "fuzz/regressions/Findings.h"

int main() {
  int failures = 0;
  for (const findings::Finding& f : findings::all()) {
    auto started = std::chrono::steady_clock::now();
    fuzzwalk::Outcome got = fuzzwalk::walk(f.bytes.data(), f.bytes.size());
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    bool ok = f.refusal.empty()
                  ? got.opened && got.pages == f.pages && got.undecodable == f.undecodable
                  : !got.opened && got.refusal.find(f.refusal) != std::string::npos;
    // Each case is a few kilobytes: anything slow is the old quadratic walk back again.
    if (seconds > 2.0) ok = false;
    std::printf("%s %s: %s, %.3f s\n", ok ? "ok    " : "FAILED", f.name.c_str(),
                got.opened ? ("opened, " + std::to_string(got.pages) + " pages, " +
                              std::to_string(got.undecodable) + " undecodable")
                                 .c_str()
                           : got.refusal.c_str(),
                seconds);
    failures += !ok;
  }
  std::printf("%d of %zu regression cases failed\n", failures, findings::all().size());
  return failures ? 1 : 0;
}
