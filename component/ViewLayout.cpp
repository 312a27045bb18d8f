#include "component/ViewLayout.h"

#include <algorithm>
#include <cmath>

namespace mipv {

namespace {

double clampScale(double scale) {
  return std::clamp(scale, kMinScale, kMaxScale);
}

int available(int viewSize) {
  return std::max(1, viewSize - 2 * kPageMargin);
}

// The size in view pixels of `pixels` page pixels at scale 1.
double physical(int pixels, double pageDpi, double screenDpi) {
  return std::max(1, pixels) * screenDpi / pageDpi;
}

}  // namespace

Scale fitScale(const ViewGeometry& g, FitMode mode, const RECT& content) {
  RECT area = content;
  if (mode != FitContent || area.right <= area.left || area.bottom <= area.top)
    area = RECT{0, 0, g.pageWidth, g.pageHeight};
  double byWidth =
      available(g.viewWidth) / physical(area.right - area.left, g.pageDpiX, g.screenDpiX);
  double byHeight =
      available(g.viewHeight) / physical(area.bottom - area.top, g.pageDpiY, g.screenDpiY);
  double scale = 1.0;
  switch (mode) {
    case FitWidth:
      scale = byWidth;
      break;
    case FitHeight:
      scale = byHeight;
      break;
    case FitWindow:
    case FitContent:
      scale = std::min(byWidth, byHeight);
      break;
    case FitNone:
      break;
  }
  scale = clampScale(scale);
  return Scale{scale, scale};
}

Layout layOut(const ViewGeometry& g, Scale scale) {
  Layout l;
  l.zoomX = scale.x * g.screenDpiX / g.pageDpiX;
  l.zoomY = scale.y * g.screenDpiY / g.pageDpiY;
  l.pageWidth = std::max(1, static_cast<int>(std::lround(g.pageWidth * l.zoomX)));
  l.pageHeight = std::max(1, static_cast<int>(std::lround(g.pageHeight * l.zoomY)));
  l.maxScrollX = std::max(0, l.pageWidth + 2 * kPageMargin - g.viewWidth);
  l.maxScrollY = std::max(0, l.pageHeight + 2 * kPageMargin - g.viewHeight);
  l.centredX = (g.viewWidth - l.pageWidth) / 2;
  l.centredY = (g.viewHeight - l.pageHeight) / 2;
  return l;
}

int clampScroll(int position, int maxScroll) {
  return std::clamp(position, 0, maxScroll);
}

RECT pageRectInView(const Layout& l, int scrollX, int scrollY) {
  int left = l.maxScrollX > 0 ? kPageMargin - scrollX : l.centredX;
  int top = l.maxScrollY > 0 ? kPageMargin - scrollY : l.centredY;
  return RECT{left, top, left + l.pageWidth, top + l.pageHeight};
}

RECT visiblePageRect(const ViewGeometry& g, const Layout& l, int scrollX, int scrollY) {
  RECT page = pageRectInView(l, scrollX, scrollY);
  RECT view{0, 0, g.viewWidth, g.viewHeight};
  RECT shown{};
  if (!IntersectRect(&shown, &page, &view)) return RECT{};
  auto toPage = [](int offset, double zoom, int limit) {
    return std::clamp(static_cast<int>(std::lround(offset / zoom)), 0, limit);
  };
  return RECT{toPage(shown.left - page.left, l.zoomX, g.pageWidth),
              toPage(shown.top - page.top, l.zoomY, g.pageHeight),
              toPage(shown.right - page.left, l.zoomX, g.pageWidth),
              toPage(shown.bottom - page.top, l.zoomY, g.pageHeight)};
}

POINT scrollToCentre(const ViewGeometry& g, const Layout& l, const RECT& area) {
  double centreX = kPageMargin + (area.left + area.right) / 2.0 * l.zoomX;
  double centreY = kPageMargin + (area.top + area.bottom) / 2.0 * l.zoomY;
  return POINT{
      clampScroll(static_cast<int>(std::lround(centreX - g.viewWidth / 2.0)), l.maxScrollX),
      clampScroll(static_cast<int>(std::lround(centreY - g.viewHeight / 2.0)), l.maxScrollY)};
}

}  // namespace mipv
