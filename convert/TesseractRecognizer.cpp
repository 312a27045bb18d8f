// Recognition with libtesseract: the page's pixels as the document library decoded them, handed
// over as they are where Tesseract takes them (black and white, grey), as grey otherwise.
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cmath>
#include <mutex>

#include "convert/Outputs.h"
#include "convert/Recognizer.h"

#ifdef _OPENMP
#include <omp.h>
#endif
#ifdef _WIN32
#include <windows.h>
#endif

namespace convert {

namespace {

// Tesseract's language models run their loops on threads of their own (OpenMP), as many as the
// machine has, for every job: on a batch with a job a processor that only makes them wait on
// each other. The jobs are the parallelism here.
void oneThreadPerJob() {
#ifdef _OPENMP
  static std::once_flag once;
  std::call_once(once, [] { omp_set_max_active_levels(0); });
#endif
}

// Where the language data is when no --tessdata says: on Windows the tessdata folder beside the
// program, elsewhere the engine's own default (TESSDATA_PREFIX, or where Debian puts it).
std::string defaultTessdata() {
#ifdef _WIN32
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (n == 0) return "";
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  path.resize(path.find_last_of(L"\\/") + 1);
  path += L"tessdata";
  std::string utf8(
      size_t(WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr)),
      '\0');
  WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, utf8.data(), int(utf8.size()), nullptr,
                      nullptr);
  utf8.pop_back();  // the terminator
  return utf8;
#else
  return "";
#endif
}

// Grey pixels for a page Tesseract does not take as it is: palette and colour pages.
std::vector<uint8_t> greyOf(const mdi::PageImage& image) {
  std::vector<uint8_t> grey(size_t(image.width) * image.height);
  for (uint32_t y = 0; y < image.height; ++y) {
    const uint8_t* row = image.pixels.data() + size_t(y) * image.stride;
    uint8_t* out = grey.data() + size_t(y) * image.width;
    for (uint32_t x = 0; x < image.width; ++x) {
      const uint8_t* bgr = image.bitsPerPixel == 24 ? row + x * 3 : &image.colours[row[x] * 4u];
      out[x] = uint8_t((bgr[0] * 29u + bgr[1] * 150u + bgr[2] * 77u) >> 8);
    }
  }
  return grey;
}

class TesseractRecognizer : public Recognizer {
 public:
  explicit TesseractRecognizer(const RecognitionOptions& options) {
    oneThreadPerJob();
#ifdef _WIN32
    api_.SetVariable("debug_file", "NUL");
#else
    api_.SetVariable("debug_file", "/dev/null");
#endif
    std::string data = options.tessdata.empty() ? defaultTessdata() : options.tessdata;
    if (api_.Init(data.empty() ? nullptr : data.c_str(), options.languages.c_str(),
                  tesseract::OEM_DEFAULT) != 0)
      throw RecognitionError("the language data for '" + options.languages + "' cannot be loaded" +
                             (data.empty() ? std::string() : " from " + data) +
                             " (-l names languages as Tesseract does, --tessdata their folder)");
    api_.SetPageSegMode(tesseract::PSM_AUTO);
  }
  ~TesseractRecognizer() override {
    api_.End();
  }

  std::vector<Line> recognize(const mdi::PageImage& image, double dpiX, double) override {
    std::vector<uint8_t> grey;
    if (image.bitsPerPixel == 1) {
      api_.SetImage(image.pixels.data(), int(image.width), int(image.height), 0,
                    int(image.stride));  // a set bit is white, as Tesseract takes it
    } else if (image.bitsPerPixel == 8 && !image.hasPalette()) {
      api_.SetImage(image.pixels.data(), int(image.width), int(image.height), 1, int(image.stride));
    } else {
      grey = greyOf(image);
      api_.SetImage(grey.data(), int(image.width), int(image.height), 1, int(image.width));
    }
    api_.SetSourceResolution(int(std::lround(std::clamp(dpiX, 70.0, 2400.0))));
    std::vector<Line> lines;
    if (api_.Recognize(nullptr) != 0) return lines;
    std::unique_ptr<tesseract::ResultIterator> it(api_.GetIterator());
    if (!it) return lines;
    constexpr auto kWord = tesseract::RIL_WORD, kLine = tesseract::RIL_TEXTLINE;
    int x1 = 0, y1 = 0, x2 = 1, y2 = 0;  // the line's baseline
    do {
      if (it->Empty(kWord)) continue;
      std::unique_ptr<char[]> utf8(it->GetUTF8Text(kWord));
      std::u32string text = utf8 ? fromUtf8(utf8.get()) : std::u32string();
      if (text.empty()) continue;
      if (lines.empty() || it->IsAtBeginningOf(kLine)) {
        lines.emplace_back();
        Box& b = lines.back().box;
        it->BoundingBox(kLine, &b.left, &b.top, &b.right, &b.bottom);
        if (!it->Baseline(kLine, &x1, &y1, &x2, &y2) || x2 == x1) {
          x1 = b.left, x2 = b.right + 1, y1 = y2 = b.bottom;
        }
      }
      Word word;
      word.text = std::move(text);
      it->BoundingBox(kWord, &word.box.left, &word.box.top, &word.box.right, &word.box.bottom);
      double middle = (word.box.left + word.box.right) / 2.0;
      word.baseline = int(std::lround(y1 + double(y2 - y1) * (middle - x1) / (x2 - x1)));
      lines.back().words.push_back(std::move(word));
    } while (it->Next(kWord));
    return lines;
  }

 private:
  tesseract::TessBaseAPI api_;
};

}  // namespace

std::unique_ptr<Recognizer> makeRecognizer(const RecognitionOptions& options) {
  return std::make_unique<TesseractRecognizer>(options);
}

bool recognitionBuiltIn() {
  return true;
}

std::string recognitionVersion() {
  return tesseract::TessBaseAPI::Version();
}

}  // namespace convert
