// Next and previous page, the page status in panel 1, and the page-numbered captions.
#include <gtest/gtest.h>

#include "tests/support/FormHarness.h"

using testing_support::FormHarness;
using testing_support::TempDir;
using testing_support::Wide;

namespace {

class NavigationTest : public testing::Test {
 protected:
  FormHarness h;
  TempDir dir;

  void Open(std::vector<std::wstring> pages) {
    std::string name = dir.write("doc" + std::to_string(pages.size()) + ".mdi", "x");
    h.fake.files[Wide(name)] = pages;
    h.form->OpenDocument(name);
    ASSERT_TRUE(h.form->Print0->Enabled);
  }
  std::vector<std::string> PageWrites() {
    std::vector<std::string> writes;
    for (const std::string& entry : h.fake.log)
      if (entry.rfind("PageNum=", 0) == 0) writes.push_back(entry);
    return writes;
  }
};

TEST_F(NavigationTest, NextAndPreviousMoveOnePageAndTheEventWritesTheStatus) {
  Open({L"1", L"2", L"3", L"4", L"5"});
  h.form->nxtPExecute();
  EXPECT_EQ(h.fake.pageNum, 1);
  EXPECT_EQ(h.Panel(1), "Page 2 of 5");
  h.form->nxtPExecute();
  EXPECT_EQ(h.Panel(1), "Page 3 of 5");
  h.form->prvPExecute();
  EXPECT_EQ(h.Panel(1), "Page 2 of 5");
  EXPECT_EQ(PageWrites(), (std::vector<std::string>{"PageNum=1", "PageNum=2", "PageNum=1"}));
  EXPECT_TRUE(h.modal.beeps.empty());
  EXPECT_TRUE(h.modal.messages.empty());
}

TEST_F(NavigationTest, AtEitherEndOneBeepAndNothingElse) {
  Open({L"1", L"2", L"3"});
  h.form->prvPExecute();
  EXPECT_EQ(h.modal.beeps, (std::vector<UINT>{0}));
  EXPECT_EQ(h.fake.pageNum, 0);
  EXPECT_EQ(h.Panel(1), "Page 1 of 3");
  h.fake.changePage(2);
  h.modal.beeps.clear();
  h.form->nxtPExecute();
  EXPECT_EQ(h.modal.beeps, (std::vector<UINT>{0}));
  EXPECT_EQ(h.fake.pageNum, 2);
  EXPECT_EQ(h.Panel(1), "Page 3 of 3");
  EXPECT_TRUE(h.modal.messages.empty());
}

TEST_F(NavigationTest, AOnePageDocumentBeepsBothWays) {
  Open({L"only"});
  h.form->nxtPExecute();
  h.form->prvPExecute();
  EXPECT_EQ(h.modal.beeps, (std::vector<UINT>{0, 0}));
  EXPECT_EQ(h.Panel(1), "Page 1 of 1");
}

TEST_F(NavigationTest, WithoutADocumentObjectPagingBeepsAndLeavesThePage) {
  Open({L"1", L"2", L"3"});
  // A document object that cannot print is no open document either.
  for (auto kind : {fakes::DocumentObjectKind::Null, fakes::DocumentObjectKind::NotDispatch,
                    fakes::DocumentObjectKind::DispatchOnly}) {
    h.fake.documentObject = kind;
    h.modal.beeps.clear();
    h.form->nxtPExecute();
    EXPECT_EQ(h.modal.beeps, (std::vector<UINT>{0}));
    EXPECT_EQ(h.fake.pageNum, 0);
    EXPECT_TRUE(PageWrites().empty());
  }
  h.fake.documentObject = fakes::DocumentObjectKind::Full;
  h.fake.fail["DocumentObject.get"] = {E_FAIL, L"no"};
  h.form->prvPExecute();
  EXPECT_EQ(h.modal.beeps.size(), 2u);
  EXPECT_TRUE(h.modal.messages.empty());
}

TEST_F(NavigationTest, EveryFailureOfPagingIsTheBeepAlone) {
  Open({L"1", L"2", L"3"});
  for (const char* call : {"PageNum.get", "PageNum.put"}) {
    h.fake.fail.clear();
    h.fake.fail[call] = {E_FAIL, L"refused"};
    h.modal.beeps.clear();
    h.form->nxtPExecute();
    EXPECT_EQ(h.modal.beeps, (std::vector<UINT>{0})) << call;
    EXPECT_TRUE(h.modal.messages.empty()) << call;
    EXPECT_EQ(h.Panel(1), "Page 1 of 3") << call;
  }
}

TEST_F(NavigationTest, TheStatusFollowsChangesMadeInsideTheControl) {
  Open({L"1", L"2", L"3", L"4"});
  h.fake.changePage(3);
  EXPECT_EQ(h.Panel(1), "Page 4 of 4");
  h.fake.changePage(-1);
  EXPECT_EQ(h.Panel(1), "");
  h.fake.changePage(-7);
  EXPECT_EQ(h.Panel(1), "");
  h.fake.changePage(0);
  EXPECT_EQ(h.Panel(1), "Page 1 of 4");
}

TEST_F(NavigationTest, AFailingStatusReadIsReportedAndThePanelKept) {
  Open({L"1", L"2"});
  h.fake.fail["PageCount.get"] = {E_FAIL, L"Count unknown"};
  EXPECT_EQ(h.fake.changePage(1), S_OK) << "the event returns normally";
  ASSERT_EQ(h.modal.messages.size(), 1u);
  EXPECT_EQ(h.modal.messages[0].text, "Count unknown.");
  EXPECT_EQ(h.modal.messages[0].caption, h.app.Title());
  EXPECT_EQ(h.Panel(1), "Page 1 of 2");
}

TEST_F(NavigationTest, OpeningAMenuRenumbersTheCaptions) {
  Open({L"1", L"2", L"3"});
  EXPECT_EQ(h.form->CopyText->Caption, "Copy page as &text");
  h.fake.changePage(1);
  EXPECT_EQ(h.form->CopyText->Caption, "Copy page as &text") << "a page change alone does not";
  h.form->popupPopup();
  EXPECT_EQ(h.form->CopyImage->Caption, "Copy page 2 as &image");
  EXPECT_EQ(h.form->CopyText->Caption, "Copy page 2 as &text");
  EXPECT_EQ(h.form->Save0->Caption, "Save page 2 as &bitmap...");
  h.fake.changePage(2);
  h.form->Edit1Click();
  EXPECT_EQ(h.form->CopyText->Caption, "Copy page 3 as &text");

  // The numbered captions stay once the document is closed, and the number
  // is the control's own plus one, whatever it is.
  h.form->Close1Click();
  EXPECT_EQ(h.form->Save0->Caption, "Save page 3 as &bitmap...");
  h.form->popupPopup();
  EXPECT_EQ(h.form->Save0->Caption, "Save page 0 as &bitmap...");
  h.fake.pageNum = -5;
  h.form->Edit1Click();
  EXPECT_EQ(h.form->CopyImage->Caption, "Copy page -4 as &image");
}

TEST_F(NavigationTest, TheEditMenuOpeningRenumbersThroughTheRealMenu) {
  Open({L"1", L"2", L"3"});
  h.fake.changePage(2);
  HMENU edit = GetSubMenu(GetMenu(h.form->Handle()), 1);
  SendMessageA(h.form->Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(edit), 1);
  char text[64] = "";
  GetMenuStringA(edit, 1, text, sizeof text, MF_BYPOSITION);
  EXPECT_STREQ(text, "Copy page 3 as &text\tCtrl+Alt+C");
  GetMenuStringA(edit, 0, text, sizeof text, MF_BYPOSITION);
  EXPECT_STREQ(text, "Copy &all document as text\tCtrl+A");
}

TEST_F(NavigationTest, AFailingReadWhileAMenuOpensIsShownAndCaptionsKept) {
  Open({L"1", L"2", L"3"});
  h.form->popupPopup();
  h.fake.changePage(2);
  h.fake.fail["PageNum.get"] = {E_FAIL, L"Lost the page"};
  HMENU edit = GetSubMenu(GetMenu(h.form->Handle()), 1);
  SendMessageA(h.form->Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(edit), 1);
  ASSERT_EQ(h.modal.messages.size(), 1u);
  EXPECT_EQ(h.modal.messages[0].text, "Lost the page.");
  EXPECT_EQ(h.form->CopyText->Caption, "Copy page 1 as &text");
}

}  // namespace
