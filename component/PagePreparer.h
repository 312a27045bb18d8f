// The pages next to the one shown, decoded and reduced for the screen on a thread of their
// own. The window's thread only shows pages: a host that flips a page has its thread back
// once the page is painted, whatever the page's coding costs to decode.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "component/Interfaces.h"
#include "component/LoadedDocument.h"
#include "component/PageImage.h"
#include "component/Raster.h"
#include "component/ViewLayout.h"

namespace mipv {

// A page as the view keeps it: decoded, and made ready for the size it is shown at.
struct DecodedPage {
  LONG page = -1;
  mdi::PageImage image;
  bool boundsKnown = false;  // the content's bounds are found on first need
  bool hasContent = false;
  RECT content{};
  std::unique_ptr<Raster> original;  // for enlarged views, made on first use
  std::unique_ptr<Raster> reduced;   // for smaller views, at the size last shown
};

// What a page is prepared for: the view as it will show that page.
struct PreparationOrder {
  std::shared_ptr<const LoadedDocument> document;
  LONG page = -1;
  ViewGeometry geometry;
  FitMode fitMode = FitWindow;
  Scale fixedScale;
};

class PagePreparer {
 public:
  PagePreparer() = default;
  ~PagePreparer();
  PagePreparer(const PagePreparer&) = delete;
  PagePreparer& operator=(const PagePreparer&) = delete;

  // Prepares the page in the background, in place of any order not yet begun, and posts
  // `message` to `window` when it is ready. A page already in hand or ordered is not ordered
  // twice.
  void prepare(PreparationOrder order, HWND window, UINT message);
  // The page of this document prepared, or being prepared (then it waits for it); null
  // when it is neither.
  std::unique_ptr<DecodedPage> take(const LoadedDocument* document, LONG page);
  // Every page prepared for this document; those of other documents are dropped.
  std::vector<std::unique_ptr<DecodedPage>> takeAll(const LoadedDocument* document);
  // Forgets the order waiting and the pages prepared, and waits for the page in hand: after
  // it, nothing of an earlier document or window is kept or posted.
  void cancel();

  // The memory of pages no longer shown, for the next ones: fresh memory is slow to touch
  // under Wine (about 20 us a 4 KB page), more than a flip's own work.
  void recycle(std::unique_ptr<DecodedPage> page);
  void recycle(std::unique_ptr<Raster> raster);
  std::vector<uint8_t> sparePixels();
  std::unique_ptr<Raster> spareRaster(int width, int height);

 private:
  struct Target {
    HWND window = nullptr;
    UINT message = 0;
  };
  void run();
  std::unique_ptr<DecodedPage> make(const PreparationOrder& order);
  bool ordered(const LoadedDocument* document, LONG page) const;  // with mutex_ held

  std::mutex mutex_;
  std::condition_variable changed_;
  std::unique_ptr<PreparationOrder> waiting_;
  std::unique_ptr<PreparationOrder> inHand_;
  Target target_;
  struct Ready {
    std::shared_ptr<const LoadedDocument> document;  // held: its address names no other
    std::unique_ptr<DecodedPage> page;
  };
  std::vector<Ready> ready_;
  std::vector<uint8_t> sparePixels_;
  std::unique_ptr<Raster> spareRaster_;
  bool stopping_ = false;
  std::thread thread_;  // started with the first order
};

}  // namespace mipv
