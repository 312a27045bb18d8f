// The pages the view keeps decoded: the current one and its neighbours, most recently used
// first, with the preparer that decodes the neighbours on a thread of its own. Looking a page
// up costs nothing and is const; whatever may decode a page is not.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "component/LoadedDocument.h"
#include "component/PagePreparer.h"
#include "component/Raster.h"
#include "component/ViewLayout.h"

namespace mipv {

class PageCache {
 public:
  // The page, decoded here unless it is kept or prepared; it becomes the most recently used.
  DecodedPage& decode(const LoadedDocument& document, LONG page);
  // The page when it is kept, without decoding it.
  const DecodedPage* find(LONG page) const;
  // The page's content bounds (page pixels), found on first need; false for a blank page.
  bool contentBounds(const LoadedDocument& document, LONG page, RECT& bounds);
  // Whether the kept page is ready to show at the layout's size: reduced to it, or ready to
  // be enlarged.
  bool readyFor(LONG page, const Layout& layout) const;
  // The page reduced to width x height, kept for that page and size.
  Raster& reduced(const LoadedDocument& document, LONG page, int width, int height);
  // The page's own pixels, for enlarged views.
  Raster& original(const LoadedDocument& document, LONG page);

  // Has the page prepared in the background; `message` reaches `window` when it is ready.
  void prepare(PreparationOrder order, HWND window, UINT message);
  // The pages prepared for the document go in behind the current page.
  void adoptPrepared(const LoadedDocument* document, LONG current);
  // Forgets the preparation under way: nothing is posted to the window any more.
  void cancelPreparation() { preparer_.cancel(); }
  // Forgets every page as well.
  void clear();

 private:
  // Keeps the page at `position`; the least recently used leaves.
  void keep(std::unique_ptr<DecodedPage> page, size_t position);

  std::vector<std::unique_ptr<DecodedPage>> pages_;
  // Decodes the neighbours while the user reads, and keeps the memory of pages that left.
  PagePreparer preparer_;
};

}  // namespace mipv
