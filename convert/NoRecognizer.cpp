// A build without a recognition engine: pages keep the text they store.
#include "convert/Recognizer.h"

namespace convert {

std::unique_ptr<Recognizer> makeRecognizer(const RecognitionOptions&) {
  throw RecognitionError("this build of folirex-convert has no text recognition");
}

bool recognitionBuiltIn() {
  return false;
}

std::string recognitionVersion() {
  return "";
}

}  // namespace convert
