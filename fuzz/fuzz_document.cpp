// libFuzzer target: the document library (open, each page's text, each page decoded), fed any
// bytes. Built natively by fuzz/run.
#include <cstddef>
#include <cstdint>

#include "fuzz/Walk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzwalk::walk(data, size);
  return 0;
}
