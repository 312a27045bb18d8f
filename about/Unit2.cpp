#include "about/Unit2.h"

#include <commctrl.h>

#include "about/Badge.h"
#include "framework/Exception.h"
#include "framework/Modal.h"

TABOUT* ABOUT = nullptr;

const char kDonationAddress[] = "https://folirex.org/home2#donate";

namespace {

enum : int { kMemo1Id = 100, kButton1Id, kButton2Id };

const char kAboutText[] =
    "Folirex 2.0\r\n"
    "for Microsoft Office Document Imaging\r\n"
    "folirex@folirex.org\r\n"
    "\r\n"
    "This software is provided completely free.\r\n"
    "Please support this software with a donation.";

const DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
const DWORD kExStyle = WS_EX_DLGMODALFRAME;

HWND CreateControl(const char* className, const char* text, DWORD style, HWND parent, int id,
                   const about::Bounds& bounds) {
  HWND hwnd = CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, bounds.left,
                              bounds.top, bounds.width, bounds.height, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              GetModuleHandleA(nullptr), nullptr);
  if (!hwnd) framework::raiseLastError();
  SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(framework::DefaultFont()), FALSE);
  return hwnd;
}

// The text area takes every key: Enter adds a line (the edit's own want-return
// style) and Escape does nothing, rather than closing the box, which a
// multi-line edit inside a dialog otherwise asks its parent to do.
LRESULT CALLBACK MemoProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if ((msg == WM_KEYDOWN && wParam == VK_ESCAPE) || (msg == WM_CHAR && wParam == VK_ESCAPE))
    return 0;
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, MemoProc, 0);
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

}  // namespace

TABOUT::TABOUT(HWND owner) {
  RECT bounds = {0, 0, 304, 218};
  AdjustWindowRectEx(&bounds, kStyle, FALSE, kExStyle);
  OffsetRect(&bounds, -bounds.left, -bounds.top);
  CreateHandle("TABOUT", "About Folirex", kStyle, kExStyle, bounds, owner);
  CreateControls();
  focused_ = Memo1;
}

void TABOUT::CreateControls() {
  Panel1 = about::CreatePanel(Handle(), {8, 8, 289, 201});

  Image1.Create(Panel1, {16, 16, 33, 33});
  Image1.SetIcon(static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), "MAINICON", IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR)));

  // Created in tab order: the text, "Close", "Donate".
  Memo1 =
      CreateControl("EDIT", kAboutText, WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
                    Panel1, kMemo1Id, {56, 8, 225, 89});
  SetWindowSubclass(Memo1, MemoProc, 0, 0);

  Image2.Create(Panel1, {56, 96, 121, 105});
  Image2.SetBitmap(about::CreateDonationBadge());

  Button1 = CreateControl("BUTTON", "Close", WS_TABSTOP | BS_DEFPUSHBUTTON, Panel1, kButton1Id,
                          {200, 160, 73, 25});
  Button2 = CreateControl("BUTTON", "Donate", WS_TABSTOP | BS_PUSHBUTTON, Panel1, kButton2Id,
                          {200, 104, 73, 25});
  // The pictures sit between the text and the buttons in creation order;
  // they are no tab stops, so the order that counts stays text, Close, Donate.
}

void TABOUT::Button1Click() {
  Close();
}

void TABOUT::Button2Click() {
  // What the shell makes of the address is outside the program; the box stays.
  framework::ModalUi().RunShellExecute(Handle(), "open", kDonationAddress, "", "", SW_SHOWNORMAL);
}

void TABOUT::CentreOverOwner() {
  HWND owner = GetWindow(Handle(), GW_OWNER);
  RECT main, self;
  if (!owner || !GetWindowRect(owner, &main) || !GetWindowRect(Handle(), &self)) return;
  // Integer division rounds the halves toward zero.
  int left = main.left + ((main.right - main.left) - (self.right - self.left)) / 2;
  int top = main.top + ((main.bottom - main.top) - (self.bottom - self.top)) / 2;
  SetWindowPos(Handle(), nullptr, left < 0 ? 0 : left, top < 0 ? 0 : top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TABOUT::MoveFocus(WPARAM wParam, LPARAM lParam) {
  HWND next = nullptr;
  if (LOWORD(lParam)) {
    next = reinterpret_cast<HWND>(wParam);
  } else {
    HWND current = GetFocus();
    next = GetNextDlgTabItem(Handle(), IsChild(Handle(), current) ? current : nullptr, wParam != 0);
  }
  if (!next) return;
  SetFocus(next);
  // As in dialogs, a text area reached from the keyboard has its text selected.
  if (SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
    SendMessageA(next, EM_SETSEL, 0, -1);
}

LRESULT TABOUT::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam), code = HIWORD(wParam);
      // Escape comes as IDCANCEL; Enter as a click of the default button.
      if (id == IDCANCEL || (id == kButton1Id && code == BN_CLICKED))
        Button1Click();
      else if (id == kButton2Id && code == BN_CLICKED)
        Button2Click();
      return 0;
    }
    case DM_GETDEFID:
      return MAKELRESULT(kButton1Id, DC_HASDEFID);
    case WM_NEXTDLGCTL:
      MoveFocus(wParam, lParam);
      return 0;
    case WM_CTLCOLOREDIT:
      if (reinterpret_cast<HWND>(lParam) == Memo1) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    case WM_SHOWWINDOW:
      if (wParam && !placed_) {
        placed_ = true;
        CentreOverOwner();
      }
      break;
    case WM_ACTIVATE:
      // Remember where the focus was, to give it back at the next activation.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(Handle(), focus)) focused_ = focus;
      }
      break;
    case WM_SETFOCUS:
      if (focused_ && IsWindow(focused_)) SetFocus(focused_);
      return 0;
  }
  return TForm::WndProc(msg, wParam, lParam);
}
