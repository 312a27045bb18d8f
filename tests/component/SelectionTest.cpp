// The selection objects: their text, and what each copy leaves on the clipboard.
#include <gtest/gtest.h>

#include "Fixture.h"

namespace componenttest {
namespace {

using namespace MODI_TLB;
using SelectionTest = HostedControl;

class Clipboard {
 public:
  Clipboard() { opened_ = OpenClipboard(nullptr); }
  ~Clipboard() {
    if (opened_) CloseClipboard();
  }
  bool opened() const { return opened_; }

 private:
  bool opened_;
};

std::wstring clipboardText() {
  Clipboard clipboard;
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (!data) return L"(no text)";
  std::wstring text = static_cast<const wchar_t*>(GlobalLock(data));
  GlobalUnlock(data);
  return text;
}

void putMarkerText() {
  Clipboard clipboard;
  ASSERT_TRUE(clipboard.opened());
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 16);
  memcpy(GlobalLock(block), L"marker", 14);
  GlobalUnlock(block);
  SetClipboardData(CF_UNICODETEXT, block);
}

ComPtr<IMiSelectableItem> textSelection(IMiDocView* view) {
  ComPtr<IDispatch> selection;
  EXPECT_EQ(S_OK, view->get_TextSelection(selection.put()));
  return selection.as<IMiSelectableItem>(IID_IMiSelectableItem);
}

ComPtr<IMiSelectableImage> imageSelection(IMiDocView* view) {
  ComPtr<IDispatch> selection;
  EXPECT_EQ(S_OK, view->get_ImageSelection(selection.put()));
  return selection.as<IMiSelectableImage>(IID_IMiSelectableImage);
}

std::wstring selectionText(IMiSelectableItem* item, bool raw) {
  BSTR text = nullptr;
  HRESULT hr = raw ? callSlot(item, 8, &text) : item->get_SelectionText(&text);
  EXPECT_EQ(S_OK, hr);
  std::wstring result = text ? std::wstring(text, SysStringLen(text)) : L"";
  SysFreeString(text);
  return result;
}

TEST_F(SelectionTest, SelectionTextIsTheSelectedPagesText) {
  load(fiveTestPages());
  struct Row {
    LONG page;
    const wchar_t* text;
    bool raw;
  } rows[] = {{0, L"First page", true},
              {1, L"", false},
              {2, L"Third", true},
              {3, L"\u00DCn\u00EFcode \u041F\u0440\u0438\u0432\u0435\u0442", false},
              {-1, L"", true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.page);
    ASSERT_EQ(S_OK, view->SelectPage(row.page));
    EXPECT_EQ(narrow(row.text), narrow(selectionText(textSelection(view.get()).get(), row.raw)));
  }
}

TEST_F(SelectionTest, TextCopyPutsUnicodeTextOnTheClipboard) {
  load(fiveTestPages());
  struct Row {
    LONG page;
    const wchar_t* text;
    bool raw;
  } rows[] = {{3, L"\u00DCn\u00EFcode \u041F\u0440\u0438\u0432\u0435\u0442", true},
              {0, L"First page", false},
              {1, L"", true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.page);
    putMarkerText();
    ASSERT_EQ(S_OK, callSlot(view.get(), 32, row.page));
    auto item = textSelection(view.get());
    EXPECT_EQ(S_OK, row.raw ? callSlot(item.get(), 7) : item->CopyToClipboard());
    EXPECT_EQ(narrow(row.text), narrow(clipboardText()));
  }
}

TEST_F(SelectionTest, CopiesWithoutSelectionFailAndLeaveTheClipboard) {
  load(fiveTestPages());
  ASSERT_EQ(S_OK, view->SelectPage(-1));
  putMarkerText();
  auto item = textSelection(view.get());
  EXPECT_EQ(kNoSelection, callSlot(item.get(), 7));
  EXPECT_EQ("Nothing is selected: select a page first.", narrow(lastErrorDescription()));
  auto image = imageSelection(view.get());
  EXPECT_EQ(kNoSelection, callSlot(image.get(), 7, LONG(1), LONG(1)));
  EXPECT_EQ("Nothing is selected: select a page first.", narrow(lastErrorDescription()));
  EXPECT_EQ(kNoSelection, image->CopyToClipboard(1, 1));
  EXPECT_EQ("marker", narrow(clipboardText()));
  auto support = image.as<ISupportErrorInfo>(IID_ISupportErrorInfo);
  ASSERT_TRUE(support);
  EXPECT_EQ(S_OK, support->InterfaceSupportsErrorInfo(IID_IMiSelectableImage));
}

TEST_F(SelectionTest, ASelectionKeepsItsPageAfterTheSelectionMoves) {
  load(fiveTestPages());
  ASSERT_EQ(S_OK, view->SelectPage(2));
  auto item = textSelection(view.get());
  ASSERT_EQ(S_OK, view->SelectPage(0));
  EXPECT_EQ("Third", narrow(selectionText(item.get(), true)));
}

struct Bitmaps {
  BITMAP bitmap{};           // CF_BITMAP's
  std::vector<uint8_t> dib;  // CF_DIB's bytes
  bool hasText = false;
};

Bitmaps clipboardBitmaps() {
  Bitmaps result;
  Clipboard clipboard;
  if (HBITMAP bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP)))
    GetObjectW(bitmap, sizeof(result.bitmap), &result.bitmap);
  if (HANDLE dib = GetClipboardData(CF_DIB)) {
    auto* bytes = static_cast<const uint8_t*>(GlobalLock(dib));
    result.dib.assign(bytes, bytes + GlobalSize(dib));
    GlobalUnlock(dib);
  }
  result.hasText = IsClipboardFormatAvailable(CF_UNICODETEXT);
  return result;
}

TEST_F(SelectionTest, ImageCopyKeepsThePagesSizeAndDepth) {
  load(fiveTestPages());
  for (LONG page = 0; page < 5; ++page) {
    SCOPED_TRACE(page);
    putMarkerText();
    ASSERT_EQ(S_OK, view->SelectPage(page));
    auto image = imageSelection(view.get());
    EXPECT_EQ(S_OK,
              page % 2 ? image->CopyToClipboard(1, 1) : callSlot(image.get(), 7, LONG(1), LONG(1)));
    Bitmaps copied = clipboardBitmaps();
    EXPECT_FALSE(copied.hasText);  // replaced, not added
    EXPECT_EQ(kFivePageWidths[page], copied.bitmap.bmWidth);
    EXPECT_EQ(kFivePageHeights[page], copied.bitmap.bmHeight);
    EXPECT_EQ(kFivePageBits[page], copied.bitmap.bmBitsPixel * copied.bitmap.bmPlanes);
    ASSERT_GE(copied.dib.size(), sizeof(BITMAPINFOHEADER));
    auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(copied.dib.data());
    EXPECT_EQ(kFivePageWidths[page], header->biWidth);
    EXPECT_EQ(kFivePageHeights[page], header->biHeight);
    EXPECT_EQ(kFivePageBits[page], header->biBitCount);
    auto* colours = reinterpret_cast<const RGBQUAD*>(copied.dib.data() + header->biSize);
    if (header->biBitCount == 1) {
      EXPECT_EQ(0, colours[0].rgbRed + colours[0].rgbGreen + colours[0].rgbBlue);
      EXPECT_EQ(3 * 255, colours[1].rgbRed + colours[1].rgbGreen + colours[1].rgbBlue);
    }
    if (header->biBitCount == 8) {
      for (int i : {0, 100, 255}) {
        EXPECT_EQ(i, colours[i].rgbRed);
        EXPECT_EQ(i, colours[i].rgbGreen);
        EXPECT_EQ(i, colours[i].rgbBlue);
      }
    }
  }
}

// A pixel of the clipboard's DIB (rows bottom-up), as black (0) or white (1) for 1 bit.
int dibBit(const std::vector<uint8_t>& dib, int x, int y) {
  auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(dib.data());
  const size_t stride = ((header->biWidth + 31) / 32) * 4;
  const uint8_t* rows = dib.data() + header->biSize + 2 * sizeof(RGBQUAD);
  const uint8_t* row = rows + (header->biHeight - 1 - y) * stride;
  return (row[x / 8] >> (7 - x % 8)) & 1;
}

TEST_F(SelectionTest, ImageCopyCarriesThePagesPixels) {
  load(fiveTestPages());
  ASSERT_EQ(S_OK, view->SelectPage(0));
  ASSERT_EQ(S_OK, imageSelection(view.get())->CopyToClipboard(1, 1));
  Bitmaps copied = clipboardBitmaps();
  struct Row {
    int x, y, bit;
  } rows[] = {{200, 100, 0}, {100, 50, 0}, {299, 249, 0}, {99, 100, 1}, {10, 10, 1}, {399, 299, 1}};
  for (const Row& row : rows)
    EXPECT_EQ(row.bit, dibBit(copied.dib, row.x, row.y)) << row.x << "," << row.y;
}

TEST_F(SelectionTest, ImageCopyArgumentsChooseReplacingAndDepth) {
  load(fiveTestPages());
  ASSERT_EQ(S_OK, view->SelectPage(0));
  auto image = imageSelection(view.get());
  putMarkerText();
  ASSERT_EQ(S_OK, image->CopyToClipboard(0, 0));  // added to the text, as colour
  Bitmaps copied = clipboardBitmaps();
  EXPECT_TRUE(copied.hasText);
  EXPECT_EQ(24, copied.bitmap.bmBitsPixel * copied.bitmap.bmPlanes);
  EXPECT_EQ(24, reinterpret_cast<const BITMAPINFOHEADER*>(copied.dib.data())->biBitCount);
  for (LONG bad : {2, -1}) {
    EXPECT_EQ(E_INVALIDARG, image->CopyToClipboard(bad, 1));
    EXPECT_EQ(
        "CopyToClipboard takes 1 or 0 twice: replace the clipboard's content, and keep the "
        "page's depth.",
        narrow(lastErrorDescription()));
  }
}

}  // namespace
}  // namespace componenttest
