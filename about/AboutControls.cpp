#include "about/AboutControls.h"

#include "framework/Exception.h"
#include "framework/Forms.h"

namespace about {

namespace {

const char kPanelClass[] = "FolirexPanel";
const char kPictureClass[] = "FolirexPicture";

HINSTANCE Instance() {
  return GetModuleHandleA(nullptr);
}

void RegisterOnce(const char* className, WNDPROC proc) {
  WNDCLASSA wc = {};
  if (GetClassInfoA(Instance(), className, &wc)) return;
  wc.lpfnWndProc = proc;
  wc.hInstance = Instance();
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = className;
  if (!RegisterClassA(&wc)) framework::raiseLastError();
}

HWND CreateChild(const char* className, DWORD style, DWORD exStyle, HWND parent,
                 const Bounds& bounds, void* param) {
  HWND hwnd =
      CreateWindowExA(exStyle, className, "", WS_CHILD | WS_VISIBLE | style, bounds.left,
                      bounds.top, bounds.width, bounds.height, parent, nullptr, Instance(), param);
  if (!hwnd) framework::raiseLastError();
  return hwnd;
}

void PaintPanel(HWND hwnd, HDC dc) {
  RECT client;
  GetClientRect(hwnd, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &client, BDR_RAISEDINNER, BF_RECT);
}

LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_NEXTDLGCTL:
    case DM_GETDEFID:
      return SendMessageA(GetParent(hwnd), msg, wParam, lParam);
    case WM_CLOSE:
      // A multi-line edit in dialog mode may post this to its parent on Escape;
      // a panel is never closed on its own.
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      PaintPanel(hwnd, dc);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_PRINTCLIENT:
      PaintPanel(hwnd, reinterpret_cast<HDC>(wParam));
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

HWND CreatePanel(HWND parent, const Bounds& bounds) {
  RegisterOnce(kPanelClass, PanelProc);
  // The dialog navigation looks for tab stops inside the panel too.
  return CreateChild(kPanelClass, WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, parent, bounds, nullptr);
}

PictureBox::~PictureBox() {
  if (hwnd_) SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
}

void PictureBox::Create(HWND parent, const Bounds& bounds) {
  RegisterOnce(kPictureClass, WndProc);
  hwnd_ = CreateChild(kPictureClass, 0, 0, parent, bounds, this);
}

void PictureBox::SetIcon(HICON icon) {
  icon_.reset(icon);
  if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}

void PictureBox::SetBitmap(HBITMAP bitmap) {
  bitmap_.reset(bitmap);
  if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}

void PictureBox::Paint(HDC dc) const {
  // Beyond the picture the parent shows through, its edge included, as under
  // a picture that has no window of its own.
  RECT client;
  GetClientRect(hwnd_, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  HWND parent = GetParent(hwnd_);
  POINT corner = {0, 0};
  MapWindowPoints(hwnd_, parent, &corner, 1);
  POINT origin;
  OffsetViewportOrgEx(dc, -corner.x, -corner.y, &origin);
  SendMessageA(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
  if (icon_) DrawIconEx(dc, 0, 0, icon_.get(), 0, 0, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE);
  if (bitmap_) {
    BITMAP info = {};
    GetObjectA(bitmap_.get(), sizeof info, &info);
    framework::MemoryDc source(dc);
    framework::Selected picture(source.get(), bitmap_.get());
    BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, source.get(), 0, 0, SRCCOPY);
  }
}

LRESULT CALLBACK PictureBox::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* picture = framework::WindowObject<PictureBox>(hwnd, msg, lParam);
  if (msg == WM_NCCREATE && picture) picture->hwnd_ = hwnd;
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      if (picture) picture->Paint(dc);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_PRINTCLIENT:
      if (picture) picture->Paint(reinterpret_cast<HDC>(wParam));
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace about
