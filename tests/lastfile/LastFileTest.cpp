// The last-file record: its path beside the executable, reading it at each
// activation into the File menu's item, reopening from the item, and writing
// it when the main window closes.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/LastFile.h"
#include "framework/Files.h"
#include "tests/support/FormHarness.h"

using testing_support::FormHarness;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::Wide;

namespace {

// This test program's own file, found without the code under test.
std::string OwnExecutable() {
  std::vector<char> buffer(32768);
  DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  return std::string(buffer.data(), length);
}

std::string OwnRecord() {
  return OwnExecutable() + ".cfg";
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string FolderOf(const std::string& path) {
  return path.substr(0, path.find_last_of('\\') + 1);
}

// The files in the folder of `path` whose names end in ".tmp".
std::vector<std::string> TemporariesBeside(const std::string& path) {
  std::vector<std::string> found;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((FolderOf(path) + "*.tmp").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return found;
  do found.push_back(data.cFileName);
  while (FindNextFileA(search, &data));
  FindClose(search);
  return found;
}

// Removes the test program's own record for the test and puts back what was there.
class OwnRecordTest : public testing::Test {
 protected:
  void SetUp() override {
    if (Exists(record)) saved_ = ReadFileBytes(record);
    Remove();
  }
  void TearDown() override {
    Remove();
    if (saved_) WriteBytes(record, *saved_);
  }
  void Remove() const {
    SetFileAttributesA(record.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(record.c_str());
    RemoveDirectoryA(record.c_str());
  }

  const std::string record = OwnRecord();
  TempDir dir;

 private:
  std::optional<std::string> saved_;
};

struct ItemState {
  bool visible;
  std::string caption, hint;
};

ItemState Item(const FormHarness& h) {
  return {h.form->lastfile1->Visible(), h.form->lastfile1->Caption(), h.form->lastfile1->Hint};
}

const ItemState kHidden = {false, "lastfile", ""};

ItemState Shown(const std::string& name) {
  return {true, name, name};
}

void ExpectItem(const FormHarness& h, const ItemState& expected) {
  ItemState item = Item(h);
  EXPECT_EQ(item.visible, expected.visible);
  // Long names would flood the report: compare, then show only the start.
  EXPECT_TRUE(item.caption == expected.caption) << "caption starts " << item.caption.substr(0, 80);
  EXPECT_TRUE(item.hint == expected.hint) << "hint starts " << item.hint.substr(0, 80);
}

// ------------------------------------------------------------------ the path

TEST(LastFileRecordPath, IsTheExecutablesFullPathWithCfgAppended) {
  EXPECT_EQ(LastFileRecordPath(), OwnRecord());
  const std::string tail = "\\lastfile_test.exe.cfg";
  const std::string path = LastFileRecordPath();
  ASSERT_GT(path.size(), tail.size());
  EXPECT_EQ(path.substr(path.size() - tail.size()), tail);
}

// ------------------------------------------------------------------- reading

struct ReadRow {
  const char* name;
  std::optional<std::string> record;  // absent: no record file
  ItemState expected;
};

TEST_F(OwnRecordTest, ActivationShowsTheRecordedName) {
  const std::string longName = "C:\\" + std::string(70000, 'x') + ".mdi";
  const std::vector<ReadRow> rows = {
      {"no record file", std::nullopt, kHidden},
      {"name and line end", std::string("C:\\docs\\a.mdi\r\n"), Shown("C:\\docs\\a.mdi")},
      {"no line end", std::string("C:\\docs\\a.mdi"), Shown("C:\\docs\\a.mdi")},
      {"empty file", std::string(""), kHidden},
      {"empty first line", std::string("\r\nC:\\docs\\a.mdi\r\n"), kHidden},
      {"line feeds only", std::string("C:\\a.mdi\nC:\\b.mdi\n"), Shown("C:\\a.mdi\nC:\\b.mdi\n")},
      {"carriage return alone ends the name", std::string("C:\\a.mdi\rC:\\b.mdi\r\n"),
       Shown("C:\\a.mdi")},
      {"Ctrl+Z ends the name", std::string("C:\\a.mdi\x1a\r\nC:\\b.mdi"), Shown("C:\\a.mdi")},
      {"Ctrl+Z first",
       std::string("\x1a"
                   "C:\\a.mdi\r\n"),
       kHidden},
      {"far longer than a path", longName + "\r\n", Shown(longName)},
      {"far longer than a path, no line end", longName, Shown(longName)},
      {"ampersand kept", std::string("C:\\R&D\\plan.mdi\r\n"), Shown("C:\\R&D\\plan.mdi")},
      {"a hyphen", std::string("-\r\n"), Shown("-")},
      {"8-bit bytes kept", std::string("C:\\caf\xe9 \xa7\xff.mdi\r\n"),
       Shown("C:\\caf\xe9 \xa7\xff.mdi")},
  };
  for (const ReadRow& row : rows) {
    SCOPED_TRACE(row.name);
    Remove();
    if (row.record) WriteBytes(record, *row.record);
    FormHarness h;
    h.form->FormActivate();
    ExpectItem(h, row.expected);
    EXPECT_TRUE(h.modal.messages.empty());
  }
}

TEST_F(OwnRecordTest, UnreadableRecordIsIgnoredSilently) {
  struct Row {
    const char* name;
    void (*make)(const std::string& record);
  };
  const Row rows[] = {
      {"record path is a folder",
       [](const std::string& path) { CreateDirectoryA(path.c_str(), nullptr); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Remove();
    row.make(record);
    FormHarness h;
    h.form->FormActivate();
    ExpectItem(h, kHidden);
    EXPECT_TRUE(h.modal.messages.empty());
  }
  // A record held open by someone who shares nothing cannot be read either.
  Remove();
  WriteBytes(record, "C:\\a.mdi\r\n");
  HANDLE locked = CreateFileA(record.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  {
    FormHarness h;
    h.form->FormActivate();
    ExpectItem(h, kHidden);
    EXPECT_TRUE(h.modal.messages.empty());
  }
  CloseHandle(locked);
}

TEST_F(OwnRecordTest, ItemIsNeverHiddenAgainAndFollowsTheRecord) {
  FormHarness h;
  WriteBytes(record, "C:\\first.mdi\r\n");
  h.form->FormActivate();
  ExpectItem(h, Shown("C:\\first.mdi"));

  struct Step {
    const char* name;
    std::optional<std::string> record;
    ItemState expected;
  };
  const Step steps[] = {
      {"record removed", std::nullopt, Shown("C:\\first.mdi")},
      {"record empty", std::string(""), Shown("C:\\first.mdi")},
      {"first line empty", std::string("\r\nC:\\other.mdi\r\n"), Shown("C:\\first.mdi")},
      {"record changed", std::string("C:\\second.mdi\r\n"), Shown("C:\\second.mdi")},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    Remove();
    if (step.record) WriteBytes(record, *step.record);
    h.form->FormActivate();
    ExpectItem(h, step.expected);
  }
}

// ------------------------------------------------------------------ clicking

TEST_F(OwnRecordTest, ClickOpensTheHintTextExactly) {
  // The caption would show "R&D" as "RD" with D underlined; the click must
  // open the name as recorded.
  const std::string name = dir.write("R&D -- report.mdi", "not read by the fake");
  WriteBytes(record, name + "\r\n");
  FormHarness h;
  h.fake.files[Wide(name)] = {L"one", L"two"};
  h.form->FormActivate();
  ASSERT_TRUE(h.form->lastfile1->Visible());
  h.form->lastfile1->Click();
  EXPECT_EQ(h.form->Caption(), "Folirex - " + name);
  EXPECT_EQ(h.Panel(1), "Page 1 of 2");
  EXPECT_EQ(h.fake.log.back(), "FileName=" + name);
  EXPECT_TRUE(h.form->Print0->Enabled);
}

TEST_F(OwnRecordTest, ClickOnADeletedFileDoesWhatOpeningAMissingFileDoes) {
  const std::string open = dir.write("open.mdi", "x");
  const std::string gone = dir.write("gone.mdi", "x");
  WriteBytes(record, gone + "\r\n");
  DeleteFileA(gone.c_str());

  FormHarness h;
  h.fake.files[Wide(open)] = {L"one"};
  h.form->OpenDocument(open);
  h.form->FormActivate();
  ExpectItem(h, Shown(gone));  // shown although the file is gone: not checked on reading
  const size_t calls = h.fake.log.size();

  h.form->lastfile1->Click();
  // The commands go off and the menus hide; the view, caption and panel stay.
  EXPECT_FALSE(h.form->Print0->Enabled);
  EXPECT_FALSE(h.form->nxtP->Enabled);
  EXPECT_FALSE(h.form->Edit1->Visible());
  EXPECT_FALSE(h.form->View1->Visible());
  EXPECT_EQ(h.form->Caption(), "Folirex - " + open);
  EXPECT_EQ(h.Panel(1), "Page 1 of 1");
  EXPECT_EQ(h.fake.log.size(), calls);
  EXPECT_TRUE(h.modal.messages.empty());
  EXPECT_EQ(h.form->LastFileName, open);
  ExpectItem(h, Shown(gone));
}

TEST_F(OwnRecordTest, ClickOnLineFeedNameFindsNoFile) {
  const std::string a = dir.write("a.mdi", "x");
  WriteBytes(record, a + "\n" + a + "\n");
  FormHarness h;
  h.fake.files[Wide(a)] = {L"one"};
  h.form->FormActivate();
  ExpectItem(h, Shown(a + "\n" + a + "\n"));
  const size_t calls = h.fake.log.size();
  h.form->lastfile1->Click();
  EXPECT_EQ(h.fake.log.size(), calls);
  EXPECT_TRUE(h.form->LastFileName.empty());
}

// ------------------------------------------------------------------- writing

TEST_F(OwnRecordTest, CloseWritesTheLastExistingNameOpened) {
  struct Row {
    const char* name;
    std::optional<std::string> before;  // the record before the run
    // What the run does, given the harness and two existing files, the first loadable.
    void (*run)(FormHarness& h, const std::string& good, const std::string& bad);
    // The record after closing: "good"/"bad" stand for those paths.
    std::optional<std::string> after;
    size_t messages;
  };
  const std::vector<Row> rows = {
      {"nothing opened, no record", std::nullopt, [](FormHarness&, auto&, auto&) {}, std::nullopt,
       0},
      {"nothing opened keeps the old record", std::string("C:\\old.mdi\r\n"),
       [](FormHarness&, auto&, auto&) {}, std::string("C:\\old.mdi\r\n"), 0},
      {"only a missing file opened", std::string("C:\\old.mdi\r\n"),
       [](FormHarness& h, auto& good, auto&) { h.form->OpenDocument(good + ".missing"); },
       std::string("C:\\old.mdi\r\n"), 0},
      {"a document opened", std::string("C:\\old.mdi\r\n"),
       [](FormHarness& h, auto& good, auto&) { h.form->OpenDocument(good); }, std::string("good"),
       0},
      {"a file that fails to load is still recorded", std::nullopt,
       [](FormHarness& h, auto&, auto& bad) { h.form->OpenDocument(bad); }, std::string("bad"), 1},
      {"Close does not forget", std::nullopt,
       [](FormHarness& h, auto& good, auto&) {
         h.form->OpenDocument(good);
         h.form->Close1Click();
       },
       std::string("good"), 0},
      {"a missing file after an existing one", std::nullopt,
       [](FormHarness& h, auto& good, auto&) {
         h.form->OpenDocument(good);
         h.form->OpenDocument(good + ".missing");
       },
       std::string("good"), 0},
      {"the last of two", std::nullopt,
       [](FormHarness& h, auto& good, auto& bad) {
         h.form->OpenDocument(good);
         h.form->OpenDocument(bad);
       },
       std::string("bad"), 1},
  };
  const std::string good = dir.write("good \xe9 & co.mdi", "x");
  const std::string bad = dir.write("bad.mdi", "x");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Remove();
    if (row.before) WriteBytes(record, *row.before);
    {
      FormHarness h;
      h.fake.files[Wide(good)] = {L"page"};
      h.form->FormActivate();
      row.run(h, good, bad);
      h.form->FormClose();
      EXPECT_EQ(h.modal.messages.size(), row.messages);
    }
    if (!row.after) {
      EXPECT_FALSE(Exists(record));
    } else {
      std::string expected = *row.after == "good"  ? good + "\r\n"
                             : *row.after == "bad" ? bad + "\r\n"
                                                   : *row.after;
      EXPECT_EQ(ReadFileBytes(record), expected);
    }
    EXPECT_TRUE(TemporariesBeside(record).empty());
  }
}

TEST_F(OwnRecordTest, NameWrittenIsReadBackByteExactly) {
  // A relative name stays relative; 8-bit bytes, blanks and "&" survive.
  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));
  const std::string name = "sub dir\\caf\xe9 & \xa3 #1.mdi";
  CreateDirectoryA("sub dir", nullptr);
  WriteBytes(name, "x");
  {
    FormHarness h;
    h.fake.files[Wide(name)] = {L"page"};
    h.form->OpenDocument(name);
    h.form->FormClose();
  }
  EXPECT_EQ(ReadFileBytes(record), name + "\r\n");
  {
    FormHarness h;
    h.fake.files[Wide(name)] = {L"page"};
    h.form->FormActivate();
    ExpectItem(h, Shown(name));
    h.form->lastfile1->Click();
    EXPECT_EQ(h.form->Caption(), "Folirex - " + name);
  }
  SetCurrentDirectoryA(previous);
}

TEST_F(OwnRecordTest, LongNameIsWrittenWhole) {
  const std::string name = "C:\\" + std::string(100000, 'n') + ".mdi";
  {
    FormHarness h;
    h.form->LastFileName = name;  // as opening such a file would leave it
    h.form->FormClose();
  }
  EXPECT_TRUE(ReadFileBytes(record) == name + "\r\n");
  FormHarness h;
  h.form->FormActivate();
  ExpectItem(h, Shown(name));
}

// Wine, running here as root, lets every folder be written to, whatever its
// attributes; what a read-only folder does to the program is that no file can
// be replaced or created beside the record. These are the failures that do
// happen here: the record itself read-only, held open by someone who shares
// nothing, or a folder in its place; and no temporary file able to be made.
struct WriteFailure {
  const char* name;
  // Sets the failure up for the record at `path`; returns what to undo after.
  std::function<std::function<void()>(const std::string& path)> make;
};

std::vector<WriteFailure> WriteFailures() {
  return {
      {"record read-only",
       [](const std::string& path) -> std::function<void()> {
         SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
         return [path] { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL); };
       }},
      {"record held open, nothing shared",
       [](const std::string& path) -> std::function<void()> {
         HANDLE held =
             CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
         return [held] { CloseHandle(held); };
       }},
      {"no temporary file can be made",
       [](const std::string& path) -> std::function<void()> {
         std::string blocked = FolderOf(path) + framework::TemporaryNameBeside(path);
         CreateDirectoryA(blocked.c_str(), nullptr);
         return [blocked] { RemoveDirectoryA(blocked.c_str()); };
       }},
  };
}

TEST_F(OwnRecordTest, UnwritableRecordLeavesTheOldOneIntact) {
  const std::string good = dir.write("good.mdi", "x");
  for (const WriteFailure& failure : WriteFailures()) {
    SCOPED_TRACE(failure.name);
    Remove();
    WriteBytes(record, "C:\\old.mdi\r\n");
    auto undo = failure.make(record);
    {
      FormHarness h;
      h.fake.files[Wide(good)] = {L"page"};
      h.form->OpenDocument(good);
      h.form->FormClose();  // silent: no exception, no message
      EXPECT_TRUE(h.modal.messages.empty());
    }
    std::vector<std::string> temporaries = TemporariesBeside(record);
    undo();
    EXPECT_EQ(ReadFileBytes(record), "C:\\old.mdi\r\n");
    // The blocking folder of the last row is not the program's to remove.
    if (std::string(failure.name) != "no temporary file can be made") {
      EXPECT_TRUE(temporaries.empty());
    }
  }
}

TEST(WriteLastFileName, FailureThrowsAndLeavesNoTemporaryFile) {
  TempDir dir;
  const std::string record = dir.file("app.exe.cfg");
  for (const WriteFailure& failure : WriteFailures()) {
    SCOPED_TRACE(failure.name);
    WriteBytes(record, "old\r\n");
    auto undo = failure.make(record);
    EXPECT_THROW(WriteLastFileName(record, "new"), std::exception);
    std::vector<std::string> temporaries = TemporariesBeside(record);
    undo();
    EXPECT_EQ(ReadFileBytes(record), "old\r\n");
    if (std::string(failure.name) != "no temporary file can be made") {
      EXPECT_TRUE(temporaries.empty());
    }
  }
  // The record's place is a folder: nothing to replace.
  const std::string folder = dir.file("folder.cfg");
  CreateDirectoryA(folder.c_str(), nullptr);
  EXPECT_THROW(WriteLastFileName(folder, "new"), std::exception);
  EXPECT_TRUE(TemporariesBeside(folder).empty());
  // A record in a folder that does not exist.
  EXPECT_THROW(WriteLastFileName(dir.file("none\\app.exe.cfg"), "new"), std::exception);
}

// The record beside a deeply placed executable: 259 characters, the most a
// path may have, in a folder too long for the system's GetTempFileName.
TEST(WriteLastFileName, ARecordOfTheLongestPathIsReplaced) {
  TempDir dir;
  const std::string record = dir.longFolder(259 - 12) + "\\app.exe.cfg";
  ASSERT_EQ(record.size(), 259u);
  WriteLastFileName(record, "C:\\first.mdi");
  WriteLastFileName(record, "C:\\second.mdi");
  EXPECT_EQ(ReadLastFileName(record), "C:\\second.mdi");
  EXPECT_TRUE(TemporariesBeside(record).empty());
}

// ------------------------------------------------- other copies of the program

// The child's side: run by the tests below in a separate process, from this
// executable or a renamed copy of it. It reports the item after activation to
// FOLIREX_CHILD_OUT, opens FOLIREX_CHILD_OPEN if set, and closes.
TEST(DISABLED_ChildProcess, ActivateOpenAndClose) {
  const char* out = std::getenv("FOLIREX_CHILD_OUT");
  const char* open = std::getenv("FOLIREX_CHILD_OPEN");
  ASSERT_NE(out, nullptr);
  FormHarness h;
  if (open) h.fake.files[Wide(open)] = {L"page"};
  h.form->FormActivate();
  WriteBytes(out, std::string(h.form->lastfile1->Visible() ? "shown|" : "hidden|") +
                      h.form->lastfile1->Caption());
  if (open) h.form->OpenDocument(open);
  h.form->FormClose();
}

// Runs `exe` in the child's mode; returns its exit code.
DWORD RunChild(const std::string& exe, const std::string& out, const std::string& open) {
  SetEnvironmentVariableA("FOLIREX_CHILD_OUT", out.c_str());
  SetEnvironmentVariableA("FOLIREX_CHILD_OPEN", open.empty() ? nullptr : open.c_str());
  std::string command = "\"" + exe +
                        "\" --gtest_also_run_disabled_tests"
                        " --gtest_filter=DISABLED_ChildProcess.ActivateOpenAndClose";
  // The child's own test report would only clutter this one's.
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = nul;
  PROCESS_INFORMATION process = {};
  BOOL started = CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                nullptr, &startup, &process);
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  SetEnvironmentVariableA("FOLIREX_CHILD_OUT", nullptr);
  SetEnvironmentVariableA("FOLIREX_CHILD_OPEN", nullptr);
  if (!started) return 1000 + GetLastError();
  DWORD code = 999;
  if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
    GetExitCodeProcess(process.hProcess, &code);
  else
    TerminateProcess(process.hProcess, 998);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

TEST_F(OwnRecordTest, RenamedExecutableUsesItsOwnRecord) {
  WriteBytes(record, "C:\\original.mdi\r\n");
  const std::string copy = dir.file("Renamed Copy.exe");
  ASSERT_TRUE(CopyFileA(OwnExecutable().c_str(), copy.c_str(), FALSE));
  WriteBytes(copy + ".cfg", "C:\\renamed.mdi\r\n");
  const std::string doc = dir.write("opened by the copy.mdi", "x");
  const std::string out = dir.file("out.txt");

  ASSERT_EQ(RunChild(copy, out, doc), 0u);
  EXPECT_EQ(ReadFileBytes(out), "shown|C:\\renamed.mdi");
  EXPECT_EQ(ReadFileBytes(copy + ".cfg"), doc + "\r\n");
  EXPECT_EQ(ReadFileBytes(record), "C:\\original.mdi\r\n");

  // Renamed again: the old record is no longer read, and a new one is made.
  const std::string second = dir.file("second.name.exe");
  ASSERT_TRUE(MoveFileA(copy.c_str(), second.c_str()));
  const std::string other = dir.write("other.mdi", "x");
  ASSERT_EQ(RunChild(second, out, other), 0u);
  EXPECT_EQ(ReadFileBytes(out), "hidden|lastfile");
  EXPECT_EQ(ReadFileBytes(second + ".cfg"), other + "\r\n");
  EXPECT_EQ(ReadFileBytes(copy + ".cfg"), doc + "\r\n");
  EXPECT_EQ(ReadFileBytes(record), "C:\\original.mdi\r\n");
}

TEST_F(OwnRecordTest, RecordChangedByAnotherCopyIsReadAtTheNextActivation) {
  WriteBytes(record, "C:\\first.mdi\r\n");
  FormHarness h;
  h.form->FormActivate();
  ExpectItem(h, Shown("C:\\first.mdi"));

  // Another run of the same executable opens a document and closes.
  const std::string doc = dir.write("from the other copy.mdi", "x");
  const std::string out = dir.file("out.txt");
  ASSERT_EQ(RunChild(OwnExecutable(), out, doc), 0u);
  EXPECT_EQ(ReadFileBytes(out), "shown|C:\\first.mdi");
  EXPECT_EQ(ReadFileBytes(record), doc + "\r\n");

  ExpectItem(h, Shown("C:\\first.mdi"));  // nothing changes before the activation
  h.form->FormActivate();
  ExpectItem(h, Shown(doc));
}

}  // namespace
