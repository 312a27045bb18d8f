// Recognition of a page's words (OCR), behind a small interface: the native build and the
// Windows builds with Tesseract implement it with libtesseract; a build without it has none.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "convert/Words.h"
#include "document/PageImage.h"

namespace convert {

struct RecognitionOptions {
  std::string languages = "eng";  // as Tesseract names them: eng, deu+eng
  std::string tessdata;           // the language data's folder; empty: the build's own
};

// The languages' data cannot be loaded, or this build recognizes nothing.
class RecognitionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One per job: an engine is not shared between threads.
class Recognizer {
 public:
  virtual ~Recognizer() = default;
  // The page's lines of words in reading order, boxes in the image's pixels.
  virtual std::vector<Line> recognize(const mdi::PageImage& image, double dpiX, double dpiY) = 0;
};

// Throws RecognitionError when the languages cannot be loaded.
std::unique_ptr<Recognizer> makeRecognizer(const RecognitionOptions& options);
// False in a build without an engine: makeRecognizer then always throws.
bool recognitionBuiltIn();
// The engine's name and version, for the report; empty without one.
std::string recognitionVersion();

}  // namespace convert
