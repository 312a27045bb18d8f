// The control's properties by dispatch id, its events, keys, scrolling and drawing.
#include <gtest/gtest.h>

#include "Fixture.h"

namespace componenttest {
namespace {

using namespace MODI_TLB;

TEST(Registration, MachineRegistrationNamesTheDllApartmentAndControl) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExW(HKEY_CLASSES_ROOT,
                          L"CLSID\\{EF347A62-BA21-42E4-94A0-1C0A6D7FDFE7}\\InprocServer32", 0,
                          KEY_READ, &key));
  wchar_t value[MAX_PATH] = {};
  DWORD size = sizeof(value);
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"ThreadingModel", nullptr, nullptr,
                                            reinterpret_cast<BYTE*>(value), &size));
  EXPECT_STREQ(L"Apartment", value);
  size = sizeof(value);
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, nullptr, nullptr, nullptr,
                                            reinterpret_cast<BYTE*>(value), &size));
  EXPECT_NE(nullptr, wcsstr(value, L"MiPageView.dll")) << narrow(value);
  RegCloseKey(key);
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CLASSES_ROOT,
                                         L"CLSID\\{EF347A62-BA21-42E4-94A0-1C0A6D7FDFE7}\\Control",
                                         0, KEY_READ, &key));
  RegCloseKey(key);
}

TEST(Registration, PerUserInstallWritesAndRemovesTheUsersClassKey) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExW(HKEY_CLASSES_ROOT,
                          L"CLSID\\{EF347A62-BA21-42E4-94A0-1C0A6D7FDFE7}\\InprocServer32", 0,
                          KEY_READ, &key));
  wchar_t path[MAX_PATH] = {};
  DWORD size = sizeof(path);
  RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size);
  RegCloseKey(key);
  HMODULE dll = LoadLibraryW(path);
  ASSERT_NE(nullptr, dll);
  using Install = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);
  auto install =
      reinterpret_cast<Install>(reinterpret_cast<void*>(GetProcAddress(dll, "DllInstall")));
  ASSERT_NE(nullptr, install);
  const wchar_t userKey[] =
      L"Software\\Classes\\CLSID\\{EF347A62-BA21-42E4-94A0-1C0A6D7FDFE7}\\InprocServer32";
  EXPECT_EQ(S_OK, install(TRUE, L"user"));
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, userKey, 0, KEY_READ, &key));
  RegCloseKey(key);
  EXPECT_EQ(S_OK, install(FALSE, L"user"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CURRENT_USER, userKey, 0, KEY_READ, &key));
  FreeLibrary(dll);
}

using DispatchTest = HostedControl;

TEST_F(DispatchTest, StartsWithoutDocument) {
  EXPECT_EQ(0, pageCount());
  EXPECT_EQ(-1, pageNum());
  EXPECT_EQ(0, host.events().count(DISPID_OnCurPageNumChanged));
  EXPECT_EQ(0, host.events().count(DISPID_OnPageCountChanged));
}

TEST_F(DispatchTest, LoadShowsTheFirstPageAndRaisesCountPageAndCurrentPageEvents) {
  load(fiveTestPages());
  EXPECT_EQ(5, pageCount());
  EXPECT_EQ(0, pageNum());
  EXPECT_EQ(1, host.events().count(DISPID_OnPageCountChanged));
  EXPECT_EQ(1, host.events().count(DISPID_OnPageChanged));
  EXPECT_EQ(1, host.events().count(DISPID_OnCurPageNumChanged));
  EXPECT_EQ(0, host.events().count(DISPID_OnSelectionChanged));
  // Events carry no arguments (counted negative when they do).
  for (DISPID id : host.events().order) EXPECT_GT(id, 0);
}

TEST_F(DispatchTest, PageNumPutMovesAndRaisesEventSix) {
  load(fiveTestPages());
  host.events().reset();
  for (LONG page : {3, 1, 1, 4, 0}) {
    setPage(page);
    EXPECT_EQ(page, pageNum());
  }
  EXPECT_EQ(5, host.events().count(DISPID_OnCurPageNumChanged));
}

TEST_F(DispatchTest, PageNumPutAcceptsValuesThatConvertToNumbers) {
  load(fiveTestPages());
  auto result = putProperty(dispatch.get(), DISPID_PageNum, textVariant(L"2"));
  EXPECT_EQ(S_OK, result->hr);
  EXPECT_EQ(2, pageNum());
  result = putProperty(dispatch.get(), DISPID_PageNum, textVariant(L"two"));
  EXPECT_EQ(DISP_E_TYPEMISMATCH, result->hr);
  EXPECT_EQ(0u, result->argError);
  EXPECT_EQ(2, pageNum());
}

TEST_F(DispatchTest, PageNumPutOutsideTheDocumentFailsAndChangesNothing) {
  struct Row {
    bool open;
    LONG page;
    const wchar_t* description;
  } rows[] = {
      {true, 5, L"Page 6 does not exist: the document has 5 pages."},
      {true, 100, L"Page 101 does not exist: the document has 5 pages."},
      {true, -1, L"Page 0 does not exist: the document has 5 pages."},
      {false, 0, L"Page 1 does not exist: no document is open."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.page);
    if (row.open) {
      load(fiveTestPages());
      setPage(2);
    } else {
      ASSERT_EQ(S_OK, putProperty(dispatch.get(), DISPID_FileName, textVariant(L""))->hr);
    }
    host.events().reset();
    auto result = putProperty(dispatch.get(), DISPID_PageNum, longVariant(row.page));
    EXPECT_EQ(DISP_E_EXCEPTION, result->hr);
    EXPECT_EQ(E_INVALIDARG, result->scode);
    EXPECT_EQ(narrow(row.description), narrow(result->description));
    EXPECT_EQ(narrow(row.description), narrow(lastErrorDescription()));
    EXPECT_EQ(row.open ? 2 : -1, pageNum());
    EXPECT_EQ(0, host.events().count(DISPID_OnCurPageNumChanged));
  }
}

TEST_F(DispatchTest, EmptyOrNullFileNameCloses) {
  VARIANT empty;
  VariantInit(&empty);
  VARIANT closers[] = {textVariant(L""), textVariant(nullptr), empty};
  for (size_t i = 0; i < std::size(closers); ++i) {
    SCOPED_TRACE(i);
    load(fiveTestPages());
    setPage(3);
    host.events().reset();
    EXPECT_EQ(S_OK, putProperty(dispatch.get(), DISPID_FileName, closers[i])->hr);
    EXPECT_EQ(0, pageCount());
    EXPECT_EQ(-1, pageNum());
    EXPECT_EQ(1, host.events().count(DISPID_OnCurPageNumChanged));
    EXPECT_EQ(1, host.events().count(DISPID_OnPageCountChanged));
  }
}

TEST_F(DispatchTest, AFileThatFailsToLoadLeavesNoDocument) {
  const std::wstring missing = testFolder() + L"missing.mdi";
  for (const std::wstring& path : {notADocument(), missing}) {
    SCOPED_TRACE(narrow(path));
    load(fiveTestPages());
    host.events().reset();
    auto result = putProperty(dispatch.get(), DISPID_FileName, textVariant(path.c_str()));
    EXPECT_EQ(DISP_E_EXCEPTION, result->hr);
    EXPECT_EQ(kLoadFailed, result->scode);
    EXPECT_FALSE(result->description.empty());
    EXPECT_EQ(narrow(result->description), narrow(lastErrorDescription()));
    EXPECT_EQ(0, pageCount());
    EXPECT_EQ(-1, pageNum());
    EXPECT_EQ(1, host.events().count(DISPID_OnCurPageNumChanged));
  }
}

TEST_F(DispatchTest, FitModeTakesOneToFourAndRefusesOthers) {
  load(fiveTestPages());
  for (LONG mode : {1, 2, 3, 4, 1}) {
    SCOPED_TRACE(mode);
    setFit(mode);
    EXPECT_EQ(mode, readLong(DISPID_FitMode));
  }
  for (LONG mode : {0, 5, -1}) {
    SCOPED_TRACE(mode);
    auto result = putProperty(dispatch.get(), DISPID_FitMode, longVariant(mode));
    EXPECT_EQ(DISP_E_EXCEPTION, result->hr);
    EXPECT_EQ(E_INVALIDARG, result->scode);
    EXPECT_EQ("Fit mode " + std::to_string(mode) +
                  " does not exist: use 1 (width), 2 (height), 3 (window) or 4 (text).",
              narrow(result->description));
    EXPECT_EQ(1, readLong(DISPID_FitMode));
  }
}

TEST_F(DispatchTest, FitModeChangesRaiseFitAndScaleEvents) {
  load(fiveTestPages());
  setFit(3);
  host.events().reset();
  setFit(1);  // the 400 x 300 page is wider than high: fitting the width enlarges it
  EXPECT_EQ(1, host.events().count(DISPID_OnFitmodeChanged));
  EXPECT_EQ(1, host.events().count(DISPID_OnScaleChanged));
  EXPECT_EQ(1, host.events().count(DISPID_OnVisibleRectChanged));
}

TEST_F(DispatchTest, OtherIdsAndAccessesAreNotMembers) {
  load(fiveTestPages());
  struct Row {
    DISPID id;
    bool put;
  } rows[] = {{0, false},
              {5, false},
              {9, false},
              {11, false},
              {99, false},
              {-5, false},
              {DISPID_PageCount, true},
              {DISPID_DocumentObject, true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    auto result = row.put ? putProperty(dispatch.get(), row.id, longVariant(1))
                          : getProperty(dispatch.get(), row.id);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, result->hr);
  }
  EXPECT_EQ(5, pageCount());
}

TEST_F(DispatchTest, NamesResolveToTheDispatchIds) {
  struct Row {
    const wchar_t* name;
    DISPID id;
  } rows[] = {{L"DocumentObject", 1},
              {L"FileName", 2},
              {L"PageNum", 3},
              {L"pagecount", 4},
              {L"FitMode", 10}};
  for (const Row& row : rows) {
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(row.name);
    EXPECT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id));
    EXPECT_EQ(row.id, id);
  }
  DISPID id = 0;
  LPOLESTR unknown = const_cast<LPOLESTR>(L"Zoom");
  EXPECT_EQ(DISP_E_UNKNOWNNAME, dispatch->GetIDsOfNames(IID_NULL, &unknown, 1, 0, &id));
  EXPECT_EQ(DISPID_UNKNOWN, id);
}

TEST_F(DispatchTest, DocumentObjectIsADispatchAnsweringIDocumentObject) {
  load(fiveTestPages());
  auto first = getProperty(dispatch.get(), DISPID_DocumentObject);
  ASSERT_EQ(S_OK, first->hr);
  ASSERT_EQ(VT_DISPATCH, V_VT(&first->value));
  ASSERT_NE(nullptr, V_DISPATCH(&first->value));
  ComPtr<IDocumentObject> document;
  EXPECT_EQ(S_OK,
            V_DISPATCH(&first->value)->QueryInterface(IID_IDocumentObject, document.putVoid()));
  // The same object while the same document is shown, another after a new load.
  auto again = getProperty(dispatch.get(), DISPID_DocumentObject);
  EXPECT_EQ(V_DISPATCH(&first->value), V_DISPATCH(&again->value));
  load(fiveTestPages());
  auto reloaded = getProperty(dispatch.get(), DISPID_DocumentObject);
  EXPECT_NE(V_DISPATCH(&first->value), V_DISPATCH(&reloaded->value));
}

TEST_F(DispatchTest, ErrorInfoIsSupportedForTheDefaultInterface) {
  auto support =
      ComPtr<IUnknown>::share(host.control()).as<ISupportErrorInfo>(IID_ISupportErrorInfo);
  ASSERT_TRUE(support);
  EXPECT_EQ(S_OK, support->InterfaceSupportsErrorInfo(IID_IMiDocView));
}

using KeyTest = HostedControl;

MSG keyDown(HWND window, UINT key) {
  MSG message{};
  message.hwnd = window;
  message.message = WM_KEYDOWN;
  message.wParam = key;
  return message;
}

// Holds keys down in the thread's keyboard state for as long as it lives.
class HeldKeys {
 public:
  explicit HeldKeys(std::initializer_list<BYTE> keys) {
    GetKeyboardState(saved_);
    BYTE state[256];
    std::copy(std::begin(saved_), std::end(saved_), state);
    for (BYTE key : keys) state[key] = 0x80;
    SetKeyboardState(state);
  }
  ~HeldKeys() { SetKeyboardState(saved_); }

 private:
  BYTE saved_[256];
};

TEST_F(KeyTest, PlainPageKeysPageAndRaiseEventSix) {
  load(fiveTestPages());
  auto active = ComPtr<IUnknown>::share(host.control())
                    .as<IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject);
  ASSERT_TRUE(active);
  host.events().reset();
  MSG next = keyDown(host.controlWindow(), VK_NEXT);
  EXPECT_EQ(S_OK, active->TranslateAccelerator(&next));
  EXPECT_EQ(1, pageNum());
  MSG previous = keyDown(host.controlWindow(), VK_PRIOR);
  EXPECT_EQ(S_OK, active->TranslateAccelerator(&previous));
  EXPECT_EQ(0, pageNum());
  EXPECT_EQ(2, host.events().count(DISPID_OnCurPageNumChanged));
  // The window itself pages too, for hosts that do not translate.
  SendMessageW(host.controlWindow(), WM_KEYDOWN, VK_NEXT, 0);
  EXPECT_EQ(1, pageNum());
  EXPECT_EQ(3, host.events().count(DISPID_OnCurPageNumChanged));
}

TEST_F(KeyTest, KeysWithCtrlAltOrShiftAndOtherKeysAreLeftToTheHost) {
  load(fiveTestPages());
  auto active = ComPtr<IUnknown>::share(host.control())
                    .as<IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject);
  ASSERT_TRUE(active);
  for (BYTE modifier : {VK_CONTROL, VK_MENU, VK_SHIFT}) {
    SCOPED_TRACE(modifier);
    HeldKeys held{modifier};
    for (UINT key : {VK_NEXT, VK_PRIOR, VK_DOWN, VK_UP, VK_LEFT, VK_RIGHT}) {
      MSG message = keyDown(host.controlWindow(), key);
      EXPECT_EQ(S_FALSE, active->TranslateAccelerator(&message)) << key;
    }
  }
  for (UINT key : {UINT('C'), UINT(VK_F1), UINT(VK_RETURN), UINT(VK_HOME)}) {
    MSG message = keyDown(host.controlWindow(), key);
    EXPECT_EQ(S_FALSE, active->TranslateAccelerator(&message)) << key;
  }
  EXPECT_EQ(0, pageNum());
}

TEST_F(KeyTest, PageKeysStopAtTheEnds) {
  load(fiveTestPages());
  auto active = ComPtr<IUnknown>::share(host.control())
                    .as<IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject);
  MSG previous = keyDown(host.controlWindow(), VK_PRIOR);
  host.events().reset();
  EXPECT_EQ(S_OK, active->TranslateAccelerator(&previous));
  EXPECT_EQ(0, pageNum());
  EXPECT_EQ(0, host.events().count(DISPID_OnCurPageNumChanged));
}

// The scroll position, through the control's own slot 19.
POINT scrollPosition(IUnknown* view) {
  POINT position{-1, -1};
  LONG x = -1, y = -1;
  EXPECT_EQ(S_OK, callSlot(view, 19, &x, &y));
  position.x = x;
  position.y = y;
  return position;
}

TEST_F(KeyTest, ArrowsWheelAndScrollBarsScroll) {
  load(fiveTestPages());
  ASSERT_EQ(S_OK, view->SetScale(4.0, 4.0));  // 1536 x 1152 pixels: larger than the view
  host.pump();
  auto active = ComPtr<IUnknown>::share(host.control())
                    .as<IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject);
  HWND window = host.controlWindow();
  struct Row {
    const char* what;
    std::function<void()> act;
    POINT expected;
  } rows[] = {
      {"arrow down",
       [&] {
         MSG m = keyDown(window, VK_DOWN);
         EXPECT_EQ(S_OK, active->TranslateAccelerator(&m));
       },
       {0, 40}},
      {"arrow right",
       [&] {
         MSG m = keyDown(window, VK_RIGHT);
         EXPECT_EQ(S_OK, active->TranslateAccelerator(&m));
       },
       {40, 40}},
      {"wheel one notch down",
       [&] { SendMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0); },
       {40, 160}},
      {"scroll bar line down",
       [&] { SendMessageW(window, WM_VSCROLL, SB_LINEDOWN, 0); },
       {40, 200}},
      {"scroll bar line left", [&] { SendMessageW(window, WM_HSCROLL, SB_LINEUP, 0); }, {0, 200}},
      {"arrow up",
       [&] {
         MSG m = keyDown(window, VK_UP);
         EXPECT_EQ(S_OK, active->TranslateAccelerator(&m));
       },
       {0, 160}},
  };
  for (Row& row : rows) {
    SCOPED_TRACE(row.what);
    host.events().reset();
    row.act();
    POINT position = scrollPosition(host.control());
    EXPECT_EQ(row.expected.x, position.x);
    EXPECT_EQ(row.expected.y, position.y);
    EXPECT_EQ(1, host.events().count(DISPID_OnVisibleRectChanged));
    EXPECT_EQ(0, pageNum());
  }
}

using DrawingTest = HostedControl;

COLORREF pixelAt(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  COLORREF colour = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return colour;
}

// Saves the window's client area as a BMP file, for a person to look at.
void saveWindow(HWND window, const char* path) {
  RECT client{};
  GetClientRect(window, &client);
  HDC dc = GetDC(window);
  HDC memory = CreateCompatibleDC(dc);
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = client.right;
  header.biHeight = client.bottom;
  header.biPlanes = 1;
  header.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
  GdiFlush();
  DWORD stride = ((client.right * 24 + 31) / 32) * 4;
  DWORD imageSize = stride * client.bottom;
  BITMAPFILEHEADER file{0x4D42,
                        static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(header) + imageSize),
                        0, 0, sizeof(BITMAPFILEHEADER) + sizeof(header)};
  if (FILE* out = fopen(path, "wb")) {
    fwrite(&file, sizeof(file), 1, out);
    fwrite(&header, sizeof(header), 1, out);
    fwrite(bits, imageSize, 1, out);
    fclose(out);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, dc);
}

TEST_F(DrawingTest, ShowsThePageCentredOnGreyAndTheSelectionTinted) {
  load(fiveTestPages());
  setFit(3);
  host.pump();
  HWND window = host.controlWindow();
  RECT client{};
  GetClientRect(window, &client);
  saveWindow(window, "component-view.bmp");
  // The 4:3 page fills the height minus the margins and sits in the middle.
  EXPECT_EQ(RGB(128, 128, 128), pixelAt(window, 2, client.bottom / 2));
  EXPECT_EQ(RGB(128, 128, 128), pixelAt(window, client.right - 3, client.bottom / 2));
  EXPECT_EQ(RGB(0, 0, 0), pixelAt(window, client.right / 2, client.bottom / 2));  // the box
  const int pageHeight = client.bottom - 16;
  const int whiteY = client.bottom / 2 - pageHeight * 45 / 100;  // above the box
  EXPECT_EQ(RGB(255, 255, 255), pixelAt(window, client.right / 2, whiteY));

  ASSERT_EQ(S_OK, view->SelectPage(0));
  host.pump();
  saveWindow(window, "component-view-selected.bmp");
  COLORREF tinted = pixelAt(window, client.right / 2, whiteY);
  EXPECT_GT(GetBValue(tinted), GetRValue(tinted) + 30);
  EXPECT_LT(GetRValue(tinted), 255);
}

TEST_F(DrawingTest, ViewObjectDrawsThePageIntoAHostsDc) {
  load(fiveTestPages());
  setFit(3);
  auto viewObject = ComPtr<IUnknown>::share(host.control()).as<IViewObject2>(IID_IViewObject2);
  ASSERT_TRUE(viewObject);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 200, 150);
  HGDIOBJ old = SelectObject(memory, bitmap);
  RECTL bounds{0, 0, 200, 150};
  EXPECT_EQ(S_OK, viewObject->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory, &bounds,
                                   nullptr, nullptr, 0));
  EXPECT_EQ(RGB(0, 0, 0), GetPixel(memory, 100, 75));      // the box in the middle of the page
  EXPECT_EQ(RGB(128, 128, 128), GetPixel(memory, 1, 75));  // the grey around the page
  EXPECT_EQ(DV_E_DVASPECT, viewObject->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, memory,
                                            &bounds, nullptr, nullptr, 0));
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

TEST_F(DrawingTest, UiActivationHandsTheFrameTheActiveObjectAndTakesTheFocus) {
  auto object = ComPtr<IUnknown>::share(host.control()).as<IOleObject>(IID_IOleObject);
  ASSERT_TRUE(object);
  EXPECT_EQ(nullptr, host.activeObject());
  RECT client{};
  GetClientRect(host.window(), &client);
  ASSERT_EQ(S_OK, object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, nullptr, 0, host.window(), &client));
  EXPECT_NE(nullptr, host.activeObject());
  EXPECT_EQ(host.controlWindow(), GetFocus());
  DWORD status = 0;
  EXPECT_EQ(S_OK, object->GetMiscStatus(DVASPECT_CONTENT, &status));
  EXPECT_TRUE(status & OLEMISC_SETCLIENTSITEFIRST);
  auto inPlace = object.as<IOleInPlaceObject>(IID_IOleInPlaceObject);
  EXPECT_EQ(S_OK, inPlace->UIDeactivate());
  EXPECT_EQ(nullptr, host.activeObject());
}

// The neighbours are prepared on another thread while the page is read: each flip shows its
// own page, also when the document changes while a neighbour is in hand.
TEST_F(DrawingTest, EachFlipShowsItsOwnPageThoughNeighboursArePreparedMeanwhile) {
  load(fiveTestPages());
  setFit(3);
  HWND window = host.controlWindow();
  RECT client{};
  GetClientRect(window, &client);
  const POINT middle{client.right / 2, client.bottom / 2};
  auto red = [](COLORREF c) {
    return GetRValue(c) > 200 && GetGValue(c) < 60 && GetBValue(c) < 60;
  };
  auto blue = [](COLORREF c) {
    return GetBValue(c) > 200 && GetRValue(c) < 60 && GetGValue(c) < 60;
  };
  for (LONG page : {1, 2, 1, 0, 1, 2, 3, 4}) {
    SCOPED_TRACE(page);
    setPage(page);
    UpdateWindow(window);
    const COLORREF left = pixelAt(window, middle.x - 10, middle.y);
    const COLORREF right = pixelAt(window, middle.x + 10, middle.y);
    host.pump();
    switch (page) {
      case 0:  // the black box, under the middle
        EXPECT_EQ(RGB(0, 0, 0), left);
        break;
      case 4:  // the black box, right of the middle
        EXPECT_EQ(RGB(0, 0, 0), right);
        break;
      case 1:  // grey growing to the right
        EXPECT_EQ(GetRValue(left), GetBValue(left));
        EXPECT_LT(GetRValue(left), GetRValue(right));
        break;
      case 2:
        EXPECT_TRUE(red(left));
        EXPECT_TRUE(blue(right));
        break;
      case 3:  // blank
        EXPECT_EQ(RGB(255, 255, 255), left);
        break;
    }
  }
  // Page 2 of the five is in hand or ready; the A4 document's page 2 is white paper and text.
  setPage(1);
  UpdateWindow(window);
  load(a4Pages());
  setPage(2);
  UpdateWindow(window);
  EXPECT_FALSE(red(pixelAt(window, middle.x - 10, middle.y)));
  EXPECT_FALSE(blue(pixelAt(window, middle.x + 10, middle.y)));
}

}  // namespace
}  // namespace componenttest
