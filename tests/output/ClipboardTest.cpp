// The clipboard commands on the fake control: the whole document's text as
// CF_TEXT bytes, the page copies through the component, and their failures.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "framework/Exception.h"
#include "tests/output/OutputTestSupport.h"
#include "tests/support/FormHarness.h"

using testing_support::ClipboardTextBytes;
using testing_support::FormHarness;
using Log = std::vector<std::string>;

namespace {

// The bytes of a literal, its explicit zeros included, without the implied one.
template <size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

const std::string kMarker = "earlier clipboard text";

class ClipboardTest : public testing::Test {
 protected:
  void SetUp() override {
    objectsBefore_ = fakes::liveObjects();
    testing_support::SetClipboardText(h.form->Handle(), kMarker);
    ASSERT_EQ(ClipboardTextBytes(), kMarker + '\0');
  }
  void TearDown() override {
    EXPECT_EQ(fakes::liveObjects(), objectsBefore_) << "a selection was not released";
  }
  void Open(std::vector<std::wstring> pages) {
    h.fake.openDocument(L"C:\\doc.mdi", std::move(pages));
  }
  // Ctrl+A, through the Edit menu as the user reaches the command.
  void PressCtrlA() { EXPECT_TRUE(h.PressKey('A', true)); }
  // The default error report's messages.
  std::vector<std::string> Reports() const {
    std::vector<std::string> texts;
    for (const auto& message : h.modal.messages) {
      EXPECT_EQ(message.type, static_cast<UINT>(MB_OK | MB_ICONSTOP)) << message.text;
      texts.push_back(message.text);
    }
    return texts;
  }

  FormHarness h;
  int objectsBefore_ = 0;
};

// Rows: page texts → the exact bytes of the CF_TEXT block.
struct TextCase {
  const char* name;
  std::vector<std::wstring> pages;
  std::string bytes;
};

TEST_F(ClipboardTest, WholeDocumentTextIsEveryPageWithALineBreakAfterEach) {
  ASSERT_EQ(GetACP(), 1252u) << "the rows below assume the Western code page";
  const std::vector<TextCase> rows = {
      {"three pages, the middle one empty", {L"A", L"", L"B"}, Bytes("A\r\n\r\nB\r\n\0")},
      {"one page", {L"Only page"}, Bytes("Only page\r\n\0")},
      {"no pages", {}, Bytes("\0")},
      {"a zero inside a page ends the text",
       {L"one", std::wstring(L"tw\0o", 4), L"three"},
       Bytes("one\r\ntw\0")},
      {"Cyrillic replaced on the Western code page",
       {L"\x041F\x0440\x0438\x0432\x0435\x0442",
        L"Espa\x00F1"
        L"a"},
       Bytes("??????\r\nEspa\xF1"
             "a\r\n\0")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Open(row.pages);
    PressCtrlA();
    EXPECT_EQ(ClipboardTextBytes(), row.bytes);
  }
  EXPECT_TRUE(h.modal.messages.empty());
}

TEST_F(ClipboardTest, WholeDocumentTextReadsEachPageInOrderAndLeavesTheLastSelected) {
  Open({L"A", L"", L"B"});
  h.fake.log.clear();
  h.form->sellAllTxtExecute();
  EXPECT_EQ(h.fake.log, (Log{"SelectPage(0)", "SelectionText", "SelectPage(1)", "SelectionText",
                             "SelectPage(2)", "SelectionText"}));
  EXPECT_EQ(h.fake.selection, 2);
}

TEST_F(ClipboardTest, WholeDocumentTextOnlyTextFormatIsPlacedByTheProgram) {
  Open({L"A"});
  h.form->sellAllTxtExecute();
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_EQ(GetClipboardOwner(), h.form->Handle());
  // The system may derive other text formats; no bitmap or private format comes from us.
  for (UINT format = EnumClipboardFormats(0); format; format = EnumClipboardFormats(format))
    EXPECT_TRUE(format == CF_TEXT || format == CF_UNICODETEXT || format == CF_OEMTEXT ||
                format == CF_LOCALE)
        << "format " << format;
  HANDLE block = GetClipboardData(CF_TEXT);
  EXPECT_NE(GlobalFlags(block) & GMEM_DISCARDED, static_cast<UINT>(GMEM_DISCARDED));
  CloseClipboard();
}

// Rows: an injected failure → the report, the clipboard untouched, where the selection stays.
struct FailureCase {
  const char* name;
  const char* call;
  int after;
  std::string report;
  LONG selection;
};

TEST_F(ClipboardTest, WholeDocumentTextFailuresReachTheDefaultReportAndLeaveTheClipboard) {
  const std::vector<FailureCase> rows = {
      {"page count", "PageCount.get", 0, "Component failed.", -1},
      {"second page's selection", "SelectPage", 1, "Component failed.", 0},
      {"third page's text", "SelectionText", 2, "Component failed.", 2},
      {"text selection", "TextSelection", 1, "Component failed.", 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Open({L"A", L"B", L"C"});
    h.fake.calls.clear();
    h.fake.fail.clear();
    h.fake.fail[row.call] = {E_FAIL, L"Component failed", row.after};
    h.modal.messages.clear();
    PressCtrlA();
    EXPECT_EQ(Reports(), std::vector<std::string>{row.report});
    EXPECT_EQ(ClipboardTextBytes(), kMarker + '\0');
    EXPECT_EQ(h.fake.selection, row.selection);
  }
}

TEST_F(ClipboardTest, WholeDocumentTextWithTheClipboardHeldByAnotherProgram) {
  Open({L"A"});
  {
    testing_support::ClipboardHeldElsewhere holder;
    ASSERT_TRUE(holder.holding());
    // Held from another thread, as another program holds it.
    PressCtrlA();
  }
  EXPECT_EQ(Reports(), std::vector<std::string>{"Cannot open clipboard."});
  EXPECT_EQ(ClipboardTextBytes(), kMarker + '\0');
}

// How fast is bench/run's to say; here only that a long document's text arrives whole.
TEST_F(ClipboardTest, WholeDocumentTextOfAThousandPages) {
  std::vector<std::wstring> pages(1000, std::wstring(3000, L'x'));
  Open(pages);
  h.form->sellAllTxtExecute();
  std::string bytes = ClipboardTextBytes();
  EXPECT_EQ(bytes.size(), 1000u * 3002u + 1u);
}

TEST_F(ClipboardTest, PageCopiesSelectTheCurrentPageAndAskTheComponent) {
  Open({L"one", L"two", L"three"});
  h.fake.pageNum = 1;
  h.fake.log.clear();
  h.form->CopyTextExecute();
  EXPECT_EQ(h.fake.log, (Log{"SelectPage(1)", "CopyToClipboard"}));
  EXPECT_EQ(h.fake.selection, 1);
  ASSERT_TRUE(OpenClipboard(nullptr));
  auto* text = static_cast<const wchar_t*>(GlobalLock(GetClipboardData(CF_UNICODETEXT)));
  EXPECT_EQ(std::wstring(text ? text : L""), L"two");
  CloseClipboard();

  h.fake.pageNum = 2;
  h.fake.log.clear();
  h.form->CopyImageExecute();
  EXPECT_EQ(h.fake.log, (Log{"SelectPage(2)", "CopyToClipboard(1,1)"}));
  EXPECT_EQ(h.fake.selection, 2);
  EXPECT_NE(testing_support::ClipboardBitmap(), nullptr);
}

TEST_F(ClipboardTest, PageCopyFailuresAreThrownWithTheComponentsText) {
  const std::vector<std::pair<const char*, void (TForm1::*)()>> rows = {
      {"PageNum.get", &TForm1::CopyTextExecute},
      {"SelectPage", &TForm1::CopyTextExecute},
      {"TextSelection", &TForm1::CopyTextExecute},
      {"Item.CopyToClipboard", &TForm1::CopyTextExecute},
      {"PageNum.get", &TForm1::CopyImageExecute},
      {"SelectPage", &TForm1::CopyImageExecute},
      {"ImageSelection", &TForm1::CopyImageExecute},
      {"Image.CopyToClipboard", &TForm1::CopyImageExecute},
  };
  for (const auto& [call, command] : rows) {
    SCOPED_TRACE(call);
    Open({L"one"});
    h.fake.fail.clear();
    h.fake.fail[call] = {E_FAIL, L"Refused here"};
    try {
      (h.form.get()->*command)();
      ADD_FAILURE() << "no failure";
    } catch (const framework::Exception& failure) {
      EXPECT_STREQ(failure.what(), "Refused here");
    }
  }
}

}  // namespace
