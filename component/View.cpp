#include "component/View.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "component/ComSupport.h"
#include "component/Downscale.h"

namespace mipv {

namespace {

const int kLineStep = 40;  // pixels per arrow key or scroll-bar arrow
const int kWheelLines = 3;
const COLORREF kSelectionColour = RGB(0, 102, 204);
const BYTE kSelectionOpacity = 70;  // of 255
const int kSelectionFrame = 3;

std::wstring viewClassName() {
  wchar_t name[64];
  swprintf(name, 64, L"MiPageView.View.%p", static_cast<void*>(moduleInstance()));
  return name;
}

bool g_classRegistered = false;

void registerViewClass(WNDPROC procedure) {
  if (g_classRegistered) return;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = moduleInstance();
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  std::wstring name = viewClassName();
  windowClass.lpszClassName = name.c_str();
  if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw ComponentError(HRESULT_FROM_WIN32(GetLastError()),
                         L"The page view's window class cannot be registered.");
  g_classRegistered = true;
}

bool modifierHeld() {
  return GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0 || GetKeyState(VK_SHIFT) < 0;
}

class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ~ScreenDc() { ReleaseDC(nullptr, dc_); }
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

class SolidBrush {
 public:
  explicit SolidBrush(COLORREF colour) : brush_(CreateSolidBrush(colour)) {}
  ~SolidBrush() { DeleteObject(brush_); }
  HBRUSH get() const { return brush_; }

 private:
  HBRUSH brush_;
};

// An off-screen copy of part of a window, drawn in the window's coordinates.
class BackBuffer {
 public:
  BackBuffer(HDC target, const RECT& area)
      : target_(target),
        area_(area),
        dc_(CreateCompatibleDC(target)),
        bitmap_(CreateCompatibleBitmap(target, std::max(1L, area.right - area.left),
                                       std::max(1L, area.bottom - area.top))),
        previous_(SelectObject(dc_, bitmap_)) {
    SetViewportOrgEx(dc_, -area.left, -area.top, nullptr);
  }
  ~BackBuffer() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  void show() {
    SetViewportOrgEx(dc_, 0, 0, nullptr);
    BitBlt(target_, area_.left, area_.top, area_.right - area_.left, area_.bottom - area_.top, dc_,
           0, 0, SRCCOPY);
  }

 private:
  HDC target_;
  RECT area_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ previous_;
};

}  // namespace

void unregisterViewClass() {
  if (g_classRegistered) UnregisterClassW(viewClassName().c_str(), moduleInstance());
  g_classRegistered = false;
}

// What the events report on, compared before and after each operation.
struct View::Observed {
  const LoadedDocument* document;
  LONG pageCount;
  LONG page;
  LONG selected;
  FitMode fitMode;
  Scale scale;
  POINT scroll;
  RECT pageRect;
  int viewWidth;
  int viewHeight;
};

// Reports what changed when it goes out of scope, whether the operation
// finished or threw: a load that fails has still closed the old document.
class View::Change {
 public:
  explicit Change(View& view, std::vector<Event> forced = {})
      : view_(view), before_(view.observe()), forced_(std::move(forced)) {}
  ~Change() { view_.report(before_, forced_); }
  void force(Event event) { forced_.push_back(event); }

 private:
  View& view_;
  Observed before_;
  std::vector<Event> forced_;
};

View::View(Callbacks callbacks) : callbacks_(std::move(callbacks)) {
  ScreenDc screen;
  screenDpiX_ = GetDeviceCaps(screen.get(), LOGPIXELSX);
  screenDpiY_ = GetDeviceCaps(screen.get(), LOGPIXELSY);
}

View::~View() {
  destroyWindow();
}

View::Observed View::observe() const {
  Layout l = layout();
  return Observed{document_.get(),
                  pageCount(),
                  page_,
                  selected_,
                  fitMode_,
                  scale(),
                  scrollPosition(),
                  pageRectInView(l, scrollX_, scrollY_),
                  viewWidth_,
                  viewHeight_};
}

void View::report(const Observed& before, const std::vector<Event>& forced) {
  Observed after = observe();
  auto is = [&](Event event) {
    return std::find(forced.begin(), forced.end(), event) != forced.end();
  };
  bool documentChanged = before.document != after.document;
  std::vector<Event> events;
  if (is(EventPageCountChanged) || documentChanged || before.pageCount != after.pageCount)
    events.push_back(EventPageCountChanged);
  if (is(EventPageChanged) || documentChanged || before.page != after.page)
    events.push_back(EventPageChanged);
  if (is(EventCurPageNumChanged) || before.page != after.page)
    events.push_back(EventCurPageNumChanged);
  if (before.selected != after.selected || (documentChanged && before.selected >= 0))
    events.push_back(EventSelectionChanged);
  if (before.fitMode != after.fitMode) events.push_back(EventFitModeChanged);
  if (before.scale.x != after.scale.x || before.scale.y != after.scale.y)
    events.push_back(EventScaleChanged);
  if (documentChanged || before.page != after.page || before.scroll.x != after.scroll.x ||
      before.scroll.y != after.scroll.y || !EqualRect(&before.pageRect, &after.pageRect) ||
      before.viewWidth != after.viewWidth || before.viewHeight != after.viewHeight)
    events.push_back(EventVisibleRectChanged);
  // Selecting pages other than the one shown changes nothing on the screen: copying the
  // text of a thousand pages selects each in turn, and each repaint asks the system.
  const bool shownSelection = before.selected == after.page || after.selected == after.page;
  const bool seen = std::any_of(events.begin(), events.end(), [&](Event event) {
    return event != EventSelectionChanged || shownSelection;
  });
  if (seen) {
    updateScrollBars();
    repaint();
  }
  for (Event event : events)
    if (callbacks_.raise) callbacks_.raise(event);
}

LONG View::pageCount() const {
  return document_ ? static_cast<LONG>(document_->pageCount()) : 0;
}

std::wstring View::fileName() const {
  return document_ ? document_->path : std::wstring();
}

void View::close() {
  document_.reset();
  page_ = -1;
  selected_ = -1;
  scrollX_ = scrollY_ = 0;
  preparer_.cancel();
  decoded_.clear();
}

void View::setFileName(const std::wstring& path) {
  Change change(*this);
  if (document_) {
    change.force(EventPageCountChanged);
    change.force(EventCurPageNumChanged);
  }
  close();
  if (path.empty()) return;
  document_ = loadDocument(path);
  change.force(EventPageCountChanged);
  change.force(EventPageChanged);
  change.force(EventCurPageNumChanged);
  if (document_->pageCount() > 0) goToPage(0);
}

void View::goToPage(LONG page) {
  page_ = page;
  scrollX_ = scrollY_ = 0;
  placeAfterMagnification();
}

// Text fitting centres the content; the other modes keep the position, within range.
void View::placeAfterMagnification() {
  RECT bounds{};
  if (fitMode_ == FitContent && page_ >= 0 && content(page_, bounds)) {
    POINT centre = scrollToCentre(geometry(), layout(), bounds);
    scrollX_ = centre.x;
    scrollY_ = centre.y;
  }
  clampScroll();
}

void View::setPageNum(LONG page) {
  existingPage(document_.get(), page);
  Change change(*this, {EventCurPageNumChanged});
  goToPage(page);
}

void View::nextPage() {
  if (!document_ || page_ + 1 >= pageCount())
    throw ComponentError(E_INVALIDARG,
                         L"There is no next page: " + describePageCount(document_.get()) + L".");
  setPageNum(page_ + 1);
}

void View::previousPage() {
  if (!document_ || page_ <= 0)
    throw ComponentError(
        E_INVALIDARG,
        L"There is no previous page: " +
            std::wstring(document_ ? L"this is the first page" : L"no document is open") + L".");
  setPageNum(page_ - 1);
}

void View::setFitMode(LONG mode) {
  if (mode < FitWidth || mode > FitContent)
    throw ComponentError(E_INVALIDARG, L"Fit mode " + std::to_wstring(mode) +
                                           L" does not exist: use 1 (width), 2 (height), "
                                           L"3 (window) or 4 (text).");
  Change change(*this);
  fitMode_ = static_cast<FitMode>(mode);
  placeAfterMagnification();
}

void View::setScale(double scaleX, double scaleY) {
  for (double factor : {scaleX, scaleY})
    if (!std::isfinite(factor) || factor < kMinScale || factor > kMaxScale) {
      wchar_t shown[32];
      swprintf(shown, 32, L"%g", factor);
      throw ComponentError(E_INVALIDARG, L"The scale " + std::wstring(shown) +
                                             L" is outside the range 0.02 to 32 "
                                             L"(1 shows the page at its real size).");
    }
  Change change(*this);
  fitMode_ = FitNone;
  fixedScale_ = Scale{scaleX, scaleY};
  clampScroll();
}

ViewGeometry View::geometry(int viewWidth, int viewHeight, LONG pageIndex) const {
  ViewGeometry g;
  g.viewWidth = viewWidth;
  g.viewHeight = viewHeight;
  g.screenDpiX = screenDpiX_;
  g.screenDpiY = screenDpiY_;
  if (document_ && pageIndex >= 0) {
    const mdi::Page& page = document_->document.page(static_cast<size_t>(pageIndex));
    g.pageWidth = static_cast<int>(std::max<uint32_t>(1, page.shownWidth()));
    g.pageHeight = static_cast<int>(std::max<uint32_t>(1, page.shownHeight()));
    g.pageDpiX = document_->dpiX(static_cast<size_t>(pageIndex));
    g.pageDpiY = document_->dpiY(static_cast<size_t>(pageIndex));
  }
  return g;
}

Scale View::scaleFor(const ViewGeometry& g, LONG page) const {
  if (fitMode_ == FitNone || !document_ || page < 0) return fixedScale_;
  RECT bounds{};
  if (fitMode_ == FitContent) content(page, bounds);
  return fitScale(g, fitMode_, bounds);
}

Scale View::scale() const {
  return scaleFor(geometry(), page_);
}

void View::selectPage(LONG page) {
  if (page != -1) existingPage(document_.get(), page);
  Change change(*this);
  selected_ = page;
}

POINT View::scrollPosition() const {
  return POINT{scrollX_, scrollY_};
}

void View::clampScroll() {
  Layout l = layout();
  scrollX_ = mipv::clampScroll(scrollX_, l.maxScrollX);
  scrollY_ = mipv::clampScroll(scrollY_, l.maxScrollY);
}

void View::scrollTo(LONG x, LONG y) {
  Change change(*this);
  scrollX_ = x;
  scrollY_ = y;
  clampScroll();
}

void View::scrollBy(int dx, int dy) {
  scrollTo(scrollX_ + dx, scrollY_ + dy);
}

RECT View::visibleRect() const {
  if (!document_ || page_ < 0) return RECT{};
  return visiblePageRect(geometry(), layout(), scrollX_, scrollY_);
}

void View::setBackColor(COLORREF colour) {
  backColor_ = colour;
  repaint();
}

void View::refresh() {
  preparer_.cancel();
  decoded_.clear();
  Change change(*this);
  clampScroll();
  repaint();
}

namespace {

const size_t kDecodedPagesKept = 3;  // the current page and both neighbours
const UINT kPrefetchMessage = WM_APP + 1;
const UINT kPreparedMessage = WM_APP + 2;  // the preparer has a page ready

}  // namespace

// Each page is decoded once and kept while it stays near the current page.
View::Decoded& View::decodedPage(LONG page) const {
  auto found = std::find_if(decoded_.begin(), decoded_.end(),
                            [&](const std::unique_ptr<Decoded>& d) { return d->page == page; });
  if (found != decoded_.end()) {
    std::rotate(decoded_.begin(), found, found + 1);
    return *decoded_.front();
  }
  std::unique_ptr<Decoded> fresh = preparer_.take(document_.get(), page);
  if (!fresh) {
    fresh = std::make_unique<Decoded>();
    fresh->image =
        mdi::decodePage(document_->document, static_cast<size_t>(page), preparer_.sparePixels());
    fresh->page = page;
  }
  keep(std::move(fresh), 0);
  return *decoded_.front();
}

void View::keep(std::unique_ptr<Decoded> page, size_t position) const {
  auto same =
      std::find_if(decoded_.begin(), decoded_.end(),
                   [&](const std::unique_ptr<Decoded>& d) { return d->page == page->page; });
  if (same != decoded_.end()) {
    preparer_.recycle(std::move(*same));
    decoded_.erase(same);
  }
  position = std::min(position, decoded_.size());
  decoded_.insert(decoded_.begin() + static_cast<std::ptrdiff_t>(position), std::move(page));
  while (decoded_.size() > kDecodedPagesKept) {
    preparer_.recycle(std::move(decoded_.back()));
    decoded_.pop_back();
  }
}

const View::Decoded* View::cached(LONG pageIndex) const {
  auto found =
      std::find_if(decoded_.begin(), decoded_.end(),
                   [&](const std::unique_ptr<Decoded>& d) { return d->page == pageIndex; });
  return found == decoded_.end() ? nullptr : found->get();
}

bool View::content(LONG pageIndex, RECT& bounds) const {
  if (!document_ || pageIndex < 0) return false;
  Decoded& page = decodedPage(pageIndex);
  if (!page.boundsKnown) {
    page.hasContent = contentBounds(page.image, page.content);
    page.boundsKnown = true;
  }
  bounds = page.content;
  return page.hasContent;
}

// Readers page forwards and back: the neighbours are decoded while the user reads.
void View::schedulePrefetch() {
  if (prefetchPending_ || !window_ || !document_) return;
  prefetchPending_ = PostMessageW(window_, kPrefetchMessage, 0, 0) != FALSE;
}

void View::prefetch() {
  prefetchPending_ = false;
  adoptPrepared();
  if (!document_ || page_ < 0 || !window_) return;
  for (LONG neighbour : {page_ + 1, page_ - 1}) {
    if (neighbour < 0 || neighbour >= pageCount()) continue;
    // Decoded and reduced to the size it will be shown at, so that paging there only copies
    // pixels. A neighbour decoded before the magnification or the view's size changed is
    // prepared again: being decoded is not being ready to show.
    if (cached(neighbour)) {
      ViewGeometry g = geometry(viewWidth_, viewHeight_, neighbour);
      const bool ready = prepared(neighbour, layOut(g, scaleFor(g, neighbour)));
      if (cached(page_)) decodedPage(page_);  // the current page stays the most recently used
      if (ready) continue;
    }
    // One page at a time: the next is ordered when this one is ready.
    preparer_.prepare(orderFor(neighbour), window_, kPreparedMessage);
    return;
  }
}

// The neighbours prepared go into the cache behind the current page.
void View::adoptPrepared() {
  for (std::unique_ptr<Decoded>& page : preparer_.takeAll(document_.get()))
    keep(std::move(page), page_ >= 0 && cached(page_) ? 1 : 0);
}

PreparationOrder View::orderFor(LONG pageIndex) const {
  return PreparationOrder{document_, pageIndex, geometry(viewWidth_, viewHeight_, pageIndex),
                          fitMode_, fixedScale_};
}

bool View::prepared(LONG pageIndex, const Layout& layout) const {
  auto found =
      std::find_if(decoded_.begin(), decoded_.end(),
                   [&](const std::unique_ptr<Decoded>& d) { return d->page == pageIndex; });
  if (found == decoded_.end()) return false;
  const Decoded& page = **found;
  if (layout.pageWidth > static_cast<int>(page.image.width) ||
      layout.pageHeight > static_cast<int>(page.image.height))
    return page.original != nullptr;
  return page.reduced && page.reduced->width() == layout.pageWidth &&
         page.reduced->height() == layout.pageHeight;
}

// A page reduced to its size on screen, kept for that page and size.
Raster& View::reduced(LONG pageIndex, int width, int height) const {
  Decoded& page = decodedPage(pageIndex);
  if (!page.reduced || page.reduced->width() != width || page.reduced->height() != height) {
    std::unique_ptr<Raster> raster = preparer_.spareRaster(width, height);
    reduceInto(page.image, *raster);
    preparer_.recycle(std::move(page.reduced));
    page.reduced = std::move(raster);
  }
  return *page.reduced;
}

void View::repaint() {
  if (window_) InvalidateRect(window_, nullptr, FALSE);
}

// Wine redraws a scroll bar on every SetScrollInfo, which costs more than
// painting a page: bars are set only when what they show changes.
void View::updateScrollBars() {
  if (!window_) return;
  Layout l = layout();
  auto set = [&](int bar, int maxScroll, int viewSize, int position, ScrollBarState& shown) {
    ScrollBarState wanted{maxScroll > 0 ? maxScroll + viewSize - 1 : 0,
                          maxScroll > 0 ? viewSize : 0, position};
    if (shown.valid && shown.max == wanted.max && shown.page == wanted.page &&
        shown.position == wanted.position)
      return;
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
    info.nMin = 0;
    info.nMax = wanted.max;
    info.nPage = static_cast<UINT>(wanted.page);
    info.nPos = position;
    SetScrollInfo(window_, bar, &info, TRUE);
    shown = wanted;
    shown.valid = true;
  };
  set(SB_HORZ, l.maxScrollX, viewWidth_, scrollX_, horizontalBar_);
  set(SB_VERT, l.maxScrollY, viewHeight_, scrollY_, verticalBar_);
}

void View::paint(HDC dc, const RECT& area, const RECT& pageRect) const {
  SolidBrush background(backColor_);
  FillRect(dc, &area, background.get());
  if (!document_ || page_ < 0) return;
  RECT border = pageRect;
  InflateRect(&border, 1, 1);
  SolidBrush borderBrush(RGB(64, 64, 64));
  FrameRect(dc, &border, borderBrush.get());
  paintPage(dc, area, pageRect);
  if (selected_ == page_) paintSelection(dc, area, pageRect);
}

void View::paintPage(HDC dc, const RECT& area, const RECT& pageRect) const {
  RECT target{};
  if (!IntersectRect(&target, &pageRect, &area)) return;
  try {
    Decoded& page = decoded();
    const int width = pageRect.right - pageRect.left;
    const int height = pageRect.bottom - pageRect.top;
    const int imageWidth = static_cast<int>(page.image.width);
    const int imageHeight = static_cast<int>(page.image.height);
    if (width <= imageWidth && height <= imageHeight) {
      Raster& raster = reduced(page_, width, height);
      BitBlt(dc, target.left, target.top, target.right - target.left, target.bottom - target.top,
             raster.dc(), target.left - pageRect.left, target.top - pageRect.top, SRCCOPY);
      return;
    }
    // Enlarged: stretch only the page pixels under the target, whole pixels at a time.
    if (!page.original) page.original = rasterOf(page.image);
    auto toPage = [](int offset, int size, int pixels) {
      return static_cast<int>(static_cast<long long>(offset) * pixels / size);
    };
    auto toView = [](int pixel, int size, int pixels) {
      return static_cast<int>(static_cast<long long>(pixel) * size / pixels);
    };
    int x0 = toPage(target.left - pageRect.left, width, imageWidth);
    int y0 = toPage(target.top - pageRect.top, height, imageHeight);
    int x1 = std::min(imageWidth, toPage(target.right - pageRect.left, width, imageWidth) + 1);
    int y1 = std::min(imageHeight, toPage(target.bottom - pageRect.top, height, imageHeight) + 1);
    int left = pageRect.left + toView(x0, width, imageWidth);
    int top = pageRect.top + toView(y0, height, imageHeight);
    int right = pageRect.left + toView(x1, width, imageWidth);
    int bottom = pageRect.top + toView(y1, height, imageHeight);
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, left, top, right - left, bottom - top, page.original->dc(), x0, y0, x1 - x0,
               y1 - y0, SRCCOPY);
  } catch (...) {
    SolidBrush white(RGB(255, 255, 255));
    FillRect(dc, &target, white.get());
    RECT text = pageRect;
    DrawTextW(dc, L"This page cannot be shown.", -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
}

// A translucent blue wash over the page and a frame around it.
void View::paintSelection(HDC dc, const RECT& area, const RECT& pageRect) const {
  RECT shown{};
  RECT framed = pageRect;
  InflateRect(&framed, kSelectionFrame, kSelectionFrame);
  if (!IntersectRect(&shown, &framed, &area)) return;
  Raster tint(1, 1, 24);
  tint.bits()[0] = GetBValue(kSelectionColour);
  tint.bits()[1] = GetGValue(kSelectionColour);
  tint.bits()[2] = GetRValue(kSelectionColour);
  RECT washed{};
  if (IntersectRect(&washed, &pageRect, &area)) {
    BLENDFUNCTION blend{AC_SRC_OVER, 0, kSelectionOpacity, 0};
    AlphaBlend(dc, washed.left, washed.top, washed.right - washed.left, washed.bottom - washed.top,
               tint.dc(), 0, 0, 1, 1, blend);
  }
  SolidBrush frame(kSelectionColour);
  for (int i = 0; i < kSelectionFrame; ++i) {
    FrameRect(dc, &framed, frame.get());
    InflateRect(&framed, -1, -1);
  }
}

void View::draw(HDC dc, const RECT& bounds) {
  ViewGeometry g = geometry(bounds.right - bounds.left, bounds.bottom - bounds.top, page_);
  Layout l = layOut(g, scaleFor(g, page_));
  RECT pageRect = pageRectInView(l, 0, 0);
  OffsetRect(&pageRect, bounds.left, bounds.top);
  int saved = SaveDC(dc);
  IntersectClipRect(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
  paint(dc, bounds, pageRect);
  RestoreDC(dc, saved);
}

void View::onPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  if (!IsRectEmpty(&ps.rcPaint)) {
    BackBuffer buffer(dc, ps.rcPaint);
    paint(buffer.dc(), ps.rcPaint, pageRectInView(layout(), scrollX_, scrollY_));
    buffer.show();
  }
  EndPaint(window_, &ps);
  schedulePrefetch();
}

void View::onResize() {
  RECT client{};
  GetClientRect(window_, &client);
  Change change(*this);
  viewWidth_ = client.right;
  viewHeight_ = client.bottom;
  clampScroll();
}

void View::setBounds(const RECT& bounds) {
  if (window_) {
    MoveWindow(window_, bounds.left, bounds.top, bounds.right - bounds.left,
               bounds.bottom - bounds.top, TRUE);
    return;
  }
  // Without a window the size it would have decides the fit: the scroll bars are always there.
  Change change(*this);
  viewWidth_ =
      std::max(0, static_cast<int>(bounds.right - bounds.left) - GetSystemMetrics(SM_CXVSCROLL));
  viewHeight_ =
      std::max(0, static_cast<int>(bounds.bottom - bounds.top) - GetSystemMetrics(SM_CYHSCROLL));
  clampScroll();
}

void View::onScroll(int bar, int request) {
  const bool horizontal = bar == SB_HORZ;
  const int viewSize = horizontal ? viewWidth_ : viewHeight_;
  int position = horizontal ? scrollX_ : scrollY_;
  switch (request) {
    case SB_LINEUP:
      position -= kLineStep;
      break;
    case SB_LINEDOWN:
      position += kLineStep;
      break;
    case SB_PAGEUP:
      position -= std::max(kLineStep, viewSize - kLineStep);
      break;
    case SB_PAGEDOWN:
      position += std::max(kLineStep, viewSize - kLineStep);
      break;
    case SB_TOP:
      position = 0;
      break;
    case SB_BOTTOM:
      position = INT_MAX / 2;
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO info{};
      info.cbSize = sizeof(info);
      info.fMask = SIF_TRACKPOS;
      GetScrollInfo(window_, bar, &info);
      position = info.nTrackPos;
      break;
    }
    default:
      return;
  }
  if (horizontal)
    scrollTo(position, scrollY_);
  else
    scrollTo(scrollX_, position);
}

bool View::handleKey(UINT key) {
  if (modifierHeld()) return false;
  switch (key) {
    case VK_PRIOR:
      if (page_ > 0) setPageNum(page_ - 1);
      return true;
    case VK_NEXT:
      if (document_ && page_ + 1 < pageCount()) setPageNum(page_ + 1);
      return true;
    case VK_UP:
      scrollBy(0, -kLineStep);
      return true;
    case VK_DOWN:
      scrollBy(0, kLineStep);
      return true;
    case VK_LEFT:
      scrollBy(-kLineStep, 0);
      return true;
    case VK_RIGHT:
      scrollBy(kLineStep, 0);
      return true;
    default:
      return false;
  }
}

bool View::translateKey(const MSG& message) {
  if (!window_ || message.hwnd != window_) return false;
  if (message.message != WM_KEYDOWN) return false;
  return handleKey(static_cast<UINT>(message.wParam));
}

void View::createWindow(HWND parent, const RECT& bounds) {
  if (window_) {
    SetParent(window_, parent);
    setBounds(bounds);
    return;
  }
  registerViewClass(&View::windowProc);
  HWND window = CreateWindowExW(
      0, viewClassName().c_str(), L"",
      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | WS_HSCROLL | WS_VSCROLL, bounds.left,
      bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent, nullptr,
      moduleInstance(), this);
  if (!window)
    throw ComponentError(HRESULT_FROM_WIN32(GetLastError()),
                         L"The page view's window cannot be created.");
  horizontalBar_ = verticalBar_ = ScrollBarState{};
  onResize();
  updateScrollBars();
}

void View::destroyWindow() {
  if (!window_) return;
  HWND window = window_;
  DestroyWindow(window);  // WM_NCDESTROY clears window_
  window_ = nullptr;
}

LRESULT CALLBACK View::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* view = static_cast<View*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    view->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
  }
  auto* view = reinterpret_cast<View*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!view) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    view->window_ = nullptr;
    return DefWindowProcW(window, message, wParam, lParam);
  }
  try {
    return view->handle(message, wParam, lParam);
  } catch (...) {
    // A window procedure must not let an exception cross into the system.
    return DefWindowProcW(window, message, wParam, lParam);
  }
}

LRESULT View::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      onPaint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // painting covers everything
    case WM_SIZE:
      onResize();
      return 0;
    case WM_HSCROLL:
      onScroll(SB_HORZ, LOWORD(wParam));
      return 0;
    case WM_VSCROLL:
      onScroll(SB_VERT, LOWORD(wParam));
      return 0;
    case WM_MOUSEWHEEL: {
      wheelRemainder_ += GET_WHEEL_DELTA_WPARAM(wParam);
      int notches = wheelRemainder_ / WHEEL_DELTA;
      wheelRemainder_ -= notches * WHEEL_DELTA;
      if (notches) scrollBy(0, -notches * kWheelLines * kLineStep);
      return 0;
    }
    case WM_KEYDOWN:
      if (handleKey(static_cast<UINT>(wParam))) return 0;
      break;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      SetFocus(window_);
      break;
    case kPrefetchMessage:
    case kPreparedMessage:
      prefetch();
      return 0;
    case WM_DESTROY:
      preparer_.cancel();  // nothing is posted to the window once it is gone
      break;
    case WM_MOUSEACTIVATE:
      return MA_ACTIVATE;
    case WM_SETFOCUS:
      if (callbacks_.focusChanged) callbacks_.focusChanged(true);
      return 0;
    case WM_KILLFOCUS:
      if (callbacks_.focusChanged) callbacks_.focusChanged(false);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace mipv
