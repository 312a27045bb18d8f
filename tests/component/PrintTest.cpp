// The document object: its own slots, and PrintDocument (slot 16) on the CUPS
// PDF printer that ./test sets up, counting the pages of the PDF that arrives.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "Fixture.h"

namespace componenttest {
namespace {

using namespace MODI_TLB;

class DocumentObjectTest : public HostedControl {
 protected:
  ComPtr<IDocumentObject> documentObject() {
    auto result = getProperty(dispatch.get(), DISPID_DocumentObject);
    EXPECT_EQ(VT_DISPATCH, V_VT(&result->value));
    if (V_VT(&result->value) != VT_DISPATCH || !V_DISPATCH(&result->value)) return nullptr;
    return ComPtr<IDispatch>::share(V_DISPATCH(&result->value))
        .as<IDocumentObject>(IID_IDocumentObject);
  }
};

std::wstring takeBstr(BSTR text) {
  std::wstring result = text ? std::wstring(text, SysStringLen(text)) : L"(null)";
  SysFreeString(text);
  return result;
}

TEST_F(DocumentObjectTest, OwnSlotsSevenToFifteen) {
  load(fiveTestPages());
  auto document = documentObject();
  ASSERT_TRUE(document);
  IUnknown* d = document.get();
  LONG value = 0;
  EXPECT_EQ(S_OK, callSlot(d, 7, &value));  // get_PageCount
  EXPECT_EQ(5, value);
  BSTR text = nullptr;
  EXPECT_EQ(S_OK, callSlot(d, 8, &text));  // get_FileName
  EXPECT_EQ(narrow(fiveTestPages()), narrow(takeBstr(text)));
  LONG width = 0, height = 0;
  EXPECT_EQ(S_OK, callSlot(d, 9, LONG(4), &width, &height));  // GetPageSize
  EXPECT_EQ(2000, width);
  EXPECT_EQ(1000, height);
  EXPECT_EQ(E_INVALIDARG, callSlot(d, 9, LONG(5), &width, &height));
  EXPECT_EQ("Page 6 does not exist: the document has 5 pages.", narrow(lastErrorDescription()));
  double dpiX = 0, dpiY = 0;
  EXPECT_EQ(S_OK, callSlot(d, 10, LONG(1), &dpiX, &dpiY));  // GetPageResolution
  EXPECT_EQ(50.0, dpiX);
  EXPECT_EQ(S_OK, callSlot(d, 11, LONG(2), &text));  // get_PageText
  EXPECT_EQ("Third", narrow(takeBstr(text)));
  VARIANT_BOOL flag = VARIANT_FALSE;
  EXPECT_EQ(S_OK, callSlot(d, 12, LONG(0), &flag));  // get_PageHasText
  EXPECT_EQ(VARIANT_TRUE, flag);
  EXPECT_EQ(S_OK, callSlot(d, 12, LONG(1), &flag));
  EXPECT_EQ(VARIANT_FALSE, flag);
  for (LONG page = 0; page < 5; ++page) {
    EXPECT_EQ(S_OK, callSlot(d, 13, page, &value));  // get_PageBitsPerPixel
    EXPECT_EQ(kFivePageBits[page], value);
  }
  EXPECT_EQ(S_OK, callSlot(d, 14, &text));  // get_DefaultPrinter
  EXPECT_EQ("PDF", narrow(takeBstr(text)));
  EXPECT_EQ(S_OK, callSlot(d, 15, &flag));  // get_IsOpen
  EXPECT_EQ(VARIANT_TRUE, flag);
  // The object keeps its document after the control closes it.
  ASSERT_EQ(S_OK, putProperty(dispatch.get(), DISPID_FileName, textVariant(L""))->hr);
  EXPECT_EQ(S_OK, callSlot(d, 7, &value));
  EXPECT_EQ(5, value);
  auto closed = documentObject();
  ASSERT_TRUE(closed);
  EXPECT_EQ(S_OK, callSlot(closed.get(), 15, &flag));
  EXPECT_EQ(VARIANT_FALSE, flag);
  EXPECT_EQ(S_OK, callSlot(closed.get(), 7, &value));
  EXPECT_EQ(0, value);
}

TEST_F(DocumentObjectTest, PrintDocumentRefusesBadRangesCopiesAndPrinters) {
  load(fiveTestPages());
  auto document = documentObject();
  ASSERT_TRUE(document);
  struct Row {
    LONG first, last, copies;
    const wchar_t* printer;
    HRESULT hr;
    const char* description;
  } rows[] = {
      {3, 1, 1, L"PDF", E_INVALIDARG, "The first page to print (4) comes after the last (2)."},
      {0, 5, 1, L"PDF", E_INVALIDARG, "Pages 1 to 6 cannot be printed: the document has 5 pages."},
      {-1, 2, 1, L"PDF", E_INVALIDARG, "Pages 0 to 3 cannot be printed: the document has 5 pages."},
      {0, 0, 0, L"PDF", E_INVALIDARG, "At least one copy must be printed, not 0."},
      {0, 0, -3, L"PDF", E_INVALIDARG, "At least one copy must be printed, not -3."},
      {0, 0, 1, L"No Such Printer", kPrintFailed,
       "The printer \"No Such Printer\" is not installed: choose another printer."},
      {0, 0, 1, L"Nothing on LPT1:", kPrintFailed,
       "The printer \"Nothing on LPT1:\" is not installed: choose another printer."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.description);
    BSTR printer = SysAllocString(row.printer);
    EXPECT_EQ(row.hr, callSlot(document.get(), 16, row.first, row.last, row.copies, printer,
                               LONG(0), LONG(0), LONG(0)));
    EXPECT_EQ(row.description, narrow(lastErrorDescription()));
    SysFreeString(printer);
  }
  auto support = document.as<ISupportErrorInfo>(IID_ISupportErrorInfo);
  ASSERT_TRUE(support);
  EXPECT_EQ(S_OK, support->InterfaceSupportsErrorInfo(IID_IDocumentObject));
}

// Where cups-pdf leaves the printing user's PDFs, as a Windows path on Wine's Z: drive.
std::wstring pdfFolder() {
  wchar_t value[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"FOLIREX_PDF_DIR", value, MAX_PATH)) {
    std::wstring path = L"Z:" + std::wstring(value) + L"\\";
    for (wchar_t& c : path)
      if (c == L'/') c = L'\\';
    return path;
  }
  // Wine gives the Unix home as \??\Z:\home\user; cups-pdf writes into its PDF folder.
  GetEnvironmentVariableW(L"WINEHOMEDIR", value, MAX_PATH);
  std::wstring home = value;
  if (home.rfind(L"\\??\\", 0) == 0) home.erase(0, 4);
  return home + L"\\PDF\\";
}

std::string readFile(const std::wstring& path) {
  std::ifstream in(narrow(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Waits for a finished PDF whose name contains `token`; empty after a minute.
std::string awaitPdf(const std::wstring& token) {
  for (int attempt = 0; attempt < 600; ++attempt) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((pdfFolder() + L"*" + token + L"*.pdf").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      FindClose(search);
      std::string bytes = readFile(pdfFolder() + found.cFileName);
      size_t end = bytes.rfind("%%EOF");
      if (end != std::string::npos && end + 10 >= bytes.size()) {
        DeleteFileW((pdfFolder() + found.cFileName).c_str());
        return bytes;
      }
    }
    Sleep(100);
  }
  return std::string();
}

// Page objects: "/Type /Page" (spaces optional), not "/Type /Pages".
int countPages(const std::string& pdf) {
  int pages = 0;
  for (size_t at = pdf.find("/Type"); at != std::string::npos; at = pdf.find("/Type", at + 1)) {
    size_t next = pdf.find_first_not_of(" \r\n\t", at + 5);
    if (next != std::string::npos && pdf.compare(next, 5, "/Page") == 0 &&
        !std::isalnum(static_cast<unsigned char>(pdf[next + 5])))
      ++pages;
  }
  return pages;
}

TEST(PdfPages, CountsPageObjectsOnly) {
  EXPECT_EQ(2, countPages("<</Type/Pages/Count 2>> <</Type /Page>> <</Type\n/Page/MediaBox[]>>"));
  EXPECT_EQ(0, countPages("<</Type/Catalog>>"));
}

TEST_F(DocumentObjectTest, PrintDocumentPrintsTheRangeCopiesTimesAsOneJob) {
  struct Row {
    LONG first, last, copies;
    const wchar_t* printer;
    bool raw;
  } rows[] = {
      {0, 4, 1, L"PDF", true}, {1, 2, 2, L"PDF on cups-pdf:/", false}, {3, 3, 3, L"PDF", true}};
  const std::wstring run = std::to_wstring(GetTickCount());
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(narrow(row.printer) + " row " + std::to_string(i));
    const std::wstring token = L"printjob" + run + L"x" + std::to_wstring(i);
    load(copyOfFivePages(token + L".mdi"));
    auto document = documentObject();
    ASSERT_TRUE(document);
    BSTR printer = SysAllocString(row.printer);
    HRESULT hr = row.raw
                     ? callSlot(document.get(), 16, row.first, row.last, row.copies, printer,
                                LONG(0), LONG(0), LONG(0))
                     : document->PrintDocument(row.first, row.last, row.copies, printer, 0, 0, 0);
    SysFreeString(printer);
    ASSERT_EQ(S_OK, hr) << narrow(lastErrorDescription());
    std::string pdf = awaitPdf(token);
    ASSERT_FALSE(pdf.empty()) << "no PDF named after " << narrow(token) << " in "
                              << narrow(pdfFolder());
    EXPECT_EQ((row.last - row.first + 1) * row.copies, countPages(pdf));
  }
}

}  // namespace
}  // namespace componenttest
