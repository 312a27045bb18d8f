// The main window: its parts, where they sit, and the keys and messages it
// answers itself.
#include "app/main.h"

#include "output/Picture.h"
#include "output/PrintDialog.h"

TForm1* Form1 = nullptr;

TForm1::TForm1() {
  const RECT bounds = {199, 144, 199 + 642, 144 + 481};
  CreateHandle("TForm1", "Folirex", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, bounds, nullptr,
               LoadIconA(GetModuleHandleA(nullptr), "MAINICON"));
  CreateImages();
  CreateActions();
  CreateMenus();
  status.Create(Handle(), 25, {100, 300});
  status.SetPanelText(0, "Folirex");

  RECT client;
  GetClientRect(Handle(), &client);
  client.bottom -= status.Height();
  mdi = std::make_unique<imaging::TMiDocView>(Handle(), client);
  mdi->OnCurPageNumChanged = [this] { mdiCurPageNumChanged(); };
  mdi->OnEventError = [](const std::exception& failure) {
    framework::Application->HandleException(failure);
  };

  opend.Title = "Open MDI Document";
  opend.Filter = "MDI Files|*.mdi";
  opend.DefaultExt = "MDI";
  opend.Options = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING;

  save.Title = "Save as bitmap";
  save.Filter = "Bitmap (BMP)|*.BMP";
  save.DefaultExt = "BMP";
  save.Options = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_ENABLESIZING;
  save.BufferSize = 260;

  PRNT = std::make_unique<output::TPrintDialog>();
  Image1 = std::make_unique<output::TImage>();
}

TForm1::~TForm1() {
  // The control goes first: its teardown may still call back into the window.
  mdi.reset();
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::LayoutControls() {
  if (!status.Handle()) return;
  status.Realign();
  RECT client;
  GetClientRect(Handle(), &client);
  client.bottom -= status.Height();
  if (client.bottom < client.top) client.bottom = client.top;
  if (mdi) mdi->SetBounds(client);
}

bool TForm1::IsShortCut(MSG& msg) {
  framework::TShortCut shortCut = framework::ShortCutFromKey(msg.wParam);
  if (mdi && mdi->ContainsFocus()) {
    if (mdi->TranslateAccelerator(msg)) return true;
    if (popup.IsShortCut(shortCut)) return true;
  }
  return MainMenu1.IsShortCut(shortCut);
}

LRESULT TForm1::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (MainMenu1.HandleMessage(Handle(), msg, wParam, lParam, result)) return result;
  if (popup.HandleMessage(Handle(), msg, wParam, lParam, result)) return result;
  switch (msg) {
    case WM_SIZE:
      LayoutControls();
      return 0;
    case WM_SETFOCUS:
      // The page view is the window's only focusable control.
      if (mdi) mdi->SetFocus();
      return 0;
    case WM_CONTEXTMENU: {
      if (!mdi || reinterpret_cast<HWND>(wParam) == Handle() ||
          reinterpret_cast<HWND>(wParam) == status.Handle())
        break;
      int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
      if (x == -1 && y == -1) {  // from the keyboard: open at the view's corner
        POINT corner = {0, 0};
        ClientToScreen(Handle(), &corner);
        x = corner.x;
        y = corner.y;
      }
      popup.Popup(Handle(), x, y);
      return 0;
    }
  }
  return TForm::WndProc(msg, wParam, lParam);
}

// ------------------------------------------------------------- the command line

std::string ParamStr(const char* commandLine, int index) {
  auto separator = [](char c) {
    unsigned char code = static_cast<unsigned char>(c);
    return code >= 1 && code <= 32;
  };
  const char* p = commandLine ? commandLine : "";
  std::string param;
  for (int i = 0; i <= index; ++i) {
    for (;;) {
      while (separator(*p)) ++p;
      if (p[0] == '"' && p[1] == '"')
        p += 2;  // an empty pair of quotes before an argument is skipped
      else
        break;
    }
    param.clear();
    while (*p && !separator(*p)) {
      if (*p == '"') {
        ++p;
        while (*p && *p != '"') param += *p++;
        if (*p) ++p;
      } else {
        param += *p++;
      }
    }
  }
  return param;
}
