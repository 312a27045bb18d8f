// The key dispatch: the control first while it has the focus, then the context
// menu, then the main menu; opening handlers before the command.
#include <gtest/gtest.h>

#include "tests/support/FormHarness.h"

using testing_support::FormHarness;
using testing_support::TempDir;
using testing_support::Wide;

namespace {

class ShortCutTest : public testing::Test {
 protected:
  FormHarness h;
  TempDir dir;
  std::string doc = dir.write("doc.mdi", "x");
  std::map<std::string, int> ran;

  void SetUp() override {
    h.fake.files[Wide(doc)] = {L"one", L"two", L"three"};
    // Watch which command a key reaches, in place of what the command does.
    for (auto& action : h.form->acciones.Actions()) {
      TAction* a = action.get();
      a->OnExecute = [this, a] { ++ran[a->Name()]; };
    }
    h.form->CommandLine = "Folirex.exe";
    h.form->FormActivate();
  }

  void FocusView() {
    SetFocus(h.fake.innerWindow ? h.fake.innerWindow : h.fake.window);
    ASSERT_TRUE(h.form->mdi->ContainsFocus());
  }
  void FocusElsewhere() {
    SetFocus(h.form->Handle());
    SetFocus(h.form->status.Handle());
    ASSERT_FALSE(h.form->mdi->ContainsFocus());
  }
  void OpenDoc() {
    h.form->OpenDocument(doc);
    ASSERT_TRUE(h.form->Print0->Enabled);
  }
};

TEST_F(ShortCutTest, EveryActionShortCutFindsItsCommand) {
  OpenDoc();
  FocusElsewhere();
  struct Row {
    WORD key;
    bool ctrl, alt;
    const char* action;
  } rows[] = {
      {'O', true, false, "Open0"},     {'P', true, false, "Print0"},
      {'C', true, true, "CopyText"},   {'C', true, false, "CopyImage"},
      {VK_F3, true, false, "Zoom0"},   {VK_F2, true, false, "Zoom1"},
      {VK_F1, true, false, "Zoom2"},   {VK_F4, true, false, "Action1"},
      {VK_F5, true, false, "Action2"}, {VK_F6, true, false, "Action3"},
      {VK_F7, true, false, "Action4"}, {VK_NEXT, true, false, "nxtP"},
      {VK_PRIOR, true, false, "prvP"}, {'A', true, false, "sellAllTxt"},
  };
  for (const Row& row : rows) {
    ran.clear();
    EXPECT_TRUE(h.PressKey(row.key, row.ctrl, row.alt)) << row.action;
    EXPECT_EQ(ran, (std::map<std::string, int>{{row.action, 1}})) << row.action;
  }
}

TEST_F(ShortCutTest, CtrlSSavesOnlyFromTheView) {
  OpenDoc();
  FocusElsewhere();
  EXPECT_TRUE(h.PressKey('S', true)) << "the hidden Save as Text item takes it";
  EXPECT_TRUE(ran.empty());
  FocusView();
  EXPECT_TRUE(h.PressKey('S', true));
  EXPECT_EQ(ran["Save0"], 1);
}

TEST_F(ShortCutTest, DisabledCommandsDoNotRunButTheKeyIsTaken) {
  FocusView();
  for (WORD key : {WORD('P'), WORD(VK_F3), WORD(VK_NEXT), WORD('C')})
    EXPECT_TRUE(h.PressKey(key, true)) << key;
  EXPECT_TRUE(ran.empty());
  EXPECT_FALSE(h.PressKey('Q', true)) << "a key no item carries goes on";
}

TEST_F(ShortCutTest, SelectAllRunsWithoutADocument) {
  FocusElsewhere();
  EXPECT_TRUE(h.PressKey('A', true));
  EXPECT_EQ(ran["sellAllTxt"], 1);
}

TEST_F(ShortCutTest, PagingKeysExistFromTheFirstActivationOn) {
  FormHarness fresh;  // a window never activated
  fresh.fake.files[Wide(doc)] = {L"1", L"2"};
  fresh.form->OpenDocument(doc);
  EXPECT_FALSE(fresh.PressKey(VK_NEXT, true));
  EXPECT_EQ(fresh.fake.pageNum, 0);
  fresh.form->CommandLine = "Folirex.exe";
  fresh.form->FormActivate();
  EXPECT_TRUE(fresh.PressKey(VK_NEXT, true));
  EXPECT_EQ(fresh.fake.pageNum, 1);
}

TEST_F(ShortCutTest, OpeningHandlersRenumberCaptionsEvenForADisabledCommand) {
  h.fake.pageNum = 4;  // the control's own number, with no document
  FocusView();
  EXPECT_TRUE(h.PressKey('C', true));  // found in the context menu
  EXPECT_TRUE(ran.empty());
  EXPECT_EQ(h.form->CopyImage->Caption, "Copy page 5 as &image");
  EXPECT_EQ(h.form->CopyText->Caption, "Copy page 5 as &text");
  EXPECT_EQ(h.form->Save0->Caption, "Save page 5 as &bitmap...");

  h.fake.pageNum = 1;
  FocusElsewhere();
  EXPECT_TRUE(h.PressKey('C', true, true));  // found in the Edit menu
  EXPECT_EQ(h.form->CopyText->Caption, "Copy page 2 as &text");
}

TEST_F(ShortCutTest, KeysOfOtherMenusDoNotRenumber) {
  OpenDoc();
  FocusElsewhere();
  h.PressKey(VK_F3, true);  // View menu: no opening handler
  EXPECT_EQ(h.form->CopyImage->Caption, "Copy page as &image");
}

TEST_F(ShortCutTest, AFailingOpeningHandlerIsShownAndTheCommandStillRuns) {
  OpenDoc();
  FocusView();
  h.fake.fail["PageNum.get"] = {E_FAIL, L"No page here"};
  EXPECT_TRUE(h.PressKey('C', true));
  ASSERT_EQ(h.modal.messages.size(), 1u);
  EXPECT_EQ(h.modal.messages[0].text, "No page here.");
  EXPECT_EQ(h.modal.messages[0].caption, "Folirex");
  EXPECT_EQ(h.modal.messages[0].type, UINT(MB_OK | MB_ICONSTOP));
  EXPECT_EQ(ran["CopyImage"], 1);
  EXPECT_EQ(h.form->CopyImage->Caption, "Copy page as &image") << "captions unchanged";
}

TEST_F(ShortCutTest, KeysTheControlTakesGoNoFurther) {
  OpenDoc();
  h.fake.acceleratorKeys = {VK_F3, VK_NEXT};
  FocusView();
  EXPECT_TRUE(h.PressKey(VK_F3, true));
  EXPECT_TRUE(ran.empty());
  EXPECT_EQ(h.form->CopyImage->Caption, "Copy page as &image") << "no menu was searched";
  // Away from the view the control is not asked.
  FocusElsewhere();
  EXPECT_TRUE(h.PressKey(VK_F3, true));
  EXPECT_EQ(ran["Zoom0"], 1);
}

TEST_F(ShortCutTest, MenusShowShortCutTextBesideCaptions) {
  EXPECT_EQ(framework::ShortCutToText(h.form->Open0->ShortCut), "Ctrl+O");
  EXPECT_EQ(framework::ShortCutToText(h.form->CopyText->ShortCut), "Ctrl+Alt+C");
  EXPECT_EQ(framework::ShortCutToText(h.form->nxtP->ShortCut), "Ctrl+PgDn");
  EXPECT_EQ(framework::ShortCutToText(h.form->prvP->ShortCut), "Ctrl+PgUp");
  EXPECT_EQ(framework::ShortCutToText(h.form->Zoom0->ShortCut), "Ctrl+F3");
  EXPECT_EQ(framework::ShortCutToText(h.form->Exit0->ShortCut), "");
}

TEST_F(ShortCutTest, TheMenuBarShowsEditAndViewOnlyWithADocument) {
  auto barTexts = [&] {
    std::vector<std::string> texts;
    HMENU bar = GetMenu(h.form->Handle());
    for (int i = 0; i < GetMenuItemCount(bar); ++i) {
      char text[64] = "";
      GetMenuStringA(bar, i, text, sizeof text, MF_BYPOSITION);
      texts.push_back(text);
    }
    return texts;
  };
  EXPECT_EQ(barTexts(), (std::vector<std::string>{"&File", "&About"}));
  OpenDoc();
  EXPECT_EQ(barTexts(), (std::vector<std::string>{"&File", "&Edit", "&View", "&About"}));
  h.form->Close1Click();
  EXPECT_EQ(barTexts(), (std::vector<std::string>{"&File", "&About"}));
}

TEST_F(ShortCutTest, DropDownsListVisibleItemsWithTheirStateWhenOpened) {
  OpenDoc();
  h.form->Zoom0->Checked = true;
  h.form->Action1->Checked = false;
  HMENU bar = GetMenu(h.form->Handle());
  HMENU view = GetSubMenu(bar, 2);
  SendMessageA(h.form->Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(view), 2);
  std::vector<std::string> texts;
  for (int i = 0; i < GetMenuItemCount(view); ++i) {
    char text[64] = "";
    GetMenuStringA(view, i, text, sizeof text, MF_BYPOSITION);
    texts.push_back(text);
  }
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "50%\tCtrl+F1", "100%\tCtrl+F2", "200%\tCtrl+F3", "Fit to width\tCtrl+F4",
                       "Fit to text\tCtrl+F7", "Fit to height\tCtrl+F5", "Fit to window\tCtrl+F6",
                       "", "&Previous page\tCtrl+PgUp", "&Next Page\tCtrl+PgDn"}));
  EXPECT_TRUE(GetMenuState(view, 2, MF_BYPOSITION) & MF_CHECKED);
  EXPECT_FALSE(GetMenuState(view, 3, MF_BYPOSITION) & MF_CHECKED);

  HMENU file = GetSubMenu(bar, 0);
  SendMessageA(h.form->Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
  texts.clear();
  for (int i = 0; i < GetMenuItemCount(file); ++i) {
    char text[64] = "";
    GetMenuStringA(file, i, text, sizeof text, MF_BYPOSITION);
    texts.push_back(text);
  }
  // "Save as Text" and the last-file item stay hidden.
  EXPECT_EQ(texts, (std::vector<std::string>{"&Open...\tCtrl+O", "&Print...\tCtrl+P", "&Close", "",
                                             "", "&Exit"}));
}

}  // namespace
