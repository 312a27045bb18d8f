// The view's window: its class and procedure, painting, scroll bars and input, and the
// preparation of the neighbouring pages while the user reads.
#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <cstdio>

#include "component/ComSupport.h"
#include "component/View.h"
#include "framework/Handles.h"

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

using SolidBrush = framework::GdiObject<HBRUSH>;

SolidBrush solidBrush(COLORREF colour) {
  return SolidBrush(CreateSolidBrush(colour));
}

// An off-screen copy of part of a window, drawn in the window's coordinates.
class BackBuffer {
 public:
  BackBuffer(HDC target, const RECT& area)
      : target_(target),
        area_(area),
        dc_(CreateCompatibleDC(target)),
        bitmap_(CreateCompatibleBitmap(target, std::max(1L, area.right - area.left),
                                       std::max(1L, area.bottom - area.top))),
        selected_(dc_.get(), bitmap_.get()) {
    SetViewportOrgEx(dc_.get(), -area.left, -area.top, nullptr);
  }
  HDC dc() const { return dc_.get(); }
  void show() {
    SetViewportOrgEx(dc_.get(), 0, 0, nullptr);
    BitBlt(target_, area_.left, area_.top, area_.right - area_.left, area_.bottom - area_.top,
           dc_.get(), 0, 0, SRCCOPY);
  }

 private:
  HDC target_;
  RECT area_;
  framework::Dc dc_;
  framework::Bitmap bitmap_;
  framework::Selected selected_;
};

const UINT kPrefetchMessage = WM_APP + 1;
const UINT kPreparedMessage = WM_APP + 2;  // the preparer has a page ready

}  // namespace

void unregisterViewClass() {
  if (g_classRegistered) UnregisterClassW(viewClassName().c_str(), moduleInstance());
  g_classRegistered = false;
}

// Readers page forwards and back: the neighbours are decoded while the user reads.
void View::schedulePrefetch() {
  if (prefetchPending_ || !window_ || !document_) return;
  prefetchPending_ = PostMessageW(window_, kPrefetchMessage, 0, 0) != FALSE;
}

void View::prefetch() {
  prefetchPending_ = false;
  // The neighbours prepared go into the cache behind the current page.
  cache_.adoptPrepared(document_.get(), page_);
  if (!document_ || page_ < 0 || !window_) return;
  for (LONG neighbour : {page_ + 1, page_ - 1}) {
    if (neighbour < 0 || neighbour >= pageCount()) continue;
    // Decoded and reduced to the size it will be shown at, so that paging there only copies
    // pixels. A neighbour decoded before the magnification or the view's size changed is
    // prepared again: being decoded is not being ready to show.
    if (cache_.find(neighbour)) {
      ViewGeometry g = geometry(viewWidth_, viewHeight_, neighbour);
      const bool ready = cache_.readyFor(neighbour, layOut(g, scaleFor(g, neighbour)));
      // The current page stays the most recently used.
      if (cache_.find(page_)) cache_.decode(*document_, page_);
      if (ready) continue;
    }
    // One page at a time: the next is ordered when this one is ready.
    cache_.prepare(orderFor(neighbour), window_, kPreparedMessage);
    return;
  }
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

void View::paint(HDC dc, const RECT& area, const RECT& pageRect) {
  FillRect(dc, &area, solidBrush(backColor_).get());
  if (!document_ || page_ < 0) return;
  RECT border = pageRect;
  InflateRect(&border, 1, 1);
  FrameRect(dc, &border, solidBrush(RGB(64, 64, 64)).get());
  paintPage(dc, area, pageRect);
  if (selected_ == page_) paintSelection(dc, area, pageRect);
}

void View::paintPage(HDC dc, const RECT& area, const RECT& pageRect) {
  RECT target{};
  if (!IntersectRect(&target, &pageRect, &area)) return;
  try {
    const DecodedPage& page = cache_.decode(*document_, page_);
    const int width = pageRect.right - pageRect.left;
    const int height = pageRect.bottom - pageRect.top;
    const int imageWidth = static_cast<int>(page.image.width);
    const int imageHeight = static_cast<int>(page.image.height);
    if (width <= imageWidth && height <= imageHeight) {
      Raster& raster = cache_.reduced(*document_, page_, width, height);
      BitBlt(dc, target.left, target.top, target.right - target.left, target.bottom - target.top,
             raster.dc(), target.left - pageRect.left, target.top - pageRect.top, SRCCOPY);
      return;
    }
    // Enlarged: stretch only the page pixels under the target, whole pixels at a time.
    Raster& original = cache_.original(*document_, page_);
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
    StretchBlt(dc, left, top, right - left, bottom - top, original.dc(), x0, y0, x1 - x0, y1 - y0,
               SRCCOPY);
  } catch (...) {
    FillRect(dc, &target, solidBrush(RGB(255, 255, 255)).get());
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
  SolidBrush frame = solidBrush(kSelectionColour);
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
  resize(client.right, client.bottom);
}

void View::setBounds(const RECT& bounds) {
  if (window_) {
    MoveWindow(window_, bounds.left, bounds.top, bounds.right - bounds.left,
               bounds.bottom - bounds.top, TRUE);
    return;
  }
  // Without a window the size it would have decides the fit: the scroll bars are always there.
  resize(
      std::max(0, static_cast<int>(bounds.right - bounds.left) - GetSystemMetrics(SM_CXVSCROLL)),
      std::max(0, static_cast<int>(bounds.bottom - bounds.top) - GetSystemMetrics(SM_CYHSCROLL)));
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
      cache_.cancelPreparation();  // nothing is posted to the window once it is gone
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
