#include "convert/Options.h"

#include <algorithm>

#include "convert/Formats.h"

namespace convert {

namespace {

Format formatCalled(const std::string& name) {
  const FormatRow* row = formatNamed(name);
  if (!row) throw UsageError("unknown output format '" + name + "' (" + formatNames() + ")");
  return row->format;
}

unsigned jobCount(const std::string& text) {
  size_t used = 0;
  unsigned long n = 0;
  try {
    n = std::stoul(text, &used);
  } catch (const std::exception&) {
  }
  if (used != text.size() || n == 0 || n > 256)
    throw UsageError("--jobs takes a number from 1 to 256, not '" + text + "'");
  return unsigned(n);
}

Ocr ocrMode(const std::string& text) {
  if (text == "auto") return Ocr::Auto;
  if (text == "always") return Ocr::Always;
  if (text == "never") return Ocr::Never;
  throw UsageError("--ocr takes auto, always or never, not '" + text + "'");
}

}  // namespace

const char* usageText() {
  return "Usage: folirex-convert [options] INPUT...\n"
         "Converts documents (.mdi, .tif, .tiff, or folders of them) to searchable PDF,\n"
         "standard TIFF or text. Outputs are named after their inputs (an .mdi's without\n"
         "its extension, a TIFF's with it) and mirror where they are.\n"
         "\n"
         "  -t, --to pdf|tiff|txt|alto  output format; repeat for several (default: pdf)\n"
         "  -o, --output DIR        write outputs to DIR (default: beside each input), each\n"
         "                          in the folders that lead to its input from its base\n"
         "      --base DIR          the base of inputs that are files (default: the current\n"
         "                          folder; a folder given is its documents' base)\n"
         "      --force             replace existing outputs (otherwise those provably this\n"
         "                          input's are skipped and any other file is a conflict)\n"
         "      --strict            a file that lost pages fails and gets no output\n"
         "  -j, --jobs N            files converted at once (default: one a processor);\n"
         "                          jobs that no file needs help the others along\n"
         "      --ocr auto|always|never\n"
         "                          recognize the pages' words: auto (the default) keeps\n"
         "                          a page's stored text and places its words on the\n"
         "                          recognized ones; always takes the recognized text;\n"
         "                          never recognizes nothing\n"
         "  -l, --lang LANG[+LANG]  the languages to recognize (default: eng)\n"
         "      --title TEXT, --author TEXT\n"
         "                          the PDF's title and author, in place of the\n"
         "                          document's DocumentName and Artist\n"
         "      --tessdata DIR      the folder of the languages' data\n"
         "      --report FILE.json  write what happened to each file\n"
         "  -r, --recursive         also convert documents in folders below the ones given\n"
         "      --files-from LIST   read inputs from LIST, one path a line ('-': stdin)\n"
         "  -q, --quiet             no progress line\n"
         "  -h, --help              this text\n"
         "      --version           the program's version\n"
         "\n"
         "Exit status: 0 when every file converted or was already done, 1 when any\n"
         "failed (the others are still converted), 4 when pages were lost (a document\n"
         "ending early, an image not carried), 5 for both, 2 for bad usage.\n";
}

Options parseOptions(const std::vector<std::string>& arguments) {
  Options o;
  bool optionsEnded = false;
  std::vector<std::string> args = arguments;
  for (size_t i = 0; i < args.size(); ++i) {
    // Bundled short options, as GNU programs take them: -qr is -q -r, and after one that takes a
    // value the rest is the value: -j4 is -j 4, -qtpdf is -q -t pdf.
    if (!optionsEnded && args[i].size() > 2 && args[i][0] == '-' && args[i][1] != '-') {
      const std::string bundle = args[i];
      std::vector<std::string> split;
      for (size_t k = 1; k < bundle.size(); ++k) {
        split.push_back({'-', bundle[k]});
        if (std::string("tojl").find(bundle[k]) != std::string::npos) {
          if (k + 1 < bundle.size()) split.push_back(bundle.substr(k + 1));
          break;
        }
      }
      args.erase(args.begin() + long(i));
      args.insert(args.begin() + long(i), split.begin(), split.end());
    }
    std::string arg = args[i];
    std::string value;
    bool hasValue = false;
    if (!optionsEnded && arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
      value = arg.substr(arg.find('=') + 1);
      arg = arg.substr(0, arg.find('='));
      hasValue = true;
    }
    auto next = [&]() -> std::string {
      if (hasValue) return value;
      if (i + 1 >= args.size()) throw UsageError(arg + " needs a value");
      return args[++i];
    };
    if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
      o.inputs.push_back(args[i]);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "-t" || arg == "--to") {
      Format f = formatCalled(next());
      if (std::find(o.formats.begin(), o.formats.end(), f) == o.formats.end())
        o.formats.push_back(f);
    } else if (arg == "-o" || arg == "--output") {
      o.outputDir = next();
    } else if (arg == "-j" || arg == "--jobs") {
      o.jobs = jobCount(next());
    } else if (arg == "--title") {
      o.title = next();
    } else if (arg == "--author") {
      o.author = next();
    } else if (arg == "--ocr") {
      o.ocr = ocrMode(next());
    } else if (arg == "-l" || arg == "--lang") {
      o.recognition.languages = next();
      o.recognitionAsked = true;
      if (o.recognition.languages.empty()) throw UsageError(arg + " needs a language");
    } else if (arg == "--tessdata") {
      o.recognition.tessdata = next();
      o.recognitionAsked = true;
    } else if (arg == "--report") {
      o.reportPath = next();
    } else if (arg == "--files-from") {
      o.filesFrom = next();
    } else if (arg == "--base") {
      o.base = next();
    } else if (arg == "--force" && !hasValue) {
      o.force = true;
    } else if (arg == "--strict" && !hasValue) {
      o.strict = true;
    } else if (arg == "-r" || arg == "--recursive") {
      o.recursive = true;
    } else if (arg == "-q" || arg == "--quiet") {
      o.quiet = true;
    } else if (arg == "--help" || arg == "-h") {
      o.help = true;
    } else if (arg == "--version") {
      o.version = true;
    } else {
      throw UsageError("unknown option " + arg);
    }
  }
  if (o.help || o.version) return o;
  if (o.inputs.empty() && o.filesFrom.empty()) throw UsageError("no input given");
  if (o.formats.empty()) o.formats.push_back(Format::Pdf);
  return o;
}

}  // namespace convert
