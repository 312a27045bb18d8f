// Documents read from files: the reasons a file cannot be opened, and the file handle.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "component/PageFile.h"
#include "component/PageImage.h"
#include "tests/reader/Documents.h"

using docwriter::Codec;

namespace {

class FileTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"folirex-reader-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder_.c_str(), nullptr);
  }
  void TearDown() override {
    for (const std::wstring& file : files_) DeleteFileW(file.c_str());
    RemoveDirectoryW(folder_.c_str());
  }
  std::wstring write(const wchar_t* name, const std::vector<uint8_t>& bytes) {
    std::wstring path = folder_ + L"\\" + name;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, h);
    DWORD done = 0;
    if (!bytes.empty()) WriteFile(h, bytes.data(), DWORD(bytes.size()), &done, nullptr);
    CloseHandle(h);
    files_.push_back(path);
    return path;
  }
  std::string openFailure(const std::wstring& path) {
    try {
      mdi::Document::open(mdi::openFileSource(path));
    } catch (const mdi::ReadError& e) {
      return e.what();
    }
    return "opened";
  }

  std::wstring folder_;
  std::vector<std::wstring> files_;
};

TEST_F(FileTest, NamesWhyAFileCannotBeOpened) {
  EXPECT_EQ("The file does not exist.", openFailure(folder_ + L"\\missing.mdi"));
  EXPECT_EQ("The file does not exist.", openFailure(folder_ + L"\\no folder\\missing.mdi"));
  EXPECT_EQ("The name is that of a folder, not of a document.", openFailure(folder_));
  EXPECT_EQ("The file is empty.", openFailure(write(L"empty.mdi", {})));
  std::string text = "Dear reader,\r\nthis is a letter.\r\n";
  EXPECT_EQ("The file is not a document: it does not begin with a TIFF header.",
            openFailure(write(L"letter.mdi", {text.begin(), text.end()})));
}

TEST_F(FileTest, ReadsPagesThroughTheFileAndLetsOthersReadAndDelete) {
  std::vector<docwriter::PageSpec> pages;
  for (uint32_t i = 0; i < 300; ++i) {
    docwriter::PageSpec page = readertest::patternPage(64, 48, 1, Codec::G4, i);
    page.text = "page " + std::to_string(i + 1);
    pages.push_back(page);
  }
  docwriter::PageSpec colour = readertest::patternPage(80, 60, 24, Codec::Jpeg, 9);
  pages.push_back(colour);
  std::wstring path = write(L"pages.mdi", docwriter::write(pages).bytes);

  {
    mdi::Document doc = mdi::Document::open(mdi::openFileSource(path));
    ASSERT_EQ(301u, doc.pageCount());
    EXPECT_EQ(u"page 300", doc.pageText(299));
    EXPECT_FALSE(mdi::decodePage(doc, 300).placeholder);
    mdi::PageImage page = mdi::decodePage(doc, 7);
    EXPECT_FALSE(page.placeholder);
    EXPECT_EQ(64u, page.width);

    // While the document is open, others may read the file but not write it.
    HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, reader);
    CloseHandle(reader);
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, writer);
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  }
  // Once the document is gone, so is its handle: the file opens exclusively.
  HANDLE exclusive = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(INVALID_HANDLE_VALUE, exclusive);
  CloseHandle(exclusive);
}

TEST_F(FileTest, AnOpenDocumentsFileMayBeDeleted) {
  std::wstring path = write(
      L"deleted.mdi", docwriter::write({readertest::patternPage(64, 48, 1, Codec::G4, 1)}).bytes);
  mdi::Document doc = mdi::Document::open(mdi::openFileSource(path));
  EXPECT_TRUE(DeleteFileW(path.c_str()));
  EXPECT_FALSE(mdi::decodePage(doc, 0).placeholder);
}

}  // namespace
