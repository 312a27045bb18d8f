// Replays every recorded case through the fuzz targets' bodies, natively under the sanitizers:
// the document library's answer (refused, or the pages and the sentence of the first page that
// cannot be decoded) and each output written into memory within its budget. Run by fuzz/run
// before fuzzing.
#include <chrono>
#include <cstdio>

#include "fuzz/Outputs.h"
#include "fuzz/Walk.h"
#include "fuzz/regressions/Findings.h"

namespace {

bool matches(const findings::Finding& f, const fuzzwalk::Outcome& got) {
  if (!f.refusal.empty()) return !got.opened && got.refusal.find(f.refusal) != std::string::npos;
  if (!got.opened || got.pages != f.pages || got.undecodable != f.undecodable) return false;
  return f.problem.empty() ? got.problem.empty() : got.problem.find(f.problem) != std::string::npos;
}

}  // namespace

int main() {
  int failures = 0;
  for (const findings::Finding& f : findings::all()) {
    auto started = std::chrono::steady_clock::now();
    fuzzwalk::Outcome got = fuzzwalk::walk(f.bytes.data(), f.bytes.size());
    std::string outputs;
    for (auto kind : {fuzzoutputs::Kind::Pdf, fuzzoutputs::Kind::Tiff, fuzzoutputs::Kind::Text,
                      fuzzoutputs::Kind::Alto}) {
      fuzzoutputs::Result r = fuzzoutputs::convertBytes(f.bytes.data(), f.bytes.size(), kind);
      outputs += " " + (r.converted ? std::to_string(r.size) : "refused");
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    // Each case is a few kilobytes: anything slow is a quadratic walk or a bomb decoded.
    bool ok = matches(f, got) && seconds < 5.0;
    std::printf(
        "%s %s: %s; outputs%s bytes from %zu; %.3f s\n", ok ? "ok    " : "FAILED", f.name.c_str(),
        got.opened ? (std::to_string(got.pages) + " pages, " + std::to_string(got.undecodable) +
                      " undecodable" + (got.problem.empty() ? "" : " (" + got.problem + ")"))
                         .c_str()
                   : got.refusal.c_str(),
        outputs.c_str(), f.bytes.size(), seconds);
    failures += !ok;
  }
  std::printf("%d of %zu regression cases failed\n", failures, findings::all().size());
  return failures ? 1 : 0;
}
