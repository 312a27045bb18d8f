// IMiDocView by vtable slot: the slots the program calls, through its own
// declarations and by raw index, and the control's own slots 7 to 31.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "Fixture.h"

namespace componenttest {
namespace {

using namespace MODI_TLB;
using SlotTest = HostedControl;

const double kScreenDpi = 96;  // Wine's default; the expectations below follow from it

// The size the page takes on screen, read as the scroll range at the far end
// in a view too small for it.
SIZE contentSize(IUnknown* view, HWND window) {
  EXPECT_EQ(S_OK, callSlot(view, 20, LONG(1000000), LONG(1000000)));  // ScrollTo
  LONG x = 0, y = 0;
  EXPECT_EQ(S_OK, callSlot(view, 19, &x, &y));  // GetScrollPosition
  RECT client{};
  GetClientRect(window, &client);
  return SIZE{x + client.right, y + client.bottom};
}

TEST_F(SlotTest, SetScaleSlot23ShowsThePhysicalSizeAtScreenResolution) {
  load(fiveTestPages());
  host.resize(60, 60);  // smaller than each page below, so that they all scroll
  struct Row {
    LONG page;
    double scale;
    bool raw;
  } rows[] = {{0, 1.0, false}, {0, 2.0, true}, {1, 1.0, true}, {1, 0.5, false}, {2, 1.0, true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "page " << row.page << " scale " << row.scale);
    setPage(row.page);
    host.events().reset();
    HRESULT hr = row.raw ? callSlot(view.get(), 23, row.scale, row.scale)
                         : view->SetScale(row.scale, row.scale);
    EXPECT_EQ(S_OK, hr);
    double x = 0, y = 0;
    EXPECT_EQ(S_OK, callSlot(view.get(), 15, &x, &y));  // GetScale
    EXPECT_DOUBLE_EQ(row.scale, x);
    EXPECT_DOUBLE_EQ(row.scale, y);
    const double dpi = kFivePageDpi[row.page];
    SIZE size = contentSize(view.get(), host.controlWindow());
    EXPECT_EQ(std::lround(kFivePageWidths[row.page] * row.scale * kScreenDpi / dpi) + 16, size.cx);
    EXPECT_EQ(std::lround(kFivePageHeights[row.page] * row.scale * kScreenDpi / dpi) + 16, size.cy);
    EXPECT_EQ(0, readLong(DISPID_FitMode));  // a fixed scale replaces the fit mode
  }
}

TEST_F(SlotTest, SetScaleRaisesScaleAndFitModeEvents) {
  load(fiveTestPages());
  host.events().reset();
  ASSERT_EQ(S_OK, view->SetScale(2.0, 2.0));
  EXPECT_EQ(1, host.events().count(DISPID_OnScaleChanged));
  EXPECT_EQ(1, host.events().count(DISPID_OnFitmodeChanged));
  host.events().reset();
  ASSERT_EQ(S_OK, callSlot(view.get(), 23, 0.5, 0.5));
  EXPECT_EQ(1, host.events().count(DISPID_OnScaleChanged));
  EXPECT_EQ(0, host.events().count(DISPID_OnFitmodeChanged));
}

TEST_F(SlotTest, SetScaleRefusesScalesOutsideItsRange) {
  load(fiveTestPages());
  ASSERT_EQ(S_OK, view->SetScale(2.0, 2.0));
  struct Row {
    double scale;
    const char* shown;
  } rows[] = {{0.0, "0"}, {-1.0, "-1"}, {100.0, "100"}, {0.01, "0.01"}, {NAN, nullptr}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.scale);
    EXPECT_EQ(E_INVALIDARG, callSlot(view.get(), 23, row.scale, 1.0));
    if (row.shown) {
      EXPECT_EQ(std::string("The scale ") + row.shown +
                    " is outside the range 0.02 to 32 (1 shows the page at its real size).",
                narrow(lastErrorDescription()));
    }
    double x = 0, y = 0;
    callSlot(view.get(), 15, &x, &y);
    EXPECT_EQ(2.0, x);
  }
}

TEST_F(SlotTest, FitModesFitTheWidthTheHeightThePageAndTheContent) {
  load(fiveTestPages());
  RECT client{};
  GetClientRect(host.controlWindow(), &client);
  const double availableWidth = client.right - 16, availableHeight = client.bottom - 16;
  struct Row {
    LONG page;
    LONG mode;
    double expected;  // scale
  } rows[] = {
      {0, 1, availableWidth / (400 * kScreenDpi / 100)},
      {0, 2, availableHeight / (300 * kScreenDpi / 100)},
      {0, 3, std::min(availableWidth / 384, availableHeight / 288)},
      {4, 3, std::min(availableWidth / 960, availableHeight / 480)},
      {4, 4,
       std::min(availableWidth / (600 * kScreenDpi / 200),
                availableHeight / (400 * kScreenDpi / 200))},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "page " << row.page << " mode " << row.mode);
    setPage(row.page);
    setFit(row.mode);
    double x = 0, y = 0;
    EXPECT_EQ(S_OK, callSlot(view.get(), 15, &x, &y));
    EXPECT_NEAR(row.expected, x, 1e-9);
    EXPECT_NEAR(row.expected, y, 1e-9);
  }
  // Fitting the content also brings it to the middle of the view.
  LONG left = 0, top = 0, right = 0, bottom = 0;
  EXPECT_EQ(S_OK, callSlot(view.get(), 21, &left, &top, &right, &bottom));  // GetVisibleRect
  EXPECT_LE(left, kPageFourBox.left);
  EXPECT_GE(right, kPageFourBox.right);
  EXPECT_LE(top, kPageFourBox.top);
  EXPECT_GE(bottom, kPageFourBox.bottom);
  EXPECT_NEAR((kPageFourBox.left + kPageFourBox.right) / 2.0, (left + right) / 2.0, 3);
  EXPECT_NEAR((kPageFourBox.top + kPageFourBox.bottom) / 2.0, (top + bottom) / 2.0, 3);
}

TEST_F(SlotTest, SelectPageSlot32SelectsWholePagesWithoutMovingTheCurrentPage) {
  load(fiveTestPages());
  setPage(1);
  struct Row {
    LONG page;
    bool raw;
    HRESULT hr;
    LONG selected;  // afterwards
    int events;     // selection-changed events
    const char* description;
  } rows[] = {
      {2, true, S_OK, 2, 1, nullptr},
      {2, false, S_OK, 2, 0, nullptr},
      {4, false, S_OK, 4, 1, nullptr},
      {5, true, E_INVALIDARG, 4, 0, "Page 6 does not exist: the document has 5 pages."},
      {-2, true, E_INVALIDARG, 4, 0, "Page -1 does not exist: the document has 5 pages."},
      {-1, true, S_OK, -1, 1, nullptr},
      {0, true, S_OK, 0, 1, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.page);
    host.events().reset();
    HRESULT hr = row.raw ? callSlot(view.get(), 32, row.page) : view->SelectPage(row.page);
    EXPECT_EQ(row.hr, hr);
    if (row.description) {
      EXPECT_EQ(row.description, narrow(lastErrorDescription()));
    }
    LONG selected = -9;
    EXPECT_EQ(S_OK, callSlot(view.get(), 25, &selected));  // get_SelectedPage
    EXPECT_EQ(row.selected, selected);
    EXPECT_EQ(row.events, host.events().count(DISPID_OnSelectionChanged));
    EXPECT_EQ(1, pageNum());
    EXPECT_EQ(0, host.events().count(DISPID_OnCurPageNumChanged));
  }
}

TEST_F(SlotTest, SelectionSlots28And30AnswerTheSelectionInterfaces) {
  load(fiveTestPages());
  IDispatch* text = nullptr;
  ASSERT_EQ(S_OK, callSlot(view.get(), 28, &text));
  ASSERT_NE(nullptr, text);
  ComPtr<IUnknown> item;
  EXPECT_EQ(S_OK, text->QueryInterface(IID_IMiSelectableItem, item.putVoid()));
  text->Release();
  IDispatch* image = nullptr;
  ASSERT_EQ(S_OK, callSlot(view.get(), 30, &image));
  ASSERT_NE(nullptr, image);
  ComPtr<IUnknown> picture;
  EXPECT_EQ(S_OK, image->QueryInterface(IID_IMiSelectableImage, picture.putVoid()));
  image->Release();
  // Through the program's declarations too.
  ComPtr<IDispatch> typed;
  EXPECT_EQ(S_OK, view->get_TextSelection(typed.put()));
  EXPECT_TRUE(typed.as<IMiSelectableItem>(IID_IMiSelectableItem));
  EXPECT_EQ(S_OK, view->get_ImageSelection(typed.put()));
  EXPECT_TRUE(typed.as<IMiSelectableImage>(IID_IMiSelectableImage));
}

std::wstring takeBstr(BSTR text) {
  std::wstring result = text ? std::wstring(text, SysStringLen(text)) : L"(null)";
  SysFreeString(text);
  return result;
}

// The control's properties read the same through IDispatch and through their slots, and a
// turned page's size is the page as it is seen, from the control and its document object.
TEST_F(SlotTest, TurnedPageReadsAlikeThroughDispatchAndSlots) {
  load(turnedPages());
  IUnknown* v = view.get();
  ASSERT_EQ(S_OK, callSlot(v, 11, LONG(1)));  // put_PageNum: the turned page
  setFit(4);                                  // by dispatch id
  LONG value = -1;
  for (auto [id, slot] : {std::pair{DISPID_PageNum, 10}, {DISPID_PageCount, 12},
                          {DISPID_FitMode, 13}}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(S_OK, callSlot(v, slot, &value));
    EXPECT_EQ(readLong(id), value);
  }
  EXPECT_EQ(1, pageNum());
  EXPECT_EQ(4, readLong(DISPID_FitMode));
  BSTR name = nullptr;
  EXPECT_EQ(S_OK, callSlot(v, 8, &name));  // get_FileName
  auto byId = getProperty(dispatch.get(), DISPID_FileName);
  ASSERT_EQ(VT_BSTR, V_VT(&byId->value));
  EXPECT_EQ(narrow(turnedPages()), narrow(V_BSTR(&byId->value)));
  EXPECT_EQ(narrow(V_BSTR(&byId->value)), narrow(name ? name : L"(null)"));
  SysFreeString(name);

  IDispatch* document = nullptr;
  ASSERT_EQ(S_OK, callSlot(v, 7, &document));  // get_DocumentObject
  auto documentById = getProperty(dispatch.get(), DISPID_DocumentObject);
  EXPECT_EQ(document, V_DISPATCH(&documentById->value));  // the one object of the document
  LONG width = 0, height = 0;
  EXPECT_EQ(S_OK, callSlot(v, 16, LONG(1), &width, &height));  // GetPageSize
  EXPECT_EQ(120, width);
  EXPECT_EQ(300, height);
  width = height = 0;
  EXPECT_EQ(S_OK, callSlot(document, 9, LONG(1), &width, &height));  // the object's GetPageSize
  EXPECT_EQ(120, width);
  EXPECT_EQ(300, height);
  if (document) document->Release();
}

// Slots 7 to 31 are the control's own; each does what its name says.
TEST_F(SlotTest, OwnSlotsSevenToThirtyOne) {
  IUnknown* v = view.get();
  const std::wstring path = fiveTestPages();
  BSTR name = SysAllocString(path.c_str());
  EXPECT_EQ(S_OK, callSlot(v, 9, name));  // put_FileName
  SysFreeString(name);
  BSTR text = nullptr;
  EXPECT_EQ(S_OK, callSlot(v, 8, &text));  // get_FileName
  EXPECT_EQ(narrow(path), narrow(takeBstr(text)));

  IDispatch* document = nullptr;
  EXPECT_EQ(S_OK, callSlot(v, 7, &document));  // get_DocumentObject
  ASSERT_NE(nullptr, document);
  ComPtr<IUnknown> documentObject;
  EXPECT_EQ(S_OK, document->QueryInterface(IID_IDocumentObject, documentObject.putVoid()));
  document->Release();

  LONG value = -9;
  EXPECT_EQ(S_OK, callSlot(v, 11, LONG(3)));  // put_PageNum
  EXPECT_EQ(S_OK, callSlot(v, 10, &value));   // get_PageNum
  EXPECT_EQ(3, value);
  EXPECT_EQ(E_INVALIDARG, callSlot(v, 11, LONG(7)));
  EXPECT_EQ(S_OK, callSlot(v, 12, &value));  // get_PageCount
  EXPECT_EQ(5, value);
  EXPECT_EQ(S_OK, callSlot(v, 14, LONG(2)));  // put_FitMode
  EXPECT_EQ(S_OK, callSlot(v, 13, &value));   // get_FitMode
  EXPECT_EQ(2, value);
  EXPECT_EQ(E_INVALIDARG, callSlot(v, 14, LONG(9)));

  LONG width = 0, height = 0;
  EXPECT_EQ(S_OK, callSlot(v, 16, LONG(1), &width, &height));  // GetPageSize
  EXPECT_EQ(256, width);
  EXPECT_EQ(100, height);
  EXPECT_EQ(E_INVALIDARG, callSlot(v, 16, LONG(5), &width, &height));
  double dpiX = 0, dpiY = 0;
  EXPECT_EQ(S_OK, callSlot(v, 17, LONG(2), &dpiX, &dpiY));  // GetPageResolution
  EXPECT_EQ(200.0, dpiX);                                   // none in the file
  EXPECT_EQ(S_OK, callSlot(v, 17, LONG(0), &dpiX, &dpiY));
  EXPECT_EQ(100.0, dpiY);
  EXPECT_EQ(S_OK, callSlot(v, 18, LONG(0), &text));  // get_PageText
  EXPECT_EQ("First page", narrow(takeBstr(text)));

  EXPECT_EQ(S_OK, callSlot(v, 23, 6.0, 6.0));            // page 3 at 1152 x 1152 pixels
  EXPECT_EQ(S_OK, callSlot(v, 20, LONG(30), LONG(50)));  // ScrollTo
  LONG x = 0, y = 0;
  EXPECT_EQ(S_OK, callSlot(v, 19, &x, &y));  // GetScrollPosition
  EXPECT_EQ(30, x);
  EXPECT_EQ(50, y);
  LONG left = -1, top = -1, right = -1, bottom = -1;
  EXPECT_EQ(S_OK, callSlot(v, 21, &left, &top, &right, &bottom));  // GetVisibleRect
  EXPECT_GT(left, 0);
  EXPECT_GT(top, 0);
  EXPECT_LT(right, 300);
  EXPECT_LT(bottom, 300);

  OLE_COLOR colour = 0;
  EXPECT_EQ(S_OK, callSlot(v, 24, OLE_COLOR(RGB(10, 20, 30))));  // put_BackColor
  EXPECT_EQ(S_OK, callSlot(v, 22, &colour));                     // get_BackColor
  EXPECT_EQ(RGB(10, 20, 30), colour);
  EXPECT_EQ(E_INVALIDARG, callSlot(v, 24, OLE_COLOR(0x7F000000)));

  EXPECT_EQ(S_OK, callSlot(v, 32, LONG(4)));
  EXPECT_EQ(S_OK, callSlot(v, 25, &value));  // get_SelectedPage
  EXPECT_EQ(4, value);

  host.events().reset();
  EXPECT_EQ(S_OK, callSlot(v, 26));  // NextPage
  EXPECT_EQ(4, pageNum());
  EXPECT_EQ(E_INVALIDARG, callSlot(v, 26));
  EXPECT_EQ("There is no next page: the document has 5 pages.", narrow(lastErrorDescription()));
  EXPECT_EQ(S_OK, callSlot(v, 27));  // PreviousPage
  EXPECT_EQ(3, pageNum());
  EXPECT_EQ(2, host.events().count(DISPID_OnCurPageNumChanged));

  VARIANT_BOOL open = VARIANT_FALSE;
  EXPECT_EQ(S_OK, callSlot(v, 29, &open));  // get_HasDocument
  EXPECT_EQ(VARIANT_TRUE, open);
  EXPECT_EQ(S_OK, callSlot(v, 31));  // Refresh
  EXPECT_EQ(3, pageNum());

  EXPECT_EQ(S_OK, callSlot(v, 9, static_cast<BSTR>(nullptr)));  // a null name closes
  EXPECT_EQ(S_OK, callSlot(v, 29, &open));
  EXPECT_EQ(VARIANT_FALSE, open);
  EXPECT_EQ(S_OK, callSlot(v, 10, &value));
  EXPECT_EQ(-1, value);
  EXPECT_EQ(E_INVALIDARG, callSlot(v, 27));
  EXPECT_EQ("There is no previous page: no document is open.", narrow(lastErrorDescription()));
}

// None of the slots with results may crash on a missing result pointer.
TEST_F(SlotTest, NullResultPointersFailWithEPointer) {
  load(fiveTestPages());
  IUnknown* v = view.get();
  void* null = nullptr;
  EXPECT_EQ(E_POINTER, callSlot(v, 7, null));
  EXPECT_EQ(E_POINTER, callSlot(v, 8, null));
  EXPECT_EQ(E_POINTER, callSlot(v, 10, null));
  EXPECT_EQ(E_POINTER, callSlot(v, 12, null));
  EXPECT_EQ(E_POINTER, callSlot(v, 13, null));
  EXPECT_EQ(E_POINTER, callSlot(v, 15, null, null));
  EXPECT_EQ(E_POINTER, callSlot(v, 16, LONG(0), null, null));
  EXPECT_EQ(E_POINTER, callSlot(v, 17, LONG(0), null, null));
  EXPECT_EQ(E_POINTER, callSlot(v, 18, LONG(0), null));
  EXPECT_EQ(E_POINTER, callSlot(v, 19, null, null));
  EXPECT_EQ(E_POINTER, callSlot(v, 21, null, null, null, null));
  EXPECT_EQ(E_POINTER, callSlot(v, 22, null));
  EXPECT_EQ(E_POINTER, callSlot(v, 25, null));
  EXPECT_EQ(E_POINTER, callSlot(v, 28, null));
  EXPECT_EQ(E_POINTER, callSlot(v, 29, null));
  EXPECT_EQ(E_POINTER, callSlot(v, 30, null));
}

}  // namespace
}  // namespace componenttest
