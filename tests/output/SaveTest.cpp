// Saving the current page as a BMP file on the fake control: the dialog, the
// component calls, the file written, and failures that keep the earlier file.
#include <gtest/gtest.h>
#include <windows.h>
#include <cderr.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "output/Picture.h"
#include "tests/output/BmpReader.h"
#include "tests/output/OutputTestSupport.h"
#include "tests/support/FormHarness.h"

using testing_support::ClipboardTextBytes;
using testing_support::FolderEntries;
using testing_support::FormHarness;
using testing_support::ParseBmp;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using Log = std::vector<std::string>;
using Names = std::vector<std::string>;

namespace {

const std::string kMarker = "earlier clipboard text";
const std::string kEarlierFile = "the earlier file";

struct DialogSeen {
  std::string title, filter, defaultExt, initialName;
  DWORD flags = 0, maxFile = 0;
};

class SaveTest : public testing::Test {
 public:
  void SetUp() override {
    testing_support::SetClipboardText(h.form->Handle(), kMarker);
    h.fake.openDocument(L"C:\\doc.mdi", {L"one", L"two", L"three"});
    h.fake.pageNum = 1;
    h.fake.log.clear();
  }
  // Answers the next save dialog with `name`, noting what it was shown with.
  void AnswerWith(const std::string& name) {
    h.modal.saveAnswers.push_back([this, name](OPENFILENAMEA& settings) {
      DialogSeen seen;
      seen.title = settings.lpstrTitle ? settings.lpstrTitle : "(null)";
      const char* end = settings.lpstrFilter;
      while (end && (end[0] || end[1])) ++end;
      if (settings.lpstrFilter) seen.filter.assign(settings.lpstrFilter, end + 2);
      seen.defaultExt = settings.lpstrDefExt ? settings.lpstrDefExt : "(null)";
      seen.initialName = settings.lpstrFile;
      seen.flags = settings.Flags;
      seen.maxFile = settings.nMaxFile;
      dialogs.push_back(seen);
      return testing_support::Choose(name)(settings);
    });
  }
  std::vector<std::string> Errors() const {
    std::vector<std::string> texts;
    for (const auto& message : h.modal.messages) {
      EXPECT_EQ(message.caption, "Error");
      EXPECT_EQ(message.type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
      texts.push_back(message.text);
    }
    return texts;
  }

  FormHarness h;
  TempDir dir;
  std::vector<DialogSeen> dialogs;
};

TEST_F(SaveTest, ConfirmedSaveWritesTheClipboardsPageImage) {
  h.fake.clipboardImage = {true, 9, 7, 24};
  AnswerWith(dir.file("page.BMP"));
  h.form->Save0Execute();

  EXPECT_EQ(h.fake.log, (Log{"SelectPage(1)", "CopyToClipboard(1,1)"}));
  EXPECT_EQ(h.fake.selection, 1);  // the page stays selected
  EXPECT_TRUE(h.modal.messages.empty());
  EXPECT_EQ(FolderEntries(dir.path()), Names{"page.BMP"});
  auto file = ParseBmp(ReadFileBytes(dir.file("page.BMP")));
  EXPECT_EQ(file.width, 9);
  EXPECT_EQ(file.height, 7);
  EXPECT_EQ(file.bitCount, 24);
  EXPECT_TRUE(file.colorTable.empty());

  // The clipboard keeps its own bitmap, untouched; the picture holds a copy.
  HBITMAP onClipboard = testing_support::ClipboardBitmap();
  ASSERT_NE(onClipboard, nullptr);
  BITMAP facts{};
  EXPECT_EQ(GetObjectA(onClipboard, sizeof facts, &facts), static_cast<int>(sizeof facts));
  ASSERT_NE(h.form->Image1->Bitmap(), nullptr);
  EXPECT_NE(h.form->Image1->Bitmap(), onClipboard);
  // Every pixel as the clipboard's bitmap holds it (bottom-up in the file).
  std::vector<BYTE> bits(static_cast<size_t>(facts.bmWidthBytes * facts.bmHeight));
  ASSERT_EQ(GetBitmapBits(onClipboard, static_cast<LONG>(bits.size()), bits.data()),
            static_cast<LONG>(bits.size()));
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) {
      size_t at = static_cast<size_t>(y * facts.bmWidthBytes + x * 3);
      uint32_t expected = bits[at] | bits[at + 1] << 8 | bits[at + 2] << 16;
      ASSERT_EQ(file.RawPixel(x, y), expected) << x << "," << y;
    }
}

TEST_F(SaveTest, TheDialogIsSetUpAndRemembersTheNameWithinTheRun) {
  AnswerWith(dir.file("first.BMP"));
  AnswerWith(dir.file("second.BMP"));
  h.form->Save0Execute();
  h.form->Save0Execute();
  ASSERT_EQ(dialogs.size(), 2u);
  for (const auto& seen : dialogs) {
    EXPECT_EQ(seen.title, "Save as bitmap");
    EXPECT_EQ(seen.filter, std::string("Bitmap (BMP)\0*.BMP\0\0", 20));
    // The dialog itself appends ".BMP" to a name typed without an extension.
    EXPECT_EQ(seen.defaultExt, "BMP");
    const DWORD wanted =
        OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_ENABLESIZING;
    EXPECT_EQ(seen.flags & wanted, wanted);
    EXPECT_EQ(seen.flags & (OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT | OFN_NOCHANGEDIR), 0u);
    EXPECT_EQ(seen.maxFile, 260u);
  }
  EXPECT_EQ(dialogs[0].initialName, "");
  EXPECT_EQ(dialogs[1].initialName, dir.file("first.BMP"));
  // The file written is the name the dialog returned, as returned.
  EXPECT_EQ(FolderEntries(dir.path()), (Names{"first.BMP", "second.BMP"}));
}

TEST_F(SaveTest, CancelClearsTheSelectionAndChangesNothingElse) {
  h.form->Save0Execute();  // no answer: cancelled
  EXPECT_EQ(h.modal.saveCalls, 1);
  EXPECT_EQ(h.fake.log, (Log{"SelectPage(1)", "SelectPage(-1)"}));
  EXPECT_EQ(h.fake.selection, -1);
  EXPECT_TRUE(FolderEntries(dir.path()).empty());
  EXPECT_EQ(ClipboardTextBytes(), kMarker + '\0');
  EXPECT_EQ(h.form->Image1->Bitmap(), nullptr);
  EXPECT_TRUE(h.modal.messages.empty());
}

// The dialog answers false for a cancel and for its own failure alike; only
// the common dialog error tells them apart. A failure is no cancel: it is not
// the command's to catch, and the user reads it in the default report.
TEST_F(SaveTest, TheDialogsOwnFailureReachesTheDefaultReport) {
  h.modal.dialogError = FNERR_INVALIDFILENAME;
  h.modal.saveAnswers.push_back([](OPENFILENAMEA&) { return false; });
  h.form->CommandLine = "Folirex.exe";  // activation opens nothing
  h.form->FormActivate();
  h.form->Save0->Enabled = true;
  SetFocus(h.fake.innerWindow ? h.fake.innerWindow : h.fake.window);
  ASSERT_TRUE(h.form->mdi->ContainsFocus());
  ASSERT_TRUE(h.PressKey('S', true));  // Ctrl+S in the page view: the context menu's Save0

  EXPECT_EQ(h.modal.saveCalls, 1);
  ASSERT_EQ(h.modal.messages.size(), 1u);
  EXPECT_EQ(h.modal.messages[0].text, "The file name is not valid (common dialog error 0x3002)");
  EXPECT_EQ(h.modal.messages[0].caption, h.app.Title());
  EXPECT_EQ(h.modal.messages[0].type, static_cast<UINT>(MB_OK | MB_ICONSTOP));
  EXPECT_EQ(h.fake.log, (Log{"SelectPage(1)"})) << "no cancel's SelectPage(-1), no copy";
  EXPECT_TRUE(FolderEntries(dir.path()).empty());
}

// The dialog hands back up to 259 characters; on Windows GetTempFileName
// refuses such a target's folder, longer than 246. Wine's takes it, so here
// this guards the temporary file's own path, not that refusal.
TEST_F(SaveTest, ATargetOfTheLongestPathTheDialogReturnsIsWritten) {
  const std::string folder = dir.longFolder(259 - 9);
  const std::string target = folder + "\\page.BMP";
  ASSERT_EQ(target.size(), 259u);
  AnswerWith(target);
  h.form->Save0Execute();
  EXPECT_TRUE(h.modal.messages.empty());
  EXPECT_EQ(ParseBmp(ReadFileBytes(target)).signature, "BM");
  EXPECT_EQ(FolderEntries(folder), Names{"page.BMP"});
}

TEST_F(SaveTest, AnExistingFileIsReplaced) {
  std::string path = dir.write("page.BMP", kEarlierFile);
  AnswerWith(path);
  h.form->Save0Execute();
  EXPECT_EQ(ParseBmp(ReadFileBytes(path)).signature, "BM");
  EXPECT_EQ(FolderEntries(dir.path()), Names{"page.BMP"});
}

TEST_F(SaveTest, TwoSavesOfDifferentPagesEachWriteTheirOwnPage) {
  h.fake.pageNum = 0;
  h.fake.clipboardImage = {true, 5, 4, 8};
  AnswerWith(dir.file("a.BMP"));
  h.form->Save0Execute();
  h.fake.pageNum = 2;
  h.fake.clipboardImage = {true, 11, 3, 8};
  AnswerWith(dir.file("b.BMP"));
  h.form->Save0Execute();

  EXPECT_EQ(h.fake.log, (Log{"SelectPage(0)", "CopyToClipboard(1,1)", "SelectPage(2)",
                             "CopyToClipboard(1,1)"}));
  auto first = ParseBmp(ReadFileBytes(dir.file("a.BMP")));
  auto second = ParseBmp(ReadFileBytes(dir.file("b.BMP")));
  EXPECT_EQ(first.width, 5);
  EXPECT_EQ(second.width, 11);
  EXPECT_EQ(first.colorTable.size(), 256u);  // 8 bits: with a colour table
  BITMAP facts{};
  GetObjectA(testing_support::ClipboardBitmap(), sizeof facts, &facts);
  EXPECT_EQ(facts.bmWidth, 11);  // the clipboard holds the second page's image
}

// A writer that puts half the bytes on disk and then fails, as a full disk would.
bool HalfThenFail(HANDLE file, const BYTE* data, DWORD size) {
  DWORD written = 0;
  WriteFile(file, data, size / 2, &written, nullptr);
  SetLastError(ERROR_DISK_FULL);
  return false;
}

// Rows: how the save fails. Each leaves the earlier file as it was and no
// temporary file behind. A folder marked read-only does not stop writes under
// Wine (it ignores the attribute on folders, and the tests run as root), so
// a read-only target file, a missing folder and a target that is a folder
// stand for the system refusing the file.
struct FailureCase {
  const char* name;
  std::function<std::string(SaveTest&, const TempDir&)> arrange;  // returns the path chosen
};

TEST_F(SaveTest, FailuresAreAnsweredWithTheOneMessageAndKeepTheEarlierFile) {
  const std::vector<FailureCase> rows = {
      {"the component refuses the copy",
       [](SaveTest& t, const TempDir& d) {
         t.h.fake.fail["Image.CopyToClipboard"] = {E_FAIL, L"No image"};
         return d.write("page.BMP", kEarlierFile);
       }},
      {"no bitmap on the clipboard after the copy",
       [](SaveTest& t, const TempDir& d) {
         t.h.fake.clipboardImage.present = false;
         return d.write("page.BMP", kEarlierFile);
       }},
      {"a failing write",
       [](SaveTest& t, const TempDir& d) {
         t.h.form->Image1->Writer = HalfThenFail;
         return d.write("page.BMP", kEarlierFile);
       }},
      {"a read-only target file",
       [](SaveTest&, const TempDir& d) {
         std::string path = d.write("page.BMP", kEarlierFile);
         SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
         return path;
       }},
      {"a folder that does not exist",
       [](SaveTest&, const TempDir& d) {
         d.write("page.BMP", kEarlierFile);
         return d.file("missing\\page.BMP");
       }},
      {"a target that is a folder",
       [](SaveTest&, const TempDir& d) {
         d.write("page.BMP", kEarlierFile);
         CreateDirectoryA(d.file("folder.BMP").c_str(), nullptr);
         return d.file("folder.BMP");
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    h.fake.fail.clear();
    h.fake.clipboardImage = {};
    h.form->Image1->Writer = output::WriteWholeFile;
    h.modal.messages.clear();
    TempDir folder;
    AnswerWith(row.arrange(*this, folder));
    h.form->Save0Execute();
    EXPECT_EQ(Errors(), std::vector<std::string>{"Failed to save document"});
    EXPECT_EQ(ReadFileBytes(folder.file("page.BMP")), kEarlierFile);
    Names left = FolderEntries(folder.path());
    left.erase(std::remove(left.begin(), left.end(), "folder.BMP"), left.end());
    EXPECT_EQ(left, Names{"page.BMP"}) << "a temporary file was left behind";
    EXPECT_EQ(h.fake.selection, 1);  // the page stays selected
  }
}

TEST_F(SaveTest, FailuresBeforeTheDialogReachTheDefaultReport) {
  h.fake.fail["PageNum.get"] = {E_FAIL, L"No current page"};
  EXPECT_THROW(h.form->Save0Execute(), std::exception);
  EXPECT_EQ(h.modal.saveCalls, 0);
  h.fake.fail.clear();
  h.fake.fail["SelectPage"] = {E_FAIL, L"No selection", 1};  // the cancel's SelectPage(-1)
  EXPECT_THROW(h.form->Save0Execute(), std::exception);
  EXPECT_EQ(h.modal.saveCalls, 1);
  EXPECT_TRUE(h.modal.messages.empty());
}

}  // namespace
