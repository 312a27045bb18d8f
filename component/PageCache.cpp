#include "component/PageCache.h"

#include <algorithm>
#include <utility>

#include "component/Downscale.h"

namespace mipv {

namespace {

const size_t kPagesKept = 3;  // the current page and both neighbours

}  // namespace

// Each page is decoded once and kept while it stays near the current page.
DecodedPage& PageCache::decode(const LoadedDocument& document, LONG page) {
  auto found = std::find_if(pages_.begin(), pages_.end(),
                            [&](const std::unique_ptr<DecodedPage>& d) { return d->page == page; });
  if (found != pages_.end()) {
    std::rotate(pages_.begin(), found, found + 1);
    return *pages_.front();
  }
  std::unique_ptr<DecodedPage> fresh = preparer_.take(&document, page);
  if (!fresh) {
    fresh = std::make_unique<DecodedPage>();
    fresh->image =
        mdi::decodePage(document.document, static_cast<size_t>(page), preparer_.sparePixels());
    fresh->page = page;
  }
  keep(std::move(fresh), 0);
  return *pages_.front();
}

void PageCache::keep(std::unique_ptr<DecodedPage> page, size_t position) {
  auto same =
      std::find_if(pages_.begin(), pages_.end(),
                   [&](const std::unique_ptr<DecodedPage>& d) { return d->page == page->page; });
  if (same != pages_.end()) {
    preparer_.recycle(std::move(*same));
    pages_.erase(same);
  }
  position = std::min(position, pages_.size());
  pages_.insert(pages_.begin() + static_cast<std::ptrdiff_t>(position), std::move(page));
  while (pages_.size() > kPagesKept) {
    preparer_.recycle(std::move(pages_.back()));
    pages_.pop_back();
  }
}

const DecodedPage* PageCache::find(LONG page) const {
  auto found = std::find_if(pages_.begin(), pages_.end(),
                            [&](const std::unique_ptr<DecodedPage>& d) { return d->page == page; });
  return found == pages_.end() ? nullptr : found->get();
}

bool PageCache::contentBounds(const LoadedDocument& document, LONG pageIndex, RECT& bounds) {
  DecodedPage& page = decode(document, pageIndex);
  if (!page.boundsKnown) {
    page.hasContent = mipv::contentBounds(page.image, page.content);
    page.boundsKnown = true;
  }
  bounds = page.content;
  return page.hasContent;
}

bool PageCache::readyFor(LONG pageIndex, const Layout& layout) const {
  const DecodedPage* page = find(pageIndex);
  if (!page) return false;
  if (layout.pageWidth > static_cast<int>(page->image.width) ||
      layout.pageHeight > static_cast<int>(page->image.height))
    return page->original != nullptr;
  return page->reduced && page->reduced->width() == layout.pageWidth &&
         page->reduced->height() == layout.pageHeight;
}

Raster& PageCache::reduced(const LoadedDocument& document, LONG pageIndex, int width, int height) {
  DecodedPage& page = decode(document, pageIndex);
  if (!page.reduced || page.reduced->width() != width || page.reduced->height() != height) {
    std::unique_ptr<Raster> raster = preparer_.spareRaster(width, height);
    reduceInto(page.image, *raster);
    preparer_.recycle(std::move(page.reduced));
    page.reduced = std::move(raster);
  }
  return *page.reduced;
}

Raster& PageCache::original(const LoadedDocument& document, LONG pageIndex) {
  DecodedPage& page = decode(document, pageIndex);
  if (!page.original) page.original = rasterOf(page.image);
  return *page.original;
}

void PageCache::prepare(PreparationOrder order, HWND window, UINT message) {
  preparer_.prepare(std::move(order), window, message);
}

void PageCache::adoptPrepared(const LoadedDocument* document, LONG current) {
  for (std::unique_ptr<DecodedPage>& page : preparer_.takeAll(document))
    keep(std::move(page), current >= 0 && find(current) ? 1 : 0);
}

void PageCache::clear() {
  preparer_.cancel();
  pages_.clear();
}

}  // namespace mipv
