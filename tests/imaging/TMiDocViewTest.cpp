// The control wrapper against the fake control: hosting, properties, slots,
// errors, events and teardown.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Exception.h"
#include "imaging/MODI_TLB.h"
#include "imaging/TMiDocView.h"
#include "tests/fakes/FakeControl.h"

using framework::OleError;
using imaging::TMiDocView;
using Log = std::vector<std::string>;

namespace {

const RECT kBounds{0, 0, 300, 200};

// A top-level window standing in for the main window. Hidden unless a test
// needs the focus: showing a window under Wine without a window manager takes
// about two seconds.
class HostWindow {
 public:
  HostWindow() {
    handle_ = CreateWindowExA(0, "STATIC", "Host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 10, 10,
                              400, 300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  ~HostWindow() { DestroyWindow(handle_); }
  void show() { ShowWindow(handle_, SW_SHOWNORMAL); }
  HWND get() const { return handle_; }

 private:
  HWND handle_;
};

// The window's place relative to its parent's client area.
RECT placeInParent(HWND window) {
  RECT place;
  GetWindowRect(window, &place);
  MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&place), 2);
  return place;
}

class TMiDocViewTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(fakes::liveObjects(), 0); }
  void TearDown() override {
    view_.reset();
    EXPECT_EQ(fakes::liveObjects(), 0) << "fake objects leaked";
  }

  TMiDocView& create() {
    view_ = std::make_unique<TMiDocView>(host_.get(), kBounds);
    return *view_;
  }
  void destroy() { view_.reset(); }
  void openDocument(std::vector<std::wstring> pages) {
    fake_.files[L"doc.mdi"] = std::move(pages);
    view_->SetFileName("doc.mdi");
  }

  HostWindow host_;
  fakes::FakeControlRegistration registration_;
  fakes::FakeState& fake_ = registration_.state();
  std::unique_ptr<TMiDocView> view_;
};

// ---- Hosting ----------------------------------------------------------------------------------

TEST_F(TMiDocViewTest, SitesInitialisesAdvisesAndActivatesInOrder) {
  struct Row {
    const char* name;
    bool setClientSiteFirst;
    bool persistStreamInit;
    Log expected;
  };
  const Row rows[] = {
      {"site first", true, true, {"SetClientSite", "InitNew", "Advise", "DoVerb(-5)"}},
      {"site after init", false, true, {"InitNew", "SetClientSite", "Advise", "DoVerb(-5)"}},
      {"no persistence", false, false, {"SetClientSite", "Advise", "DoVerb(-5)"}},
  };
  for (const Row& row : rows) {
    fake_.log.clear();
    fake_.setClientSiteFirst = row.setClientSiteFirst;
    fake_.persistStreamInit = row.persistStreamInit;
    create();
    EXPECT_EQ(fake_.log, row.expected) << row.name;
    destroy();
  }
}

TEST_F(TMiDocViewTest, ActivatesInPlaceAsChildFillingTheBoundsAndFollowsSetBounds) {
  create();
  ASSERT_TRUE(IsWindow(fake_.window));
  EXPECT_EQ(GetParent(fake_.window), host_.get());
  RECT place = placeInParent(fake_.window);
  EXPECT_TRUE(EqualRect(&place, &kBounds))
      << place.left << "," << place.top << "," << place.right << "," << place.bottom;

  const RECT moved{5, 6, 205, 106};
  view_->SetBounds(moved);
  EXPECT_EQ(fake_.log.back(), "SetObjectRects(5,6,205,106)");
  place = placeInParent(fake_.window);
  EXPECT_TRUE(EqualRect(&place, &moved))
      << place.left << "," << place.top << "," << place.right << "," << place.bottom;
}

TEST_F(TMiDocViewTest, TearsDownInFixedOrderAndReleasesEverything) {
  create();
  HWND window = fake_.window;
  fake_.log.clear();
  destroy();
  EXPECT_EQ(fake_.log, (Log{"InPlaceDeactivate", "Unadvise", "Close", "SetClientSite(null)"}));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(fakes::liveObjects(), 0);
}

TEST_F(TMiDocViewTest, EventsRaisedDuringTeardownAreDropped) {
  fake_.eventsOnTeardown = true;
  create();
  int calls = 0;
  view_->OnCurPageNumChanged = [&] { ++calls; };
  destroy();
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(fake_.events.empty()) << "the fake raised no event while torn down";
}

TEST_F(TMiDocViewTest, ConstructionFailingMidwayThrowsAndReleasesWhatWasAcquired) {
  struct Row {
    const char* failing;
    Log expected;  // the calls up to the failing one, then what the wrapper undoes
  };
  const Row rows[] = {
      {"CreateInstance", {}},
      {"SetClientSite", {"SetClientSite", "Close"}},
      {"InitNew", {"SetClientSite", "InitNew", "Close", "SetClientSite(null)"}},
      {"FindConnectionPoint", {"SetClientSite", "InitNew", "Close", "SetClientSite(null)"}},
      {"Advise", {"SetClientSite", "InitNew", "Advise", "Close", "SetClientSite(null)"}},
      {"DoVerb",
       {"SetClientSite", "InitNew", "Advise", "DoVerb(-5)", "Unadvise", "Close",
        "SetClientSite(null)"}},
  };
  for (const Row& row : rows) {
    fake_.log.clear();
    fake_.fail.clear();
    fake_.fail[row.failing] = {E_ACCESSDENIED, L"Refused by the control"};
    try {
      create();
      ADD_FAILURE() << row.failing << ": no exception";
    } catch (const OleError& error) {
      EXPECT_EQ(error.code(), E_ACCESSDENIED) << row.failing;
      EXPECT_STREQ(error.what(), "Refused by the control") << row.failing;
    }
    EXPECT_EQ(fake_.log, row.expected) << row.failing;
    EXPECT_EQ(fakes::liveObjects(), 0) << row.failing;
    EXPECT_EQ(fake_.window, nullptr) << row.failing;
  }
}

// ---- Properties and slots ---------------------------------------------------------------------

TEST_F(TMiDocViewTest, ReadsAndWritesPropertiesAndCallsSlots) {
  create();
  openDocument({L"one", L"two", L"three"});
  EXPECT_EQ(view_->PageCount(), 3);
  EXPECT_EQ(view_->PageNum(), 0);

  fake_.log.clear();
  view_->SetPageNum(2);
  view_->SetFitMode(MODI_TLB::FitWindow);
  view_->SetScale(0.5, 0.5);
  view_->SelectPage(1);
  view_->SelectPage(-1);
  EXPECT_EQ(fake_.log, (Log{"PageNum=2", "FitMode=3", "SetScale(0.5,0.5)", "SelectPage(1)",
                            "SelectPage(-1)"}));
  EXPECT_EQ(view_->PageNum(), 2);
  EXPECT_EQ(fake_.fitMode, 3);
  EXPECT_EQ(fake_.selection, -1);
}

TEST_F(TMiDocViewTest, FileNameCrossesInTheAnsiCodePage) {
  if (GetACP() != 1252) GTEST_SKIP() << "needs the Western code page, have " << GetACP();
  create();
  fake_.files[L"C:\\caf\u00e9.mdi"] = {L"p"};
  view_->SetFileName("C:\\caf\xE9.mdi");
  EXPECT_EQ(fake_.fileName, L"C:\\caf\u00e9.mdi");
  EXPECT_EQ(view_->PageCount(), 1);
}

TEST_F(TMiDocViewTest, EmptyFileNameIsANullString) {
  create();
  openDocument({L"p"});
  view_->SetFileName("");
  EXPECT_EQ(fake_.log.back(), "FileName=(null)");
  EXPECT_EQ(view_->PageCount(), 0);
}

TEST(AnsiConversion, UsesTheSystemConversionWithoutFlags) {
  if (GetACP() != 1252) GTEST_SKIP() << "needs the Western code page, have " << GetACP();
  EXPECT_EQ(imaging::ansiToWide("caf\xE9"), L"caf\u00e9");
  EXPECT_EQ(imaging::ansiToWide(""), L"");
  EXPECT_EQ(imaging::wideToAnsi(L"caf\u00e9", 4), "caf\xE9");
  EXPECT_EQ(imaging::wideToAnsi(L"\u20ac", 1), "\x80");  // the euro sign is in 1252
  // Characters the code page lacks are replaced, never dropped or kept as 16-bit text.
  std::string cyrillic = imaging::wideToAnsi(L"\u0416x", 2);
  EXPECT_EQ(cyrillic, "?x");
  // Without WC_NO_BEST_FIT_CHARS the system may give a close Latin letter.
  std::string macron = imaging::wideToAnsi(L"\u0100", 1);
  EXPECT_TRUE(macron == "A" || macron == "?") << macron;
  EXPECT_EQ(imaging::wideToAnsi(L"a\0b", 3), std::string("a\0b", 3));
  EXPECT_EQ(imaging::wideToAnsi(nullptr, 0), "");
}

// ---- Failures ---------------------------------------------------------------------------------

struct FailureRow {
  const char* name;
  const char* failing;
  fakes::Failure failure;
  std::function<void(TMiDocView&)> call;
  HRESULT expectedCode;
  std::string expectedMessage;  // empty: the system's text for expectedCode
};

TEST_F(TMiDocViewTest, FailuresCarryTheComponentsDescriptionElseTheSystemText) {
  using fakes::ErrorChannel;
  const FailureRow rows[] = {
      {"get, EXCEPINFO",
       "PageCount.get",
       {E_FAIL, L"Broken count"},
       [](TMiDocView& v) { v.PageCount(); },
       E_FAIL,
       "Broken count"},
      {"get, deferred EXCEPINFO",
       "PageNum.get",
       {E_ABORT, L"Later text", 0, ErrorChannel::DeferredExcepInfo},
       [](TMiDocView& v) { v.PageNum(); },
       E_ABORT,
       "Later text"},
      {"put, error object",
       "FileName.put",
       {E_ACCESSDENIED, L"No entry", 0, ErrorChannel::ErrorInfo},
       [](TMiDocView& v) { v.SetFileName("x.mdi"); },
       E_ACCESSDENIED,
       "No entry"},
      {"put, no description",
       "PageNum.put",
       {E_ACCESSDENIED, L"", 0, ErrorChannel::None},
       [](TMiDocView& v) { v.SetPageNum(0); },
       E_ACCESSDENIED,
       ""},
      {"put, EXCEPINFO in ANSI",
       "FitMode.put",
       {E_FAIL, L"Fall\u00f3"},
       [](TMiDocView& v) { v.SetFitMode(2); },
       E_FAIL,
       "Fall\xF3"},
      {"document object get",
       "DocumentObject.get",
       {E_FAIL, L"No doc object"},
       [](TMiDocView& v) { v.DocumentObject(); },
       E_FAIL,
       "No doc object"},
      {"slot, error object",
       "SetScale",
       {E_INVALIDARG, L"Bad scale"},
       [](TMiDocView& v) { v.SetScale(2, 2); },
       E_INVALIDARG,
       "Bad scale"},
      {"slot, no description",
       "SelectPage",
       {E_OUTOFMEMORY, L"", 0, ErrorChannel::None},
       [](TMiDocView& v) { v.SelectPage(0); },
       E_OUTOFMEMORY,
       ""},
      {"text selection",
       "TextSelection",
       {E_FAIL, L"No text"},
       [](TMiDocView& v) { v.TextSelection(); },
       E_FAIL,
       "No text"},
      {"image selection",
       "ImageSelection",
       {E_FAIL, L"No image"},
       [](TMiDocView& v) { v.ImageSelection(); },
       E_FAIL,
       "No image"},
      {"positive status from Invoke",
       "PageCount.get",
       {S_FALSE, L"", 0, ErrorChannel::None},
       [](TMiDocView& v) { v.PageCount(); },
       S_FALSE,
       ""},
  };
  if (GetACP() != 1252) GTEST_SKIP() << "needs the Western code page, have " << GetACP();
  create();
  openDocument({L"p"});
  for (const FailureRow& row : rows) {
    fake_.fail.clear();
    fake_.fail[row.failing] = row.failure;
    std::string expected = row.expectedMessage.empty() ? framework::systemMessage(row.expectedCode)
                                                       : row.expectedMessage;
    try {
      row.call(*view_);
      ADD_FAILURE() << row.name << ": no exception";
    } catch (const OleError& error) {
      EXPECT_EQ(error.code(), row.expectedCode) << row.name;
      EXPECT_EQ(std::string(error.what()), expected) << row.name;
    }
  }
}

TEST_F(TMiDocViewTest, RealFailuresOfTheControlCarryItsDescription) {
  create();
  openDocument({L"p", L"q"});
  try {
    view_->SetPageNum(5);
    ADD_FAILURE() << "a page outside the document was accepted";
  } catch (const OleError& error) {
    EXPECT_STREQ(error.what(), "Invalid page number.");
    EXPECT_EQ(error.code(), E_INVALIDARG);
  }
  try {
    view_->SetFileName("unknown.mdi");
    ADD_FAILURE() << "an unknown file loaded";
  } catch (const OleError& error) {
    EXPECT_STREQ(error.what(), "Cannot open the document.");
  }
  EXPECT_EQ(view_->PageCount(), 0);
}

TEST_F(TMiDocViewTest, ErrorObjectIsIgnoredWhenTheInterfaceDoesNotSupportIt) {
  create();
  fake_.supportsErrorInfo = false;
  fake_.fail["SetScale"] = {E_INVALIDARG, L"Unsupported description"};
  try {
    view_->SetScale(1, 1);
    ADD_FAILURE() << "no exception";
  } catch (const OleError& error) {
    EXPECT_EQ(std::string(error.what()), framework::systemMessage(E_INVALIDARG));
  }
}

TEST_F(TMiDocViewTest, PositiveStatusFromASlotIsNotAFailure) {
  create();
  fake_.fail["SetScale"] = {S_FALSE, L"Only a warning"};
  EXPECT_NO_THROW(view_->SetScale(2, 2));
}

TEST_F(TMiDocViewTest, FailureAfterSomeCallsStartsThere) {
  create();
  openDocument({L"a", L"b", L"c"});
  fake_.fail["SelectPage"] = {E_FAIL, L"Third time", 2};
  EXPECT_NO_THROW(view_->SelectPage(0));
  EXPECT_NO_THROW(view_->SelectPage(1));
  EXPECT_THROW(view_->SelectPage(2), OleError);
}

TEST(OleCheck, TurnsNegativeStatusIntoOleErrorOnly) {
  EXPECT_NO_THROW(imaging::OleCheck(S_OK, nullptr, IID_IUnknown));
  EXPECT_NO_THROW(imaging::OleCheck(S_FALSE, nullptr, IID_IUnknown));
  SetErrorInfo(0, nullptr);
  try {
    imaging::OleCheck(E_NOTIMPL, nullptr, IID_IUnknown);
    ADD_FAILURE() << "no exception";
  } catch (const OleError& error) {
    EXPECT_EQ(error.code(), E_NOTIMPL);
    EXPECT_EQ(std::string(error.what()), framework::systemMessage(E_NOTIMPL));
  }
}

// ---- Document object and selections ------------------------------------------------------------

TEST_F(TMiDocViewTest, DocumentObjectIsTheControlsDispatchObject) {
  create();
  openDocument({L"p"});
  {
    auto document = view_->DocumentObject();
    ASSERT_TRUE(document);
    auto printing = document.as<MODI_TLB::IDocumentObject>(MODI_TLB::IID_IDocumentObject);
    ASSERT_TRUE(printing);
    BSTR printer = SysAllocString(L"PDF");
    EXPECT_EQ(printing->PrintDocument(0, 0, 1, printer, 0, 0, 0), S_OK);
    SysFreeString(printer);
    EXPECT_EQ(fake_.log.back(), "PrintDocument(0,0,1,PDF,0,0,0)");
  }
  EXPECT_EQ(fakes::liveObjects(), 1) << "only the control itself should be alive";
}

TEST_F(TMiDocViewTest, MissingDocumentObjectIsAFailure) {
  create();
  for (auto kind : {fakes::DocumentObjectKind::Null, fakes::DocumentObjectKind::NotDispatch}) {
    fake_.documentObject = kind;
    try {
      view_->DocumentObject();
      ADD_FAILURE() << "kind " << static_cast<int>(kind) << ": no exception";
    } catch (const OleError& error) {
      EXPECT_STREQ(error.what(), "The control has no document object.");
    }
  }
}

TEST_F(TMiDocViewTest, SelectionsAreQueriedForTheirInterfaces) {
  create();
  openDocument({L"first page", L"second page"});
  view_->SelectPage(1);
  {
    auto text = view_->TextSelection();
    ASSERT_TRUE(text);
    BSTR selected = nullptr;
    ASSERT_EQ(text->get_SelectionText(&selected), S_OK);
    EXPECT_EQ(std::wstring(selected), L"second page");
    SysFreeString(selected);
    auto image = view_->ImageSelection();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->CopyToClipboard(1, 1), S_OK);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
    CloseClipboard();
  }
  EXPECT_EQ(fakes::liveObjects(), 1);

  fake_.textSelectionAnswers = false;
  fake_.imageSelectionAnswers = false;
  EXPECT_THROW(view_->TextSelection(), OleError);
  EXPECT_THROW(view_->ImageSelection(), OleError);
  EXPECT_EQ(fakes::liveObjects(), 1) << "a refused selection object was kept";
}

// ---- Events -------------------------------------------------------------------------------------

TEST_F(TMiDocViewTest, CurrentPageEventReachesTheHandler) {
  create();
  openDocument({L"a", L"b", L"c"});
  std::vector<LONG> seen;
  view_->OnCurPageNumChanged = [&] { seen.push_back(view_->PageNum()); };
  EXPECT_EQ(fake_.changePage(2), S_OK);
  view_->SetPageNum(1);
  view_->SetFileName("");
  EXPECT_EQ(seen, (std::vector<LONG>{2, 1, -1}));
}

TEST_F(TMiDocViewTest, OtherEventsAreIgnored) {
  create();
  int calls = 0;
  view_->OnCurPageNumChanged = [&] { ++calls; };
  for (DISPID id : {1, 2, 3, 4, 5, 7}) EXPECT_EQ(fake_.fireEvent(id), S_OK) << id;
  EXPECT_EQ(calls, 0);
}

TEST_F(TMiDocViewTest, FailureInTheHandlerGoesToOnEventErrorAndTheEventReturnsNormally) {
  create();
  openDocument({L"a", L"b"});
  std::vector<std::string> reported;
  view_->OnCurPageNumChanged = [] { throw framework::Exception("Handler broke"); };
  view_->OnEventError = [&](const std::exception& e) { reported.push_back(e.what()); };
  EXPECT_EQ(fake_.changePage(1), S_OK);
  EXPECT_EQ(reported, (std::vector<std::string>{"Handler broke"}));

  // Without an error handler, and with one that fails itself, the event still returns.
  view_->OnEventError = nullptr;
  EXPECT_EQ(fake_.changePage(0), S_OK);
  view_->OnEventError = [](const std::exception&) { throw 42; };
  EXPECT_EQ(fake_.changePage(1), S_OK);
}

// ---- Focus and keys -----------------------------------------------------------------------------

TEST_F(TMiDocViewTest, ContainsFocusCoversTheControlWindowAndItsChildren) {
  host_.show();
  create();
  SetForegroundWindow(host_.get());
  struct Row {
    const char* name;
    HWND focus;
    bool expected;
  };
  const Row rows[] = {
      {"control window", fake_.window, true},
      {"child of the control", fake_.innerWindow, true},
      {"host window", host_.get(), false},
  };
  for (const Row& row : rows) {
    ::SetFocus(row.focus);
    ASSERT_EQ(GetFocus(), row.focus) << row.name << ": focus could not be set";
    EXPECT_EQ(view_->ContainsFocus(), row.expected) << row.name;
  }
  view_->SetFocus();
  EXPECT_TRUE(view_->ContainsFocus());
}

TEST_F(TMiDocViewTest, TranslateAcceleratorIsTrueOnlyForKeysTheControlTakes) {
  create();
  fake_.acceleratorKeys = {VK_NEXT};
  MSG next{fake_.window, WM_KEYDOWN, VK_NEXT, 0, 0, {0, 0}};
  MSG prior{fake_.window, WM_KEYDOWN, VK_PRIOR, 0, 0, {0, 0}};
  EXPECT_TRUE(view_->TranslateAccelerator(next));
  EXPECT_FALSE(view_->TranslateAccelerator(prior));
}

}  // namespace
