// The command line.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "convert/Recognizer.h"

namespace convert {

enum class Format { Pdf, Tiff, Txt, Alto };

// When pages are recognized: auto, those of every page, keeping stored text as the page's text
// (its words placed on the recognized ones); always, the recognized text replaces it; never, no
// recognition at all.
enum class Ocr { Auto, Always, Never };

struct Options {
  std::vector<Format> formats;
  std::vector<std::string> inputs;  // from the command line
  std::vector<std::string> listed;  // from the list
  std::string filesFrom;            // a list of inputs, one a line
  std::string base;        // what outputs mirror inputs' places from; empty: the current folder
  std::string outputDir;   // empty: beside each input
  std::string reportPath;  // empty: no report
  unsigned jobs = 0;       // 0: one a processor
  Ocr ocr = Ocr::Auto;
  std::string title, author;  // the PDF's, in place of the document's own
  RecognitionOptions recognition;
  bool recognitionAsked = false;  // -l or --tessdata given
  bool force = false;
  bool strict = false;  // a file that lost pages fails, without outputs
  bool recursive = false;
  bool quiet = false;
  bool help = false;
  bool version = false;
};

// Bad usage: the message says what was wrong.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

Options parseOptions(const std::vector<std::string>& arguments);
const char* usageText();

}  // namespace convert
