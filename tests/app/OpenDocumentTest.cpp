// Opening and closing documents: the two window states and every way between.
#include <gtest/gtest.h>

#include "tests/support/FormHarness.h"

using testing_support::FormHarness;
using testing_support::TempDir;
using testing_support::Wide;

namespace {

class OpenDocumentTest : public testing::Test {
 protected:
  FormHarness h;
  TempDir dir;
  std::string three = dir.write("three.mdi", "x");
  std::string other = dir.write("other.mdi", "x");

  void SetUp() override {
    h.fake.files[Wide(three)] = {L"one", L"two", L"three"};
    h.fake.files[Wide(other)] = {L"a", L"b", L"c", L"d", L"e"};
  }

  std::vector<TAction*> DocumentActions() {
    TForm1& f = *h.form;
    return {f.Print0, f.CopyText, f.CopyImage, f.Save0,   f.nxtP,    f.prvP,   f.Zoom0,
            f.Zoom1,  f.Zoom2,    f.Action1,   f.Action2, f.Action3, f.Action4};
  }

  // The thirteen actions and the two menus move together; the rest never move.
  void ExpectDocumentState(bool open) {
    for (TAction* action : DocumentActions()) EXPECT_EQ(action->Enabled, open) << action->Name();
    EXPECT_EQ(h.form->Edit1->Visible(), open);
    EXPECT_EQ(h.form->View1->Visible(), open);
    EXPECT_TRUE(h.form->Open0->Enabled);
    EXPECT_TRUE(h.form->Exit0->Enabled);
    EXPECT_TRUE(h.form->sellAllTxt->Enabled);
    EXPECT_TRUE(h.form->Close1->Enabled());
  }

  void ExpectOpenFailedMessage() {
    ASSERT_EQ(h.modal.messages.size(), 1u);
    EXPECT_EQ(h.modal.messages[0].text, "Failed to open document");
    EXPECT_EQ(h.modal.messages[0].caption, "Error");
    EXPECT_EQ(h.modal.messages[0].type, UINT(MB_OK | MB_ICONEXCLAMATION));
  }
};

TEST_F(OpenDocumentTest, AtStartNoDocumentIsOpen) {
  ExpectDocumentState(false);
  EXPECT_EQ(h.form->Caption(), "Folirex");
  EXPECT_EQ(h.Panel(0), "Folirex");
  EXPECT_EQ(h.Panel(1), "");
  EXPECT_FALSE(h.form->lastfile1->Visible());
  EXPECT_TRUE(h.form->Action1->Checked);
}

TEST_F(OpenDocumentTest, OpeningADocumentEnablesItsCommandsAndNamesIt) {
  h.form->OpenDocument(three);
  ExpectDocumentState(true);
  EXPECT_EQ(h.form->Caption(), "Folirex - " + three);
  EXPECT_EQ(h.app.Title(), "Folirex - " + three);
  EXPECT_EQ(h.Panel(1), "Page 1 of 3");
  EXPECT_EQ(h.form->LastFileName, three);
  EXPECT_TRUE(h.modal.messages.empty());
  EXPECT_EQ(h.fake.fileName, Wide(three));
}

TEST_F(OpenDocumentTest, PanelSaysPageOneWhateverPageTheControlShows) {
  h.fake.files[Wide(three)] = {L"1", L"2", L"3"};
  h.form->OpenDocument(three);
  h.fake.pageNum = 2;  // the control moved on its own, without an event
  h.form->OpenDocument(three);
  EXPECT_EQ(h.Panel(1), "Page 1 of 3");
}

TEST_F(OpenDocumentTest, AnEmptyNameClosesTheDocument) {
  h.form->OpenDocument(three);
  h.form->Close1Click();
  ExpectDocumentState(false);
  EXPECT_EQ(h.form->Caption(), "Folirex");
  EXPECT_EQ(h.app.Title(), "Folirex");
  EXPECT_EQ(h.Panel(1), "");
  EXPECT_EQ(h.fake.log.back(), "FileName=(null)");
  // Closing does not forget the last file.
  EXPECT_EQ(h.form->LastFileName, three);
}

TEST_F(OpenDocumentTest, ClosingWithNothingOpenIsHarmless) {
  h.form->Close1Click();
  ExpectDocumentState(false);
  EXPECT_EQ(h.form->Caption(), "Folirex");
  EXPECT_EQ(h.fake.log.back(), "FileName=(null)");
  EXPECT_TRUE(h.modal.messages.empty());
}

TEST_F(OpenDocumentTest, AMissingFileOrADirectoryTurnsCommandsOffSilently) {
  for (const std::string& name : {dir.file("gone.mdi"), dir.path()}) {
    SCOPED_TRACE(name);
    h.form->OpenDocument(three);
    size_t calls = h.fake.log.size();
    h.form->OpenDocument(name);
    ExpectDocumentState(false);
    EXPECT_EQ(h.form->Caption(), "Folirex - " + three);
    EXPECT_EQ(h.Panel(1), "Page 1 of 3");
    EXPECT_EQ(h.fake.log.size(), calls) << "the control is not asked";
    EXPECT_EQ(h.fake.fileName, Wide(three)) << "the view keeps what it shows";
    EXPECT_EQ(h.form->LastFileName, three);
    EXPECT_TRUE(h.modal.messages.empty());
  }
}

TEST_F(OpenDocumentTest, ADocumentOfNoPagesFailsButIsRemembered) {
  std::string empty = dir.write("empty.mdi", "x");
  h.fake.files[Wide(empty)] = {};
  h.form->OpenDocument(empty);
  ExpectOpenFailedMessage();
  ExpectDocumentState(false);
  EXPECT_EQ(h.form->LastFileName, empty);
  EXPECT_EQ(h.form->Caption(), "Folirex");
}

TEST_F(OpenDocumentTest, AFileTheControlRefusesIsReportedAndStillRemembered) {
  std::string notDocument = dir.write("notes.txt", "hello");
  h.form->OpenDocument(three);
  // Only what opening writes is looked at here, not what the page events write.
  h.form->mdi->OnCurPageNumChanged = nullptr;
  h.form->OpenDocument(notDocument);
  ExpectOpenFailedMessage();
  ExpectDocumentState(false);
  EXPECT_EQ(h.form->LastFileName, notDocument);
  // The texts stay those of the document before.
  EXPECT_EQ(h.form->Caption(), "Folirex - " + three);
  EXPECT_EQ(h.Panel(1), "Page 1 of 3");
}

struct PartialFailure {
  const char* call;
  int after;
  bool captionChanged;
};

TEST_F(OpenDocumentTest, FailuresInsideTheLoadLeaveExactlyTheStepsDone) {
  const PartialFailure rows[] = {
      {"FileName.put", 0, false},   // the control refuses the file
      {"PageCount.get", 0, false},  // the first count fails
      {"PageCount.get", 1, true},   // the count for the status text fails
  };
  // Only what opening writes is looked at here, not what the page events write.
  h.form->mdi->OnCurPageNumChanged = nullptr;
  for (const PartialFailure& row : rows) {
    SCOPED_TRACE(std::string(row.call) + " after " + std::to_string(row.after));
    h.fake.fail.clear();
    h.modal.messages.clear();
    h.form->OpenDocument(three);
    h.fake.fail[row.call] = {E_FAIL, L"refused", row.after};
    h.fake.calls.clear();
    h.form->OpenDocument(other);
    ExpectOpenFailedMessage();
    ExpectDocumentState(false);
    EXPECT_EQ(h.form->LastFileName, other);
    std::string expectedCaption = "Folirex - " + (row.captionChanged ? other : three);
    EXPECT_EQ(h.form->Caption(), expectedCaption);
    EXPECT_EQ(h.app.Title(), expectedCaption);
    EXPECT_EQ(h.Panel(1), "Page 1 of 3");
  }
}

TEST_F(OpenDocumentTest, OpenCommandUsesTheDialogAndRemembersTheName) {
  h.modal.openAnswers.push_back(testing_support::Choose(three));
  h.form->Open0Execute();
  EXPECT_EQ(h.form->Caption(), "Folirex - " + three);

  OPENFILENAMEA seen = {};
  std::string offered, filter;
  h.modal.openAnswers.push_back([&](OPENFILENAMEA& settings) {
    seen = settings;
    offered = settings.lpstrFile;
    for (const char* p = settings.lpstrFilter; *p; p += strlen(p) + 1)
      filter += std::string(p) + "|";
    return false;  // cancelled
  });
  h.form->Open0Execute();
  EXPECT_EQ(offered, three) << "the name chosen before is offered again";
  EXPECT_STREQ(seen.lpstrTitle, "Open MDI Document");
  EXPECT_EQ(filter, "MDI Files|*.mdi|");
  EXPECT_STREQ(seen.lpstrDefExt, "MDI");
  const DWORD wanted = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING;
  EXPECT_EQ(seen.Flags & wanted, wanted);
  EXPECT_EQ(seen.Flags & OFN_ALLOWMULTISELECT, 0u);
  // Cancelling changes nothing.
  EXPECT_EQ(h.form->Caption(), "Folirex - " + three);
  EXPECT_TRUE(h.form->Print0->Enabled);
}

TEST_F(OpenDocumentTest, CommandLineDocumentOpensAtTheFirstActivationOnly) {
  h.form->CommandLine = "Folirex.exe \"" + three + "\" ignored";
  h.form->FormActivate();
  EXPECT_EQ(h.fake.fileName, Wide(three));
  h.form->OpenDocument(other);
  h.form->FormActivate();  // back from the About box
  EXPECT_EQ(h.fake.fileName, Wide(other));
  EXPECT_EQ(h.form->Caption(), "Folirex - " + other);
}

TEST_F(OpenDocumentTest, ActivationResetsTheApplicationTitleButNotTheCaption) {
  h.modal.openAnswers.push_back(testing_support::Choose(three));
  h.form->CommandLine = "Folirex.exe";
  h.form->FormActivate();
  h.form->Open0Execute();
  h.form->FormActivate();
  EXPECT_EQ(h.app.Title(), "Folirex");
  EXPECT_EQ(h.form->Caption(), "Folirex - " + three);
}

}  // namespace
