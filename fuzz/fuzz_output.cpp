// libFuzzer targets: one of the converter's outputs (FUZZ_OUTPUT: Pdf, Tiff or Text) of any
// bytes, written into memory, and never beyond its budget. Built natively by fuzz/run.
#include <cstddef>
#include <cstdint>

#include "fuzz/Outputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzoutputs::convertBytes(data, size, fuzzoutputs::Kind::FUZZ_OUTPUT);
  return 0;
}
