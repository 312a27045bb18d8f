// Page-fit arithmetic, kept apart from window and GDI code: where the page
// sits in the view at a given scale, and which scale each fit mode gives.
#pragma once

#include <windows.h>

#include "component/Interfaces.h"

namespace mipv {

// Gap between the page and the view's edges while the page is larger than the view.
inline constexpr int kPageMargin = 8;
// Scales outside this range are refused; fit modes are clamped into it.
inline constexpr double kMinScale = 0.02;
inline constexpr double kMaxScale = 32.0;

struct ViewGeometry {
  int viewWidth = 0;  // the view's client area, without scroll bars
  int viewHeight = 0;
  int pageWidth = 1;  // page pixels
  int pageHeight = 1;
  double pageDpiX = 200;
  double pageDpiY = 200;
  double screenDpiX = 96;
  double screenDpiY = 96;
};

// 1.0 is the page at its physical size on the screen.
struct Scale {
  double x = 1.0;
  double y = 1.0;
};

// The scale a fit mode gives; `content` (page pixels) is used by FitContent,
// which falls back to the whole page when it is empty.
Scale fitScale(const ViewGeometry& geometry, FitMode mode, const RECT& content);

// The page as laid out for one scale, in view pixels.
struct Layout {
  double zoomX = 1.0;  // view pixels per page pixel
  double zoomY = 1.0;
  int pageWidth = 1;  // the page's size on screen
  int pageHeight = 1;
  int maxScrollX = 0;  // 0: the page fits and is centred along that axis
  int maxScrollY = 0;
  int centredX = 0;  // the page's left and top while it fits
  int centredY = 0;
};

Layout layOut(const ViewGeometry& geometry, Scale scale);

int clampScroll(int position, int maxScroll);

// The page's rectangle in view coordinates for a scroll position.
RECT pageRectInView(const Layout& layout, int scrollX, int scrollY);

// The part of the page the view shows, in page pixels (empty when none).
RECT visiblePageRect(const ViewGeometry& geometry, const Layout& layout, int scrollX, int scrollY);

// The scroll position that centres a rectangle of the page (page pixels) in the view.
POINT scrollToCentre(const ViewGeometry& geometry, const Layout& layout, const RECT& pageArea);

}  // namespace mipv
