// The About box, read back from its real windows: frame, layout, texts and
// pictures, its keys, "Donate", where it appears, and what closing it does to
// the main window.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "about/Badge.h"
#include "about/Unit2.h"
#include "tests/support/FormHarness.h"

using testing_support::FormHarness;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::Wide;

namespace {

std::string Text(HWND hwnd) {
  int length = GetWindowTextLengthA(hwnd);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  length = GetWindowTextA(hwnd, text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return lines;
    start = end + 2;
  }
}

RECT WindowRect(HWND hwnd) {
  RECT rect;
  GetWindowRect(hwnd, &rect);
  return rect;
}

// A window's outer frame in its parent's client coordinates.
RECT BoundsInParent(HWND hwnd) {
  RECT rect = WindowRect(hwnd);
  MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

LONG_PTR Style(HWND hwnd) {
  return GetWindowLongPtrA(hwnd, GWL_STYLE);
}

LONG_PTR ExStyle(HWND hwnd) {
  return GetWindowLongPtrA(hwnd, GWL_EXSTYLE);
}

// What a window paints into its client area, as 0x00RRGGBB.
struct Pixels {
  int width = 0, height = 0;
  std::vector<DWORD> rgb;
  DWORD at(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x] & 0xFFFFFF; }
};

DWORD Rgb(COLORREF colour) {
  return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

Pixels Capture(int width, int height, const std::function<void(HDC)>& paint) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  paint(dc);
  GdiFlush();
  Pixels pixels{width, height, {}};
  const DWORD* p = static_cast<const DWORD*>(bits);
  pixels.rgb.assign(p, p + static_cast<size_t>(width) * height);
  SelectObject(dc, previous);
  DeleteDC(dc);
  DeleteObject(bitmap);
  return pixels;
}

Pixels Render(HWND hwnd) {
  RECT client;
  GetClientRect(hwnd, &client);
  return Capture(client.right, client.bottom, [hwnd](HDC dc) {
    SendMessageA(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
  });
}

// -------------------------------------------------------- the modal showing

// Steps run one per timer tick while the box is shown modally. A timer tick
// comes only when no other message is waiting, so what a step posts has been
// handled when the next step runs.
struct Script {
  std::vector<std::function<void()>> steps;
  size_t next = 0;
  int idle = 0;
  bool stuck = false;
};

Script* running = nullptr;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (!running) return;
  if (running->next < running->steps.size()) {
    auto step = running->steps[running->next++];
    step();
  } else if (++running->idle > 100 && ABOUT && ABOUT->Visible()) {
    // The box did not close: end the showing, so that the test can say so.
    running->stuck = true;
    ABOUT->SetModalResult(-1);
  }
}

struct Showing {
  int result;
  size_t stepsRun;
  bool stuck;
};

Showing RunModal(const std::function<int()>& show, std::vector<std::function<void()>> steps) {
  Script script{std::move(steps)};
  running = &script;
  UINT_PTR timer = SetTimer(nullptr, 0, 10, Tick);
  int result = show();
  KillTimer(nullptr, timer);
  running = nullptr;
  return {result, script.next, script.stuck};
}

Showing ShowAbout(std::vector<std::function<void()>> steps) {
  return RunModal([] { return ABOUT->ShowModal(); }, std::move(steps));
}

LPARAM KeyData(WPARAM key, bool up, bool alt = false) {
  LPARAM data = 1 | (static_cast<LPARAM>(MapVirtualKeyA(static_cast<UINT>(key), 0)) << 16);
  if (alt) data |= 1 << 29;
  if (up) data |= 0xC0000000;
  return data;
}

// A key as the keyboard gives it to the window with the focus.
void PressKey(WPARAM key) {
  HWND focus = GetFocus();
  PostMessageA(focus, WM_KEYDOWN, key, KeyData(key, false));
  PostMessageA(focus, WM_KEYUP, key, KeyData(key, true));
}

void PressAltF4() {
  HWND focus = GetFocus();
  PostMessageA(focus, WM_SYSKEYDOWN, VK_F4, KeyData(VK_F4, false, true));
  PostMessageA(focus, WM_SYSKEYUP, VK_F4, KeyData(VK_F4, true, true));
}

class AboutTest : public testing::Test {
 protected:
  void SetUp() override {
    about = std::make_unique<TABOUT>(h.form->Handle());
    ABOUT = about.get();
  }
  void TearDown() override {
    ABOUT = nullptr;
    about.reset();
  }
  // The main window on the screen and active, as after start-up.
  void ShowMainWindow() {
    h.form->Show();
    SetActiveWindow(h.form->Handle());
    h.app.ProcessMessages();
  }

  FormHarness h;
  std::unique_ptr<TABOUT> about;
};

// ------------------------------------------------------------------- window

TEST_F(AboutTest, FixedDialogFrameOwnedByTheMainWindow) {
  HWND box = about->Handle();
  EXPECT_EQ(Text(box), "About Folirex");
  EXPECT_FALSE(IsWindowVisible(box));  // created hidden
  EXPECT_EQ(GetWindow(box, GW_OWNER), h.form->Handle());
  const LONG_PTR style = Style(box);
  EXPECT_EQ(style & WS_POPUP, WS_POPUP);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_EQ(style & WS_SYSMENU, WS_SYSMENU);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CHILD), 0);
  EXPECT_EQ(ExStyle(box) & WS_EX_DLGMODALFRAME, WS_EX_DLGMODALFRAME);
  RECT client;
  GetClientRect(box, &client);
  EXPECT_EQ(client.right, 304);
  EXPECT_EQ(client.bottom, 218);
  EXPECT_EQ(GetClassLongPtrA(box, GCLP_HBRBACKGROUND), COLOR_BTNFACE + 1);
}

TEST_F(AboutTest, ComponentsSitWhereTheLayoutPutsThem) {
  struct Row {
    const char* name;
    HWND hwnd;
    HWND parent;
    RECT bounds;  // left, top, right, bottom in the parent's client area
  };
  const Row rows[] = {
      {"Panel1", about->Panel1, about->Handle(), {8, 8, 8 + 289, 8 + 201}},
      {"Image1", about->Image1.Handle(), about->Panel1, {16, 16, 16 + 33, 16 + 33}},
      {"Memo1", about->Memo1, about->Panel1, {56, 8, 56 + 225, 8 + 89}},
      {"Image2", about->Image2.Handle(), about->Panel1, {56, 96, 56 + 121, 96 + 105}},
      {"Button1", about->Button1, about->Panel1, {200, 160, 200 + 73, 160 + 25}},
      {"Button2", about->Button2, about->Panel1, {200, 104, 200 + 73, 104 + 25}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_TRUE(IsWindow(row.hwnd));
    EXPECT_EQ(GetParent(row.hwnd), row.parent);
    RECT bounds = BoundsInParent(row.hwnd);
    EXPECT_EQ(bounds.left, row.bounds.left);
    EXPECT_EQ(bounds.top, row.bounds.top);
    EXPECT_EQ(bounds.right, row.bounds.right);
    EXPECT_EQ(bounds.bottom, row.bounds.bottom);
    // The panel's client area is the whole panel: the children's positions count from its corner.
    RECT client;
    GetClientRect(row.hwnd, &client);
    EXPECT_EQ(client.right, row.bounds.right - row.bounds.left);
    EXPECT_EQ(client.bottom, row.bounds.bottom - row.bounds.top);
  }
}

TEST_F(AboutTest, ControlsAndTheirStyles) {
  EXPECT_EQ(Text(about->Button1), "Close");
  EXPECT_EQ(Text(about->Button2), "Donate");
  const LONG_PTR memo = Style(about->Memo1);
  EXPECT_EQ(memo & ES_MULTILINE, ES_MULTILINE);
  EXPECT_EQ(memo & ES_READONLY, 0);                // editable
  EXPECT_EQ(memo & ES_AUTOHSCROLL, 0);             // word wrap
  EXPECT_EQ(memo & (WS_VSCROLL | WS_HSCROLL), 0);  // no scroll bars
  EXPECT_EQ(memo & WS_BORDER, 0);                  // no border
  EXPECT_EQ(ExStyle(about->Memo1) & WS_EX_CLIENTEDGE, 0);
  for (HWND control : {about->Memo1, about->Button1, about->Button2}) {
    LOGFONTA font = {};
    HFONT handle = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    ASSERT_NE(handle, nullptr);
    GetObjectA(handle, sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");
    EXPECT_EQ(font.lfHeight, -11);
  }
}

TEST_F(AboutTest, TabOrderIsTextCloseDonate) {
  HWND box = about->Handle();
  EXPECT_EQ(GetNextDlgTabItem(box, nullptr, FALSE), about->Memo1);
  EXPECT_EQ(GetNextDlgTabItem(box, about->Memo1, FALSE), about->Button1);
  EXPECT_EQ(GetNextDlgTabItem(box, about->Button1, FALSE), about->Button2);
  EXPECT_EQ(GetNextDlgTabItem(box, about->Button2, FALSE), about->Memo1);
  EXPECT_EQ(GetNextDlgTabItem(box, about->Memo1, TRUE), about->Button2);
}

TEST_F(AboutTest, CloseIsTheDefaultButton) {
  LRESULT id = SendMessageA(about->Handle(), DM_GETDEFID, 0, 0);
  EXPECT_EQ(HIWORD(id), DC_HASDEFID);
  EXPECT_EQ(LOWORD(id), GetDlgCtrlID(about->Button1));
  EXPECT_EQ(Style(about->Button1) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  EXPECT_EQ(Style(about->Button2) & BS_TYPEMASK, BS_PUSHBUTTON);
}

TEST_F(AboutTest, TheSixLines) {
  const std::vector<std::string> lines = Lines(Text(about->Memo1));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "Folirex 2.0");
  EXPECT_EQ(lines[1], "for Microsoft Office Document Imaging");
  // Line 3 is the contact e-mail address: a name, "@", a dotted domain.
  const size_t at = lines[2].find('@');
  ASSERT_NE(at, std::string::npos) << lines[2];
  EXPECT_GT(at, 0u);
  EXPECT_NE(lines[2].find('.', at), std::string::npos);
  EXPECT_EQ(lines[2].find(' '), std::string::npos);
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4], "This software is provided completely free.");
  EXPECT_EQ(lines[5], "Please support this software with a donation.");
}

TEST_F(AboutTest, TextAreaAndPanelColours) {
  // The text area asks its parent for its colours, as the system draws it.
  const Pixels ignored = Capture(1, 1, [&](HDC dc) {
    HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageA(GetParent(about->Memo1), WM_CTLCOLOREDIT,
                                                         reinterpret_cast<WPARAM>(dc),
                                                         reinterpret_cast<LPARAM>(about->Memo1)));
    ASSERT_NE(brush, nullptr);
    LOGBRUSH info = {};
    GetObjectA(brush, sizeof info, &info);
    EXPECT_EQ(info.lbColor, GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNFACE));
  });
  (void)ignored;
  // A raised edge: light on the top and left, shadow on the bottom and right.
  const Pixels panel = Render(about->Panel1);
  EXPECT_EQ(panel.at(0, 0), Rgb(GetSysColor(COLOR_BTNHIGHLIGHT)));
  EXPECT_EQ(panel.at(0, 100), Rgb(GetSysColor(COLOR_BTNHIGHLIGHT)));
  EXPECT_EQ(panel.at(288, 200), Rgb(GetSysColor(COLOR_BTNSHADOW)));
  EXPECT_EQ(panel.at(288, 100), Rgb(GetSysColor(COLOR_BTNSHADOW)));
  EXPECT_EQ(panel.at(100, 100), Rgb(GetSysColor(COLOR_BTNFACE)));
}

// ----------------------------------------------------------------- pictures

TEST(DonationBadge, Is114By100In24BitColour) {
  HBITMAP badge = about::CreateDonationBadge();
  ASSERT_NE(badge, nullptr);
  DIBSECTION info = {};
  ASSERT_EQ(GetObjectA(badge, sizeof info, &info), static_cast<int>(sizeof info));
  EXPECT_EQ(info.dsBm.bmWidth, 114);
  EXPECT_EQ(info.dsBm.bmHeight, 100);
  EXPECT_EQ(info.dsBm.bmBitsPixel, 24);
  DeleteObject(badge);
}

TEST_F(AboutTest, PicturesAreDrawnAtNaturalSizeFromTheTopLeft) {
  const DWORD face = Rgb(GetSysColor(COLOR_BTNFACE));
  HBITMAP badge = about::CreateDonationBadge();
  const Pixels expectedBadge = Capture(about::kBadgeWidth, about::kBadgeHeight, [&](HDC dc) {
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(source, badge);
    BitBlt(dc, 0, 0, about::kBadgeWidth, about::kBadgeHeight, source, 0, 0, SRCCOPY);
    SelectObject(source, previous);
    DeleteDC(source);
  });
  DeleteObject(badge);
  // Something is drawn: many colours, not a blank square.
  std::vector<DWORD> colours(expectedBadge.rgb);
  std::sort(colours.begin(), colours.end());
  EXPECT_GT(std::unique(colours.begin(), colours.end()) - colours.begin(), 20);

  // Beyond the badge the panel shows through, its bottom edge included.
  const Pixels panel = Render(about->Panel1);
  const Pixels image2 = Render(about->Image2.Handle());
  ASSERT_EQ(image2.width, 121);
  ASSERT_EQ(image2.height, 105);
  int wrong = 0;
  for (int y = 0; y < image2.height; ++y)
    for (int x = 0; x < image2.width; ++x) {
      DWORD expected = x < about::kBadgeWidth && y < about::kBadgeHeight ? expectedBadge.at(x, y)
                                                                         : panel.at(56 + x, 96 + y);
      if (image2.at(x, y) != expected) ++wrong;
    }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(image2.at(60, 104), Rgb(GetSysColor(COLOR_BTNSHADOW)));

  // Image1: the program's own icon, 32 by 32 at the corner of a 33 by 33 picture.
  HICON icon = static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), "MAINICON", IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
  ASSERT_NE(icon, nullptr);
  const Pixels expectedIcon = Capture(33, 33, [&](HDC dc) {
    RECT all = {0, 0, 33, 33};
    FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
    DrawIconEx(dc, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
  });
  DestroyIcon(icon);
  const Pixels image1 = Render(about->Image1.Handle());
  ASSERT_EQ(image1.width, 33);
  EXPECT_EQ(image1.rgb, expectedIcon.rgb);
  EXPECT_NE(image1.at(16, 16), face);
  EXPECT_EQ(image1.at(32, 32), face);
}

// --------------------------------------------------------------------- keys

TEST_F(AboutTest, InTheTextEnterAddsALineAndEscapeDoesNothing) {
  ShowMainWindow();
  const std::string original = Text(about->Memo1);
  HWND focusAtStart = nullptr;
  std::string afterEscape, afterEnter;
  bool visibleAfterEscape = false;
  Showing showing = ShowAbout({
      [&] {
        focusAtStart = GetFocus();
        PressKey(VK_ESCAPE);
      },
      [&] {
        visibleAfterEscape = about->Visible();
        afterEscape = Text(about->Memo1);
        SendMessageA(about->Memo1, EM_SETSEL, 0, 0);
        PressKey(VK_RETURN);
      },
      [&] {
        afterEnter = Text(about->Memo1);
        SetFocus(about->Button1);
        PressKey(VK_ESCAPE);
      },
  });
  EXPECT_FALSE(showing.stuck);
  EXPECT_EQ(showing.stepsRun, 3u);
  EXPECT_EQ(focusAtStart, about->Memo1);
  EXPECT_TRUE(visibleAfterEscape);
  EXPECT_EQ(afterEscape, original);
  EXPECT_EQ(afterEnter, "\r\n" + original);
  EXPECT_EQ(showing.result, IDCANCEL);

  // The same box comes back with the typed text and the focus where it was.
  HWND focusNextTime = nullptr;
  std::string textNextTime;
  ShowAbout({[&] {
    focusNextTime = GetFocus();
    textNextTime = Text(about->Memo1);
    about->Button1Click();
  }});
  EXPECT_EQ(focusNextTime, about->Button1);
  EXPECT_EQ(textNextTime, "\r\n" + original);
}

TEST_F(AboutTest, TabMovesFromTheTextToTheButtons) {
  ShowMainWindow();
  std::vector<HWND> focus;
  ShowAbout({
      [&] { PressKey(VK_TAB); },
      [&] {
        focus.push_back(GetFocus());
        PressKey(VK_TAB);
      },
      [&] {
        focus.push_back(GetFocus());
        PressKey(VK_TAB);
      },
      [&] {
        focus.push_back(GetFocus());
        about->Button1Click();
      },
  });
  EXPECT_EQ(focus, (std::vector<HWND>{about->Button1, about->Button2, about->Memo1}));
}

TEST_F(AboutTest, EveryWayOfClosingEndsTheShowingAsClose) {
  struct Row {
    const char* name;
    std::function<void(TABOUT&)> close;
  };
  const Row rows[] = {
      {"Escape on Close",
       [](TABOUT& box) {
         SetFocus(box.Button1);
         PressKey(VK_ESCAPE);
       }},
      {"Enter on Close",
       [](TABOUT& box) {
         SetFocus(box.Button1);
         PressKey(VK_RETURN);
       }},
      {"Escape on Donate",
       [](TABOUT& box) {
         SetFocus(box.Button2);
         PressKey(VK_ESCAPE);
       }},
      {"Enter on Donate",
       [](TABOUT& box) {
         SetFocus(box.Button2);
         PressKey(VK_RETURN);
       }},
      {"Space on Close",
       [](TABOUT& box) {
         SetFocus(box.Button1);
         PressKey(VK_SPACE);
       }},
      {"Close clicked", [](TABOUT& box) { SendMessageA(box.Button1, BM_CLICK, 0, 0); }},
      {"close box", [](TABOUT& box) { PostMessageA(box.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"Alt+F4 on a button",
       [](TABOUT& box) {
         SetFocus(box.Button2);
         PressAltF4();
       }},
      {"Alt+F4 in the text",
       [](TABOUT& box) {
         SetFocus(box.Memo1);
         PressAltF4();
       }},
  };
  ShowMainWindow();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    bool mainEnabledWhileShown = true;
    Showing showing = ShowAbout({[&] {
      mainEnabledWhileShown = IsWindowEnabled(h.form->Handle());
      row.close(*about);
    }});
    EXPECT_FALSE(showing.stuck);
    EXPECT_EQ(showing.result, IDCANCEL);
    EXPECT_FALSE(about->Visible());
    EXPECT_TRUE(IsWindow(about->Handle()));  // hidden, not destroyed
    EXPECT_FALSE(mainEnabledWhileShown);
    EXPECT_TRUE(IsWindowEnabled(h.form->Handle()));
    EXPECT_TRUE(h.modal.shellCalls.empty());
  }
}

// ------------------------------------------------------------------- Donate

TEST_F(AboutTest, DonateAsksTheShellEachTimeAndStaysOpen) {
  ShowMainWindow();
  std::vector<bool> visible;
  ShowAbout({
      [&] { SendMessageA(about->Button2, BM_CLICK, 0, 0); },
      [&] {
        visible.push_back(about->Visible());
        SendMessageA(about->Button2, BM_CLICK, 0, 0);
      },
      [&] {
        visible.push_back(about->Visible());
        SetFocus(about->Button2);
        PressKey(VK_SPACE);
      },
      [&] {
        visible.push_back(about->Visible());
        about->Button1Click();
      },
  });
  EXPECT_EQ(visible, (std::vector<bool>{true, true, true}));
  ASSERT_EQ(h.modal.shellCalls.size(), 3u);
  for (const auto& call : h.modal.shellCalls) {
    EXPECT_EQ(call.owner, about->Handle());
    EXPECT_EQ(call.verb, "open");
    EXPECT_EQ(call.file, kDonationAddress);
    EXPECT_EQ(call.parameters, "");
    EXPECT_FALSE(call.parametersNull);
    EXPECT_EQ(call.directory, "");
    EXPECT_FALSE(call.directoryNull);
    EXPECT_EQ(call.show, SW_SHOWNORMAL);
  }
  // An address of ours whose path is "/home2", with the fragment "donate".
  const std::string address = kDonationAddress;
  const size_t host = address.find("://");
  ASSERT_NE(host, std::string::npos);
  const size_t path = address.find('/', host + 3);
  ASSERT_NE(path, std::string::npos);
  EXPECT_EQ(address.substr(path), "/home2#donate");
}

// ----------------------------------------------------------------- position

TEST(AboutPosition, FirstShowingCentresOnTheMainWindow) {
  struct Row {
    const char* name;
    RECT main;  // the main window's outer frame
  };
  const Row rows[] = {
      {"at its start-up place", {199, 144, 199 + 642, 144 + 481}},
      {"odd differences round toward zero", {101, 77, 101 + 643, 77 + 484}},
      {"main window smaller than the box", {300, 300, 300 + 121, 300 + 101}},
      {"left would be negative", {-500, 100, -500 + 642, 100 + 481}},
      {"top would be negative", {100, -400, 100 + 642, -400 + 481}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FormHarness h;
    TABOUT box(h.form->Handle());
    ABOUT = &box;
    SetWindowPos(h.form->Handle(), nullptr, row.main.left, row.main.top,
                 row.main.right - row.main.left, row.main.bottom - row.main.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    h.form->Show();
    RECT shown = {};
    ShowAbout({[&] {
      shown = WindowRect(box.Handle());
      box.Button1Click();
    }});
    ABOUT = nullptr;
    const RECT main = WindowRect(h.form->Handle());
    const int width = shown.right - shown.left, height = shown.bottom - shown.top;
    auto centred = [](long start, long outer, long inner) {
      long half = (outer - inner) / 2;  // C++ division truncates toward zero
      long place = start + half;
      return place < 0 ? 0L : place;
    };
    EXPECT_EQ(shown.left, centred(main.left, main.right - main.left, width));
    EXPECT_EQ(shown.top, centred(main.top, main.bottom - main.top, height));
  }
}

TEST_F(AboutTest, LaterShowingsComeBackWhereTheBoxWasLeft) {
  ShowMainWindow();
  RECT first = {}, second = {}, third = {};
  ShowAbout({[&] {
    first = WindowRect(about->Handle());
    about->Button1Click();
  }});
  SetWindowPos(h.form->Handle(), nullptr, 20, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowAbout({[&] {
    second = WindowRect(about->Handle());
    // The user drags it elsewhere.
    SetWindowPos(about->Handle(), nullptr, 333, 222, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    about->Button1Click();
  }});
  SetWindowPos(h.form->Handle(), nullptr, 400, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowAbout({[&] {
    third = WindowRect(about->Handle());
    about->Button1Click();
  }});
  EXPECT_EQ(second.left, first.left);
  EXPECT_EQ(second.top, first.top);
  EXPECT_EQ(third.left, 333);
  EXPECT_EQ(third.top, 222);
}

// ------------------------------------------------ the menu item and returning

TEST_F(AboutTest, MenuItemShowsTheBoxModally) {
  ShowMainWindow();
  bool visible = false, mainEnabled = true;
  Showing showing = RunModal(
      [&] {
        h.form->AboutFolirex1->Click();
        return 0;
      },
      {[&] {
         visible = about->Visible();
         mainEnabled = IsWindowEnabled(h.form->Handle());
         PressKey(VK_ESCAPE);  // in the text: nothing
       },
       [&] { about->Button1Click(); }});
  EXPECT_FALSE(showing.stuck);
  EXPECT_EQ(showing.stepsRun, 2u);
  EXPECT_TRUE(visible);
  EXPECT_FALSE(mainEnabled);
  EXPECT_FALSE(about->Visible());
  EXPECT_TRUE(IsWindowEnabled(h.form->Handle()));
}

// The test program's own last-file record, put back afterwards.
class RecordGuard {
 public:
  RecordGuard() {
    char path[MAX_PATH * 4];
    GetModuleFileNameA(nullptr, path, sizeof path);
    path_ = std::string(path) + ".cfg";
    if (GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES) saved_ = ReadFileBytes(path_);
    DeleteFileA(path_.c_str());
  }
  ~RecordGuard() {
    DeleteFileA(path_.c_str());
    if (saved_) std::ofstream(path_, std::ios::binary) << *saved_;
  }
  void Write(const std::string& bytes) const {
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << bytes;
  }

 private:
  std::string path_;
  std::optional<std::string> saved_;
};

TEST_F(AboutTest, ClosingRunsTheMainWindowsActivationStepsAgain) {
  RecordGuard record;
  record.Write("C:\\before.mdi\r\n");
  ShowMainWindow();
  ASSERT_EQ(h.app.ActiveForm(), h.form.get());
  EXPECT_EQ(h.form->lastfile1->Caption(), "C:\\before.mdi");

  // While the box is up, another copy of the program records another name and
  // the application title changes.
  TempDir dir;
  const std::string doc = dir.write("opened meanwhile.mdi", "x");
  h.fake.files[Wide(doc)] = {L"page"};
  h.form->OpenDocument(doc);
  ASSERT_EQ(h.app.Title(), "Folirex - " + doc);
  ShowAbout({[&] {
    record.Write("C:\\changed.mdi\r\n");
    about->Button1Click();
  }});
  h.app.ProcessMessages();

  EXPECT_EQ(h.app.ActiveForm(), h.form.get());
  EXPECT_EQ(h.form->lastfile1->Caption(), "C:\\changed.mdi");
  EXPECT_EQ(h.form->lastfile1->Hint, "C:\\changed.mdi");
  EXPECT_EQ(h.app.Title(), "Folirex");               // reset by the activation
  EXPECT_EQ(h.form->Caption(), "Folirex - " + doc);  // the window keeps its caption
}

}  // namespace
