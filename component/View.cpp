#include "component/View.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "component/ComSupport.h"
#include "framework/Handles.h"

namespace mipv {

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
  framework::WindowDc screen;
  screenDpiX_ = GetDeviceCaps(screen.get(), LOGPIXELSX);
  screenDpiY_ = GetDeviceCaps(screen.get(), LOGPIXELSY);
}

View::~View() {
  destroyWindow();
}

View::Observed View::observe() {
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
  cache_.clear();
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

Scale View::scaleFor(const ViewGeometry& g, LONG page) {
  if (fitMode_ == FitNone || !document_ || page < 0) return fixedScale_;
  RECT bounds{};
  if (fitMode_ == FitContent) content(page, bounds);
  return fitScale(g, fitMode_, bounds);
}

Scale View::scale() {
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

void View::resize(int width, int height) {
  Change change(*this);
  viewWidth_ = width;
  viewHeight_ = height;
  clampScroll();
}

void View::scrollBy(int dx, int dy) {
  scrollTo(scrollX_ + dx, scrollY_ + dy);
}

RECT View::visibleRect() {
  if (!document_ || page_ < 0) return RECT{};
  return visiblePageRect(geometry(), layout(), scrollX_, scrollY_);
}

void View::setBackColor(COLORREF colour) {
  backColor_ = colour;
  repaint();
}

void View::refresh() {
  cache_.clear();
  Change change(*this);
  clampScroll();
  repaint();
}

bool View::content(LONG pageIndex, RECT& bounds) {
  if (!document_ || pageIndex < 0) return false;
  return cache_.contentBounds(*document_, pageIndex, bounds);
}

PreparationOrder View::orderFor(LONG pageIndex) const {
  return PreparationOrder{document_, pageIndex, geometry(viewWidth_, viewHeight_, pageIndex),
                          fitMode_, fixedScale_};
}

}  // namespace mipv
