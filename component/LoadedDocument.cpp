#include "component/LoadedDocument.h"

#include "component/ComSupport.h"
#include "component/PageFile.h"

namespace mipv {

namespace {

const double kDefaultDpi = 200.0;

double orDefault(double dpi) {
  return dpi > 0 ? dpi : kDefaultDpi;
}

}  // namespace

SIZE LoadedDocument::pageSize(size_t page) const {
  const mdi::Page& p = document.page(page);
  return SIZE{static_cast<LONG>(p.shownWidth()), static_cast<LONG>(p.shownHeight())};
}

double LoadedDocument::dpiX(size_t page) const {
  return orDefault(document.page(page).shownDpiX());
}
double LoadedDocument::dpiY(size_t page) const {
  return orDefault(document.page(page).shownDpiY());
}

std::shared_ptr<const LoadedDocument> loadDocument(const std::wstring& path) {
  try {
    return std::make_shared<const LoadedDocument>(
        LoadedDocument{mdi::openFileDocument(path), path});
  } catch (const mdi::ReadError& e) {
    throw ComponentError(MI_E_LOADFAILED, widen(e.what()));
  }
}

std::wstring describePageCount(const LoadedDocument* document) {
  if (!document) return L"no document is open";
  size_t count = document->pageCount();
  return L"the document has " + std::to_wstring(count) + (count == 1 ? L" page" : L" pages");
}

size_t existingPage(const LoadedDocument* document, LONG page) {
  if (document && page >= 0 && static_cast<size_t>(page) < document->pageCount())
    return static_cast<size_t>(page);
  throw ComponentError(E_INVALIDARG, L"Page " + std::to_wstring(static_cast<long long>(page) + 1) +
                                         L" does not exist: " + describePageCount(document) + L".");
}

}  // namespace mipv
