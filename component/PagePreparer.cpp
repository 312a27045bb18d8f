#include "component/PagePreparer.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "component/Downscale.h"

namespace mipv {

PagePreparer::~PagePreparer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    waiting_.reset();
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool PagePreparer::ordered(const LoadedDocument* document, LONG page) const {
  auto is = [&](const std::unique_ptr<PreparationOrder>& order) {
    return order && order->document.get() == document && order->page == page;
  };
  return is(waiting_) || is(inHand_) ||
         std::any_of(ready_.begin(), ready_.end(), [&](const Ready& ready) {
           return ready.document.get() == document && ready.page->page == page;
         });
}

void PagePreparer::prepare(PreparationOrder order, HWND window, UINT message) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ || ordered(order.document.get(), order.page)) return;
    waiting_ = std::make_unique<PreparationOrder>(std::move(order));
    target_ = Target{window, message};
    if (!thread_.joinable()) {
      try {
        thread_ = std::thread(&PagePreparer::run, this);
      } catch (const std::system_error&) {
        waiting_.reset();  // no thread: pages are decoded when they are shown
        return;
      }
    }
  }
  changed_.notify_all();
}

void PagePreparer::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stopping_ || waiting_; });
    if (stopping_) return;
    inHand_ = std::move(waiting_);
    lock.unlock();
    std::unique_ptr<DecodedPage> page;
    try {
      page = make(*inHand_);
    } catch (...) {
      // Left to the window's thread, which decodes the page when it is shown and says why
      // it cannot.
    }
    lock.lock();
    if (page) {
      ready_.push_back(Ready{inHand_->document, std::move(page)});
      if (target_.window) PostMessageW(target_.window, target_.message, 0, 0);
    }
    inHand_.reset();
    changed_.notify_all();
  }
}

std::unique_ptr<DecodedPage> PagePreparer::make(const PreparationOrder& order) {
  auto page = std::make_unique<DecodedPage>();
  page->page = order.page;
  page->image =
      mdi::decodePage(order.document->document, static_cast<size_t>(order.page), sparePixels());
  Scale scale = order.fixedScale;
  if (order.fitMode != FitNone) {
    if (order.fitMode == FitContent) {
      page->hasContent = contentBounds(page->image, page->content);
      page->boundsKnown = true;
    }
    scale = fitScale(order.geometry, order.fitMode, page->content);
  }
  const Layout layout = layOut(order.geometry, scale);
  if (layout.pageWidth <= static_cast<int>(page->image.width) &&
      layout.pageHeight <= static_cast<int>(page->image.height)) {
    page->reduced = spareRaster(layout.pageWidth, layout.pageHeight);
    reduceInto(page->image, *page->reduced);
  } else {
    page->original = rasterOf(page->image);
  }
  return page;
}

std::unique_ptr<DecodedPage> PagePreparer::take(const LoadedDocument* document, LONG page) {
  std::unique_lock<std::mutex> lock(mutex_);
  // Not begun: the caller decodes it at once rather than wait for the page in hand.
  if (waiting_ && waiting_->document.get() == document && waiting_->page == page) waiting_.reset();
  changed_.wait(lock, [&] {
    return !(inHand_ && inHand_->document.get() == document && inHand_->page == page);
  });
  auto found = std::find_if(ready_.begin(), ready_.end(), [&](const Ready& ready) {
    return ready.document.get() == document && ready.page->page == page;
  });
  if (found == ready_.end()) return nullptr;
  std::unique_ptr<DecodedPage> taken = std::move(found->page);
  ready_.erase(found);
  return taken;
}

std::vector<std::unique_ptr<DecodedPage>> PagePreparer::takeAll(const LoadedDocument* document) {
  std::vector<Ready> ready;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ready.swap(ready_);
  }
  std::vector<std::unique_ptr<DecodedPage>> pages;
  for (Ready& r : ready)
    if (r.document.get() == document) pages.push_back(std::move(r.page));
  return pages;  // the others, and the documents only they held, go here
}

void PagePreparer::cancel() {
  std::vector<Ready> dropped;
  std::unique_ptr<PreparationOrder> order;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    order = std::move(waiting_);
    target_ = Target{};
    changed_.wait(lock, [&] { return !inHand_; });
    dropped.swap(ready_);
  }
}

void PagePreparer::recycle(std::unique_ptr<DecodedPage> page) {
  if (!page) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (page->image.pixels.capacity() > sparePixels_.capacity())
    sparePixels_ = std::move(page->image.pixels);
  if (page->reduced) spareRaster_ = std::move(page->reduced);
}

void PagePreparer::recycle(std::unique_ptr<Raster> raster) {
  if (!raster) return;
  std::lock_guard<std::mutex> lock(mutex_);
  spareRaster_ = std::move(raster);
}

std::vector<uint8_t> PagePreparer::sparePixels() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(sparePixels_, {});
}

std::unique_ptr<Raster> PagePreparer::spareRaster(int width, int height) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (spareRaster_ && spareRaster_->width() == width && spareRaster_->height() == height)
      return std::move(spareRaster_);
  }
  return std::make_unique<Raster>(width, height, 32);
}

}  // namespace mipv
