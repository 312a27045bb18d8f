// The page view behind the control: the document, the current page, the
// selection, the magnification and scrolling (View.cpp), the pages it keeps
// decoded (PageCache), and the child window that shows them (ViewWindow.cpp).
// Operations throw ComponentError; every observable change is reported through
// `raise` once the operation is complete. What may decode a page is not const:
// fitting the text measures the page's content.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "component/Interfaces.h"
#include "component/LoadedDocument.h"
#include "component/PageCache.h"
#include "component/ViewLayout.h"

namespace mipv {

class View {
 public:
  struct Callbacks {
    std::function<void(Event)> raise;
    std::function<void(bool)> focusChanged;  // the window got (true) or lost the focus
  };
  explicit View(Callbacks callbacks);
  ~View();
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  // Loads the file (current page 0) or, for an empty path, closes. A file that
  // fails to load leaves no document.
  void setFileName(const std::wstring& path);
  std::wstring fileName() const;
  const std::shared_ptr<const LoadedDocument>& document() const { return document_; }
  LONG pageCount() const;
  LONG pageNum() const { return page_; }  // -1: no current page
  void setPageNum(LONG page);
  // The user's paging; at the first or last page they fail.
  void nextPage();
  void previousPage();

  FitMode fitMode() const { return fitMode_; }
  void setFitMode(LONG mode);
  Scale scale();  // the scale in force, also while a fit mode decides it
  void setScale(double scaleX, double scaleY);

  LONG selectedPage() const { return selected_; }
  void selectPage(LONG page);  // -1 clears

  POINT scrollPosition() const;
  void scrollTo(LONG x, LONG y);
  RECT visibleRect();  // page pixels

  COLORREF backColor() const { return backColor_; }
  void setBackColor(COLORREF colour);
  void refresh();  // forgets the decoded and scaled page and repaints

  void createWindow(HWND parent, const RECT& bounds);
  void destroyWindow();
  HWND window() const { return window_; }
  void setBounds(const RECT& bounds);
  // Plain arrow keys, Page Up and Page Down aimed at the view's window; true when taken.
  bool translateKey(const MSG& message);
  // Draws the view as it shows at the size of `bounds`, scrolled to the start.
  void draw(HDC dc, const RECT& bounds);

 private:
  struct Observed;
  class Change;

  Observed observe();
  void report(const Observed& before, const std::vector<Event>& forced);
  void close();
  void goToPage(LONG page);
  void placeAfterMagnification();
  ViewGeometry geometry(int viewWidth, int viewHeight, LONG page) const;
  ViewGeometry geometry() const { return geometry(viewWidth_, viewHeight_, page_); }
  Scale scaleFor(const ViewGeometry& g, LONG page);
  Layout layout() { return layOut(geometry(), scale()); }
  void clampScroll();
  void resize(int width, int height);  // the view's client area, without scroll bars
  // The page's content bounds (page pixels); false for a blank page or none.
  bool content(LONG page, RECT& bounds);
  PreparationOrder orderFor(LONG page) const;

  // The window's side (ViewWindow.cpp).
  void schedulePrefetch();
  void prefetch();
  void repaint();
  void updateScrollBars();
  void paint(HDC dc, const RECT& area, const RECT& pageRect);
  void paintPage(HDC dc, const RECT& area, const RECT& pageRect);
  void paintSelection(HDC dc, const RECT& area, const RECT& pageRect) const;
  void onPaint();
  void onResize();
  void onScroll(int bar, int request);
  void scrollBy(int dx, int dy);
  bool handleKey(UINT key);
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

  struct ScrollBarState {
    int max = 0;
    int page = 0;
    int position = 0;
    bool valid = false;
  };

  Callbacks callbacks_;
  std::shared_ptr<const LoadedDocument> document_;
  LONG page_ = -1;
  LONG selected_ = -1;
  FitMode fitMode_ = FitWindow;
  Scale fixedScale_;
  int scrollX_ = 0;
  int scrollY_ = 0;
  int viewWidth_ = 0;
  int viewHeight_ = 0;
  int wheelRemainder_ = 0;
  COLORREF backColor_ = RGB(128, 128, 128);
  double screenDpiX_ = 96;
  double screenDpiY_ = 96;
  HWND window_ = nullptr;
  ScrollBarState horizontalBar_;
  ScrollBarState verticalBar_;
  // The current page and its neighbours.
  PageCache cache_;
  bool prefetchPending_ = false;
};

// The view window's class is registered once per module; this removes it when the DLL unloads.
void unregisterViewClass();

}  // namespace mipv
