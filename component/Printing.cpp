#include "component/Printing.h"

#include <winspool.h>

#include <algorithm>
#include <vector>

#include "component/ComSupport.h"
#include "component/PageImage.h"
#include "component/Raster.h"
#include "framework/Handles.h"

namespace mipv {

namespace {

std::wstring systemText(DWORD error) {
  wchar_t* buffer = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = buffer ? buffer : L"";
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L'.'))
    text.pop_back();
  return text.empty() ? L"error " + std::to_wstring(error) : text;
}

bool printerInstalled(const std::wstring& name) {
  framework::Printer printer;
  return OpenPrinterW(const_cast<wchar_t*>(name.c_str()), printer.put(), nullptr);
}

[[noreturn]] void fail(const std::wstring& description) {
  throw ComponentError(MI_E_PRINTFAILED, description);
}

void checkRange(const LoadedDocument* document, LONG first, LONG last, LONG copies) {
  if (!document || document->pageCount() == 0)
    throw ComponentError(MI_E_NODOCUMENT, L"There is nothing to print: no document is open.");
  const LONG count = static_cast<LONG>(document->pageCount());
  auto shown = [](LONG page) { return std::to_wstring(static_cast<long long>(page) + 1); };
  if (first < 0 || last >= count)
    throw ComponentError(E_INVALIDARG, L"Pages " + shown(first) + L" to " + shown(last) +
                                           L" cannot be printed: " + describePageCount(document) +
                                           L".");
  if (first > last)
    throw ComponentError(E_INVALIDARG, L"The first page to print (" + shown(first) +
                                           L") comes after the last (" + shown(last) + L").");
  if (copies < 1)
    throw ComponentError(
        E_INVALIDARG, L"At least one copy must be printed, not " + std::to_wstring(copies) + L".");
}

framework::Dc printerDc(const std::wstring& name) {
  framework::Dc dc(CreateDCW(L"WINSPOOL", name.c_str(), nullptr, nullptr));
  if (!dc)
    fail(L"The printer \"" + name + L"\" cannot be used: " + systemText(GetLastError()) + L".");
  return dc;
}

// An open print job, aborted unless finished.
class PrintJob {
 public:
  PrintJob(HDC dc, const std::wstring& title, const std::wstring& printer) : dc_(dc) {
    DOCINFOW info{};
    info.cbSize = sizeof(info);
    info.lpszDocName = title.c_str();
    if (StartDocW(dc, &info) <= 0)
      fail(L"The printer \"" + printer + L"\" refused the print job: " +
           systemText(GetLastError()) + L".");
  }
  ~PrintJob() {
    if (dc_) AbortDoc(dc_);
  }
  PrintJob(const PrintJob&) = delete;
  PrintJob& operator=(const PrintJob&) = delete;
  bool finish() { return EndDoc(std::exchange(dc_, nullptr)) > 0; }

 private:
  HDC dc_;
};

std::wstring jobTitle(const LoadedDocument& document) {
  const std::wstring& path = document.path;
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Fits the page into the printable area, keeping its physical proportions, centred.
void drawPage(HDC dc, const LoadedDocument& document, size_t index) {
  mdi::PageImage image = mdi::decodePage(document.document, index);
  const double areaWidth = GetDeviceCaps(dc, HORZRES);
  const double areaHeight = GetDeviceCaps(dc, VERTRES);
  const double widthOnDevice = image.width / document.dpiX(index) * GetDeviceCaps(dc, LOGPIXELSX);
  const double heightOnDevice = image.height / document.dpiY(index) * GetDeviceCaps(dc, LOGPIXELSY);
  const double fit = std::min(areaWidth / widthOnDevice, areaHeight / heightOnDevice);
  const int width = std::max(1, static_cast<int>(widthOnDevice * fit));
  const int height = std::max(1, static_cast<int>(heightOnDevice * fit));
  const int left = static_cast<int>((areaWidth - width) / 2);
  const int top = static_cast<int>((areaHeight - height) / 2);
  BitmapInfo info = describePage(image, true);
  SetStretchBltMode(dc, width < static_cast<int>(image.width) ? HALFTONE : COLORONCOLOR);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  StretchDIBits(dc, left, top, width, height, 0, 0, static_cast<int>(image.width),
                static_cast<int>(image.height), image.pixels.data(), info.get(), DIB_RGB_COLORS,
                SRCCOPY);
}

}  // namespace

std::wstring defaultPrinter() {
  DWORD size = 0;
  GetDefaultPrinterW(nullptr, &size);
  if (size == 0) return std::wstring();
  std::vector<wchar_t> name(size);
  if (!GetDefaultPrinterW(name.data(), &size)) return std::wstring();
  return name.data();
}

std::wstring resolvePrinter(const std::wstring& requested) {
  if (requested.empty()) {
    std::wstring fallback = defaultPrinter();
    if (fallback.empty()) fail(L"No printer was named and there is no default printer.");
    return fallback;
  }
  if (printerInstalled(requested)) return requested;
  size_t on = requested.rfind(L" on ");
  if (on != std::wstring::npos && printerInstalled(requested.substr(0, on)))
    return requested.substr(0, on);
  fail(L"The printer \"" + requested + L"\" is not installed: choose another printer.");
}

void printPages(const LoadedDocument* document, LONG first, LONG last, LONG copies,
                const std::wstring& requested) {
  checkRange(document, first, last, copies);
  const std::wstring printer = resolvePrinter(requested);
  framework::Dc dc = printerDc(printer);
  PrintJob job(dc.get(), jobTitle(*document), printer);
  // The copies are printed by us, page after page, so that every driver gives
  // the same result, collated.
  for (LONG copy = 0; copy < copies; ++copy) {
    for (LONG page = first; page <= last; ++page) {
      if (StartPage(dc.get()) <= 0)
        fail(L"Printing on \"" + printer + L"\" failed at page " + std::to_wstring(page + 1) +
             L": " + systemText(GetLastError()) + L".");
      drawPage(dc.get(), *document, static_cast<size_t>(page));
      if (EndPage(dc.get()) <= 0)
        fail(L"Printing on \"" + printer + L"\" failed at page " + std::to_wstring(page + 1) +
             L": " + systemText(GetLastError()) + L".");
    }
  }
  if (!job.finish())
    fail(L"The printer \"" + printer + L"\" did not accept the end of the print job: " +
         systemText(GetLastError()) + L".");
}

}  // namespace mipv
