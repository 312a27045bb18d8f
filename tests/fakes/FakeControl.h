// A stand-in for the imaging component's page-view control, registered for the
// test process under the control's class id, so that the program's own
// creation code gets it. Tests script it and read what was asked of it through
// fakes::state().
//
//   fakes::FakeControlRegistration reg;          // fresh state, class registered
//   auto& fake = reg.state();
//   fake.files[L"C:\\a.mdi"] = {L"page one", L"page two"};
//   fake.fail["PageCount.get"] = {E_FAIL, L"Broken"};
//   ... run the program's code ...
//   EXPECT_EQ(fake.log, (std::vector<std::string>{"FileName=C:\\a.mdi"}));
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace fakes {

// How an injected or real failure hands its description to the caller.
enum class ErrorChannel {
  Default,            // IDispatch::Invoke: EXCEPINFO; vtable calls: SetErrorInfo
  ErrorInfo,          // SetErrorInfo, and Invoke returns the status itself
  DeferredExcepInfo,  // Invoke: EXCEPINFO filled in only through pfnDeferredFillIn
  None,               // no description at all: the caller falls back to the system's text
};

struct Failure {
  HRESULT hr = E_FAIL;
  std::wstring description;
  int after = 0;  // this many calls succeed before the failures start
  ErrorChannel channel = ErrorChannel::Default;
};

// What the DocumentObject property returns.
enum class DocumentObjectKind {
  Full,          // an object answering IDocumentObject
  DispatchOnly,  // an IDispatch that does not answer IDocumentObject
  Null,          // VT_DISPATCH holding a null pointer
  NotDispatch,   // VT_EMPTY
};

// The bitmap that the image selection's CopyToClipboard(1,1) places as CF_BITMAP.
struct ClipboardImage {
  bool present = true;  // false: the clipboard is emptied and no bitmap placed
  int width = 8;
  int height = 6;
  int bitsPerPixel = 24;
};

struct PrintCall {
  LONG first, last, copies;
  std::wstring printer;
  LONG reserved1, reserved2, reserved3;
};

struct FakeState {
  // --- Script ---
  // The documents the control can load: FileName as the control receives it →
  // page texts. A name not listed fails to load, leaving no document.
  std::map<std::wstring, std::vector<std::wstring>> files;
  // Failures by call name: "PageNum.get", "PageNum.put", "PageCount.get",
  // "FileName.put", "FitMode.put", "DocumentObject.get", "SetScale",
  // "SelectPage", "TextSelection", "ImageSelection", "Item.CopyToClipboard",
  // "SelectionText", "Image.CopyToClipboard", "PrintDocument", and for hosting
  // "CreateInstance", "InitNew", "SetClientSite", "FindConnectionPoint",
  // "Advise", "DoVerb", "SetObjectRects".
  std::map<std::string, Failure> fail;
  DocumentObjectKind documentObject = DocumentObjectKind::Full;
  bool textSelectionAnswers = true;   // the TextSelection object answers IMiSelectableItem
  bool imageSelectionAnswers = true;  // the ImageSelection object answers IMiSelectableImage
  bool setClientSiteFirst = true;     // OLEMISC_SETCLIENTSITEFIRST in GetMiscStatus
  bool persistStreamInit = true;      // the control offers IPersistStreamInit
  bool supportsErrorInfo = true;      // ISupportErrorInfo answers S_OK for its interfaces
  bool eventsOnTeardown = false;      // InPlaceDeactivate and Close raise event 6
  std::set<WPARAM> acceleratorKeys;   // virtual keys TranslateAccelerator takes (WM_KEYDOWN)
  ClipboardImage clipboardImage;

  // --- The control's document and view ---
  std::wstring fileName;
  std::vector<std::wstring> pages;  // PageCount is their number
  LONG pageNum = -1;
  LONG selection = -1;  // the selected page, -1 none
  LONG fitMode = 0;
  double scaleX = 1.0, scaleY = 1.0;
  HWND window = nullptr;       // the control's window while active in place
  HWND innerWindow = nullptr;  // a child of it, to hold the focus inside the control

  // --- Record ---
  // Calls in order, UTF-8: "InitNew", "SetClientSite", "SetClientSite(null)",
  // "Advise", "DoVerb(-5)", "SetObjectRects(0,0,100,50)", "InPlaceDeactivate",
  // "Unadvise", "Close", "FileName=C:\\x.mdi", "FileName=(null)", "PageNum=2",
  // "FitMode=3", "SetScale(2,2)", "SelectPage(1)", "CopyToClipboard",
  // "CopyToClipboard(1,1)", "SelectionText", "PrintDocument(0,4,1,PDF,0,0,0)".
  // Property reads are not logged; every call is counted in `calls`.
  std::vector<std::string> log;
  std::map<std::string, int> calls;  // by the failure names above
  std::vector<PrintCall> prints;
  std::vector<DISPID> events;  // events raised, in order

  // Makes `pages` the loaded document under `name`, as a load would, without an event.
  void openDocument(const std::wstring& name, std::vector<std::wstring> documentPages);
  // Raises event 6 as a page change made inside the control would, after
  // setting the current page. Returns what the advised sink answered (S_FALSE
  // when none is advised).
  HRESULT changePage(LONG page);
  HRESULT fireEvent(DISPID id);
};

// The state of the fakes; FakeControlRegistration resets it.
FakeState& state();

// Fake COM objects alive now (controls, selections, document objects). Zero
// once everything handed out has been released.
int liveObjects();

// Registers the fake's class object for the control's class id for its
// lifetime, with a fresh state.
class FakeControlRegistration {
 public:
  FakeControlRegistration();
  ~FakeControlRegistration();
  FakeControlRegistration(const FakeControlRegistration&) = delete;
  FakeControlRegistration& operator=(const FakeControlRegistration&) = delete;
  FakeState& state() { return fakes::state(); }

 private:
  DWORD cookie_ = 0;
};

}  // namespace fakes
