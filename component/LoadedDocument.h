// The document the control shows, shared by the control, its document object
// and its selections, so each keeps what it was handed after a new load.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "document/Document.h"

namespace mipv {

struct LoadedDocument {
  mdi::Document document;
  std::wstring path;

  size_t pageCount() const { return document.pageCount(); }
  // The page's size in pixels as it is seen, turned as its orientation says: as the view
  // shows it and the selection copies it.
  SIZE pageSize(size_t page) const;
  // The page's resolution as it is seen; 200 dpi when the file states none.
  double dpiX(size_t page) const;
  double dpiY(size_t page) const;
};

// Loads through the reader; throws ComponentError with the reader's reason.
std::shared_ptr<const LoadedDocument> loadDocument(const std::wstring& path);

// The index of an existing page, or a ComponentError such as
// "Page 6 does not exist: the document has 5 pages." (pages counted from 1 in
// the sentence, as people count them). `document` may be null.
size_t existingPage(const LoadedDocument* document, LONG page);

// "the document has 5 pages", "no document is open".
std::wstring describePageCount(const LoadedDocument* document);

}  // namespace mipv
