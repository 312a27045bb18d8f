#include "tests/fakes/FakeControl.h"

#include <ocidl.h>
#include <olectl.h>
#include <ole2.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <stdexcept>
#include <utility>

#include "framework/ComPtr.h"
#include "imaging/MODI_TLB.h"

using framework::ComPtr;

namespace fakes {

namespace {

int liveCount = 0;

// Every fake COM object counts itself while alive.
struct Counted {
  Counted() { ++liveCount; }
  ~Counted() { --liveCount; }
  Counted(const Counted&) = delete;
  Counted& operator=(const Counted&) = delete;
};

std::string utf8(const wchar_t* text, size_t length) {
  if (!text || length == 0) return std::string();
  int size =
      WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &result[0], size, nullptr,
                      nullptr);
  return result;
}

std::string utf8(BSTR text) {
  return utf8(text, text ? SysStringLen(text) : 0);
}

std::string format(const char* pattern, ...) {
  char buffer[256];
  va_list args;
  va_start(args, pattern);
  vsnprintf(buffer, sizeof buffer, pattern, args);
  va_end(args);
  return buffer;
}

void record(const std::string& entry) {
  state().log.push_back(entry);
}

// -- Failures, reported the way a real component reports them -------------------------------

std::wstring deferredDescription;
HRESULT deferredCode = S_OK;

HRESULT STDAPICALLTYPE fillInDeferred(EXCEPINFO* info) {
  info->bstrSource = SysAllocString(L"FakeControl");
  info->bstrDescription = SysAllocString(deferredDescription.c_str());
  info->scode = deferredCode;
  return S_OK;
}

void setErrorInfo(REFIID iid, const std::wstring& description) {
  ComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(create.put()))) return;
  create->SetGUID(iid);
  create->SetSource(const_cast<LPOLESTR>(L"FakeControl"));
  create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
  auto info = create.as<IErrorInfo>(IID_IErrorInfo);
  SetErrorInfo(0, info.get());
}

// Reports a failure of an Invoke (`excep` given) or of a vtable call of `iid`.
HRESULT raise(const Failure& failure, REFIID iid, EXCEPINFO* excep) {
  switch (failure.channel) {
    case ErrorChannel::None:
      SetErrorInfo(0, nullptr);
      return failure.hr;
    case ErrorChannel::ErrorInfo:
      setErrorInfo(iid, failure.description);
      return failure.hr;
    case ErrorChannel::DeferredExcepInfo:
      if (!excep) break;
      *excep = EXCEPINFO{};
      deferredDescription = failure.description;
      deferredCode = failure.hr;
      excep->pfnDeferredFillIn = fillInDeferred;
      return DISP_E_EXCEPTION;
    case ErrorChannel::Default:
      break;
  }
  if (!excep) {
    setErrorInfo(iid, failure.description);
    return failure.hr;
  }
  *excep = EXCEPINFO{};
  excep->bstrSource = SysAllocString(L"FakeControl");
  excep->bstrDescription = SysAllocString(failure.description.c_str());
  excep->scode = failure.hr;
  return DISP_E_EXCEPTION;
}

HRESULT raise(HRESULT hr, const wchar_t* description, REFIID iid, EXCEPINFO* excep) {
  Failure failure;
  failure.hr = hr;
  failure.description = description;
  return raise(failure, iid, excep);
}

// Counts the call and answers with its scripted failure, S_OK when there is none.
HRESULT injected(const std::string& name, REFIID iid, EXCEPINFO* excep = nullptr) {
  int count = ++state().calls[name];
  auto found = state().fail.find(name);
  if (found == state().fail.end() || count <= found->second.after) return S_OK;
  return raise(found->second, iid, excep);
}

// -- Windows ------------------------------------------------------------------------------------

const char* const kControlClass = "FolirexFakeControl";

void registerWindowClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kControlClass;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  registered = RegisterClassA(&windowClass) != 0;
}

// The clipboard needs an owner window for SetClipboardData; one lives for the process.
HWND clipboardOwner() {
  static HWND owner = nullptr;
  if (!owner) {
    registerWindowClass();
    owner = CreateWindowExA(0, kControlClass, "FakeClipboardOwner", 0, 0, 0, 0, 0, HWND_MESSAGE,
                            nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  return owner;
}

HRESULT putOnClipboard(UINT format, HANDLE data) {
  if (!OpenClipboard(clipboardOwner())) return HRESULT_FROM_WIN32(GetLastError());
  EmptyClipboard();
  bool placed = !data || SetClipboardData(format, data);
  CloseClipboard();
  return placed ? S_OK : E_FAIL;
}

HANDLE unicodeText(const std::wstring& text) {
  size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!block) return nullptr;
  auto* target = static_cast<wchar_t*>(GlobalLock(block));
  std::copy(text.begin(), text.end(), target);
  target[text.size()] = L'\0';
  GlobalUnlock(block);
  return block;
}

// A bitmap of the configured size and depth with a fixed pattern of bits.
HBITMAP patternBitmap(const ClipboardImage& image) {
  int stride = ((image.width * image.bitsPerPixel + 15) / 16) * 2;
  std::vector<BYTE> bits(static_cast<size_t>(stride) * static_cast<size_t>(image.height));
  for (size_t i = 0; i < bits.size(); ++i) bits[i] = static_cast<BYTE>(i * 37 + 11);
  return CreateBitmap(image.width, image.height, 1, static_cast<UINT>(image.bitsPerPixel),
                      bits.data());
}

const std::wstring* selectedPageText() {
  const FakeState& fake = state();
  if (fake.selection < 0 || fake.selection >= static_cast<LONG>(fake.pages.size())) return nullptr;
  return &fake.pages[static_cast<size_t>(fake.selection)];
}

// -- IDispatch without members, for the objects the program calls by slot only ------------

template <class Interface>
class DispatchStub : public Interface {
 public:
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    *info = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
};

#define FAKE_REFCOUNT                       \
  STDMETHODIMP_(ULONG) AddRef() override {  \
    return ++references_;                   \
  }                                         \
  STDMETHODIMP_(ULONG) Release() override { \
    ULONG left = --references_;             \
    if (left == 0) delete this;             \
    return left;                            \
  }                                         \
  ULONG references_ = 1;

#define FAKE_PLACEHOLDER(n)            \
  STDMETHODIMP slot##n##_() override { \
    return E_NOTIMPL;                  \
  }

// -- Selections and the document object ---------------------------------------------------

class TextSelection final : public DispatchStub<MODI_TLB::IMiSelectableItem>,
                            public ISupportErrorInfo,
                            Counted {
 public:
  FAKE_REFCOUNT

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch ||
        (iid == MODI_TLB::IID_IMiSelectableItem && state().textSelectionAnswers))
      *object = static_cast<MODI_TLB::IMiSelectableItem*>(this);
    else if (iid == IID_ISupportErrorInfo)
      *object = static_cast<ISupportErrorInfo*>(this);
    else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }

  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override {
    return iid == MODI_TLB::IID_IMiSelectableItem && state().supportsErrorInfo ? S_OK : S_FALSE;
  }

  STDMETHODIMP CopyToClipboard() override {
    record("CopyToClipboard");
    if (HRESULT hr = injected("Item.CopyToClipboard", MODI_TLB::IID_IMiSelectableItem)) return hr;
    const std::wstring* text = selectedPageText();
    if (!text)
      return raise(E_FAIL, L"Nothing is selected.", MODI_TLB::IID_IMiSelectableItem, nullptr);
    HANDLE data = unicodeText(*text);
    if (!data) return E_OUTOFMEMORY;
    HRESULT hr = putOnClipboard(CF_UNICODETEXT, data);
    if (FAILED(hr)) GlobalFree(data);
    return hr;
  }

  STDMETHODIMP get_SelectionText(BSTR* text) override {
    record("SelectionText");
    *text = nullptr;
    if (HRESULT hr = injected("SelectionText", MODI_TLB::IID_IMiSelectableItem)) return hr;
    const std::wstring* page = selectedPageText();
    std::wstring empty;
    if (!page) page = &empty;
    *text = SysAllocStringLen(page->data(), static_cast<UINT>(page->size()));
    return *text ? S_OK : E_OUTOFMEMORY;
  }

 private:
  ~TextSelection() = default;
};

class ImageSelection final : public DispatchStub<MODI_TLB::IMiSelectableImage>,
                             public ISupportErrorInfo,
                             Counted {
 public:
  FAKE_REFCOUNT

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch ||
        (iid == MODI_TLB::IID_IMiSelectableImage && state().imageSelectionAnswers))
      *object = static_cast<MODI_TLB::IMiSelectableImage*>(this);
    else if (iid == IID_ISupportErrorInfo)
      *object = static_cast<ISupportErrorInfo*>(this);
    else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }

  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override {
    return iid == MODI_TLB::IID_IMiSelectableImage && state().supportsErrorInfo ? S_OK : S_FALSE;
  }

  STDMETHODIMP CopyToClipboard(LONG a, LONG b) override {
    record(format("CopyToClipboard(%ld,%ld)", static_cast<long>(a), static_cast<long>(b)));
    if (HRESULT hr = injected("Image.CopyToClipboard", MODI_TLB::IID_IMiSelectableImage)) return hr;
    if (!selectedPageText())
      return raise(E_FAIL, L"Nothing is selected.", MODI_TLB::IID_IMiSelectableImage, nullptr);
    const ClipboardImage& image = state().clipboardImage;
    if (!image.present) return putOnClipboard(0, nullptr);
    HBITMAP bitmap = patternBitmap(image);
    if (!bitmap) return E_FAIL;
    HRESULT hr = putOnClipboard(CF_BITMAP, bitmap);
    if (FAILED(hr)) DeleteObject(bitmap);
    return hr;
  }

 private:
  ~ImageSelection() = default;
};

class DocumentObject final : public DispatchStub<MODI_TLB::IDocumentObject>,
                             public ISupportErrorInfo,
                             Counted {
 public:
  explicit DocumentObject(bool answersDocumentObject) : answers_(answersDocumentObject) {}
  FAKE_REFCOUNT

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch ||
        (iid == MODI_TLB::IID_IDocumentObject && answers_))
      *object = static_cast<MODI_TLB::IDocumentObject*>(this);
    else if (iid == IID_ISupportErrorInfo)
      *object = static_cast<ISupportErrorInfo*>(this);
    else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }

  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override {
    return iid == MODI_TLB::IID_IDocumentObject && state().supportsErrorInfo ? S_OK : S_FALSE;
  }

  FAKE_PLACEHOLDER(7)
  FAKE_PLACEHOLDER(8)
  FAKE_PLACEHOLDER(9)
  FAKE_PLACEHOLDER(10)
  FAKE_PLACEHOLDER(11)
  FAKE_PLACEHOLDER(12)
  FAKE_PLACEHOLDER(13)
  FAKE_PLACEHOLDER(14)
  FAKE_PLACEHOLDER(15)

  STDMETHODIMP PrintDocument(LONG first, LONG last, LONG copies, BSTR printer, LONG reserved1,
                             LONG reserved2, LONG reserved3) override {
    record(format("PrintDocument(%ld,%ld,%ld,%s,%ld,%ld,%ld)", static_cast<long>(first),
                  static_cast<long>(last), static_cast<long>(copies), utf8(printer).c_str(),
                  static_cast<long>(reserved1), static_cast<long>(reserved2),
                  static_cast<long>(reserved3)));
    state().prints.push_back({first, last, copies,
                              printer ? std::wstring(printer, SysStringLen(printer)) : L"",
                              reserved1, reserved2, reserved3});
    if (HRESULT hr = injected("PrintDocument", MODI_TLB::IID_IDocumentObject)) return hr;
    if (state().pages.empty())
      return raise(E_FAIL, L"No document is loaded.", MODI_TLB::IID_IDocumentObject, nullptr);
    return S_OK;
  }

 private:
  ~DocumentObject() = default;
  bool answers_;
};

// -- The control ----------------------------------------------------------------------------

class FakeControl;
std::vector<FakeControl*> liveControls;

class FakeControl final : public MODI_TLB::IMiDocView,
                          public IOleObject,
                          public IOleInPlaceObject,
                          public IOleInPlaceActiveObject,
                          public IConnectionPointContainer,
                          public IPersistStreamInit,
                          public ISupportErrorInfo,
                          Counted {
 public:
  FakeControl() { liveControls.push_back(this); }

  FAKE_REFCOUNT

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == MODI_TLB::IID_IMiDocView)
      *object = static_cast<MODI_TLB::IMiDocView*>(this);
    else if (iid == IID_IOleObject)
      *object = static_cast<IOleObject*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject)
      *object = static_cast<IOleInPlaceObject*>(this);
    else if (iid == IID_IOleInPlaceActiveObject)
      *object = static_cast<IOleInPlaceActiveObject*>(this);
    else if (iid == IID_IConnectionPointContainer)
      *object = static_cast<IConnectionPointContainer*>(this);
    else if ((iid == IID_IPersistStreamInit || iid == IID_IPersist) && state().persistStreamInit)
      *object = static_cast<IPersistStreamInit*>(this);
    else if (iid == IID_ISupportErrorInfo)
      *object = static_cast<ISupportErrorInfo*>(this);
    else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }

  // Every interface of the control sets an error object when it fails.
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID) override {
    return state().supportsErrorInfo ? S_OK : S_FALSE;
  }

  // Raises an event on every advised sink; the last sink's answer, S_FALSE for none.
  HRESULT fire(DISPID id) {
    ComPtr<IUnknown> keepAlive = ComPtr<IUnknown>::share(static_cast<IOleObject*>(this));
    state().events.push_back(id);
    std::vector<ComPtr<IDispatch>> sinks;
    for (auto& entry : connection_.sinks) sinks.push_back(entry.second);
    HRESULT answer = S_FALSE;
    for (auto& sink : sinks) {
      DISPPARAMS noArguments{};
      answer = sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &noArguments,
                            nullptr, nullptr, nullptr);
    }
    return answer;
  }

  // --- IDispatch: the properties -------------------------------------------------------------

  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    *info = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }

  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* arguments, VARIANT* result,
                      EXCEPINFO* excep, UINT*) override {
    if (flags & DISPATCH_PROPERTYPUT) {
      // A property put carries its value as the one named argument DISPID_PROPERTYPUT.
      if (!arguments || arguments->cArgs != 1 || arguments->cNamedArgs != 1 ||
          arguments->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
        return DISP_E_PARAMNOTOPTIONAL;
      return put(id, arguments->rgvarg[0], excep);
    }
    if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (!result) return E_POINTER;
    VariantInit(result);
    return get(id, *result, excep);
  }

  // --- IMiDocView ----------------------------------------------------------------------------

  FAKE_PLACEHOLDER(7)
  FAKE_PLACEHOLDER(8)
  FAKE_PLACEHOLDER(9)
  FAKE_PLACEHOLDER(10)
  FAKE_PLACEHOLDER(11)
  FAKE_PLACEHOLDER(12)
  FAKE_PLACEHOLDER(13)
  FAKE_PLACEHOLDER(14)
  FAKE_PLACEHOLDER(15)
  FAKE_PLACEHOLDER(16)
  FAKE_PLACEHOLDER(17)
  FAKE_PLACEHOLDER(18)
  FAKE_PLACEHOLDER(19)
  FAKE_PLACEHOLDER(20)
  FAKE_PLACEHOLDER(21)
  FAKE_PLACEHOLDER(22)
  FAKE_PLACEHOLDER(24)
  FAKE_PLACEHOLDER(25)
  FAKE_PLACEHOLDER(26)
  FAKE_PLACEHOLDER(27)
  FAKE_PLACEHOLDER(29)
  FAKE_PLACEHOLDER(31)

  STDMETHODIMP SetScale(double scaleX, double scaleY) override {
    record(format("SetScale(%g,%g)", scaleX, scaleY));
    if (HRESULT hr = injected("SetScale", MODI_TLB::IID_IMiDocView)) return hr;
    state().scaleX = scaleX;
    state().scaleY = scaleY;
    return S_OK;
  }

  STDMETHODIMP get_TextSelection(IDispatch** selection) override {
    *selection = nullptr;
    if (HRESULT hr = injected("TextSelection", MODI_TLB::IID_IMiDocView)) return hr;
    *selection = new TextSelection;
    return S_OK;
  }

  STDMETHODIMP get_ImageSelection(IDispatch** selection) override {
    *selection = nullptr;
    if (HRESULT hr = injected("ImageSelection", MODI_TLB::IID_IMiDocView)) return hr;
    *selection = new ImageSelection;
    return S_OK;
  }

  STDMETHODIMP SelectPage(LONG page) override {
    record(format("SelectPage(%ld)", static_cast<long>(page)));
    if (HRESULT hr = injected("SelectPage", MODI_TLB::IID_IMiDocView)) return hr;
    if (page < -1 || page >= static_cast<LONG>(state().pages.size()))
      return raise(E_INVALIDARG, L"Invalid page number.", MODI_TLB::IID_IMiDocView, nullptr);
    state().selection = page;
    return S_OK;
  }

  // --- IOleObject ----------------------------------------------------------------------------

  STDMETHODIMP SetClientSite(IOleClientSite* site) override {
    record(site ? "SetClientSite" : "SetClientSite(null)");
    if (site)
      if (HRESULT hr = injected("SetClientSite", IID_IOleObject)) return hr;
    clientSite_ = ComPtr<IOleClientSite>::share(site);
    return S_OK;
  }
  STDMETHODIMP GetClientSite(IOleClientSite** site) override {
    *site = clientSite_.get();
    if (*site) (*site)->AddRef();
    return S_OK;
  }
  STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP Close(DWORD) override {
    record("Close");
    if (window_) InPlaceDeactivate();
    if (state().eventsOnTeardown) fire(MODI_TLB::DISPID_OnCurPageNumChanged);
    // A real control tells its site it is going away.
    if (clientSite_) clientSite_->OnShowWindow(FALSE);
    return S_OK;
  }
  STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    *moniker = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP GetClipboardData(DWORD, IDataObject** data) override {
    *data = nullptr;
    return E_NOTIMPL;
  }

  STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                      LPCRECT position) override {
    record(format("DoVerb(%ld)", static_cast<long>(verb)));
    if (HRESULT hr = injected("DoVerb", IID_IOleObject)) return hr;
    if (verb != OLEIVERB_INPLACEACTIVATE && verb != OLEIVERB_SHOW && verb != OLEIVERB_UIACTIVATE)
      return OLEOBJ_E_INVALIDVERB;
    if (window_) return S_OK;
    return activate(site ? site : clientSite_.get(), parent, position);
  }

  STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override {
    *verbs = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP Update() override { return S_OK; }
  STDMETHODIMP IsUpToDate() override { return S_OK; }
  STDMETHODIMP GetUserClassID(CLSID* id) override {
    *id = MODI_TLB::CLSID_MiDocView;
    return S_OK;
  }
  STDMETHODIMP GetUserType(DWORD, LPOLESTR* type) override {
    *type = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP SetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  STDMETHODIMP GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  STDMETHODIMP Advise(IAdviseSink*, DWORD* connection) override {
    *connection = 0;
    return E_NOTIMPL;
  }
  STDMETHODIMP Unadvise(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override {
    *advise = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) override {
    *status = OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT | OLEMISC_RECOMPOSEONRESIZE |
              OLEMISC_CANTLINKINSIDE;
    if (state().setClientSiteFirst) *status |= OLEMISC_SETCLIENTSITEFIRST;
    return S_OK;
  }
  STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // --- IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject -------------------------------

  STDMETHODIMP GetWindow(HWND* window) override {
    *window = window_;
    return window_ ? S_OK : E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  STDMETHODIMP InPlaceDeactivate() override {
    record("InPlaceDeactivate");
    if (!window_) return S_OK;
    DestroyWindow(std::exchange(window_, nullptr));
    state().window = state().innerWindow = nullptr;
    if (state().eventsOnTeardown) fire(MODI_TLB::DISPID_OnCurPageNumChanged);
    if (auto site = std::move(inPlaceSite_)) site->OnInPlaceDeactivate();
    return S_OK;
  }
  STDMETHODIMP UIDeactivate() override { return S_OK; }
  STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT) override {
    record(format("SetObjectRects(%ld,%ld,%ld,%ld)", position->left, position->top, position->right,
                  position->bottom));
    if (HRESULT hr = injected("SetObjectRects", IID_IOleInPlaceObject)) return hr;
    if (window_)
      MoveWindow(window_, position->left, position->top, position->right - position->left,
                 position->bottom - position->top, TRUE);
    return S_OK;
  }
  STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }

  STDMETHODIMP TranslateAccelerator(LPMSG msg) override {
    bool key = msg && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN);
    return key && state().acceleratorKeys.count(msg->wParam) ? S_OK : S_FALSE;
  }
  STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

  // --- IConnectionPointContainer -------------------------------------------------------------

  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override {
    *points = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
    *point = nullptr;
    if (HRESULT hr = injected("FindConnectionPoint", IID_IConnectionPointContainer)) return hr;
    if (iid != MODI_TLB::DIID_IMiDocViewEvents) return CONNECT_E_NOCONNECTION;
    *point = &connection_;
    AddRef();
    return S_OK;
  }

  // --- IPersistStreamInit --------------------------------------------------------------------

  STDMETHODIMP GetClassID(CLSID* id) override {
    *id = MODI_TLB::CLSID_MiDocView;
    return S_OK;
  }
  STDMETHODIMP IsDirty() override { return S_FALSE; }
  STDMETHODIMP Load(LPSTREAM) override { return E_NOTIMPL; }
  STDMETHODIMP Save(LPSTREAM, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHODIMP InitNew() override {
    record("InitNew");
    return injected("InitNew", IID_IPersistStreamInit);
  }

 private:
  // The one connection point, for the event interface. It lives inside the
  // control and shares its reference count.
  struct Connection final : public IConnectionPoint {
    FakeControl& control;
    std::map<DWORD, ComPtr<IDispatch>> sinks;
    DWORD nextCookie = 1;
    explicit Connection(FakeControl& owner) : control(owner) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
      if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
        *object = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
      }
      *object = nullptr;
      return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return control.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return control.Release(); }
    STDMETHODIMP GetConnectionInterface(IID* iid) override {
      *iid = MODI_TLB::DIID_IMiDocViewEvents;
      return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override {
      *container = static_cast<IConnectionPointContainer*>(&control);
      control.AddRef();
      return S_OK;
    }
    // Like a real connection point, takes only a sink answering the event interface.
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
      record("Advise");
      *cookie = 0;
      if (HRESULT hr = injected("Advise", IID_IConnectionPoint)) return hr;
      ComPtr<IDispatch> events;
      if (!sink || FAILED(sink->QueryInterface(MODI_TLB::DIID_IMiDocViewEvents, events.putVoid())))
        return CONNECT_E_CANNOTCONNECT;
      *cookie = nextCookie++;
      sinks[*cookie] = events;
      return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) override {
      record("Unadvise");
      return sinks.erase(cookie) ? S_OK : CONNECT_E_NOCONNECTION;
    }
    STDMETHODIMP EnumConnections(IEnumConnections** connections) override {
      *connections = nullptr;
      return E_NOTIMPL;
    }
  };

  ~FakeControl() {
    liveControls.erase(std::find(liveControls.begin(), liveControls.end(), this));
    if (window_) {
      DestroyWindow(window_);
      state().window = state().innerWindow = nullptr;
    }
  }

  HRESULT activate(IOleClientSite* site, HWND parent, LPCRECT position) {
    if (!site) return E_UNEXPECTED;
    ComPtr<IOleInPlaceSite> inPlace;
    if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, inPlace.putVoid()))) return E_NOINTERFACE;
    if (inPlace->CanInPlaceActivate() != S_OK) return E_FAIL;
    inPlace->OnInPlaceActivate();
    ComPtr<IOleInPlaceFrame> frame;
    ComPtr<IOleInPlaceUIWindow> document;
    RECT sitePosition{}, clip{};
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof frameInfo;
    HRESULT hr =
        inPlace->GetWindowContext(frame.put(), document.put(), &sitePosition, &clip, &frameInfo);
    if (FAILED(hr)) return hr;
    HWND siteWindow = nullptr;
    if (FAILED(inPlace->GetWindow(&siteWindow)) || siteWindow != parent) return E_UNEXPECTED;
    RECT place = position ? *position : sitePosition;
    registerWindowClass();
    window_ = CreateWindowExA(0, kControlClass, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, place.left,
                              place.top, place.right - place.left, place.bottom - place.top, parent,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window_) return HRESULT_FROM_WIN32(GetLastError());
    HWND inner = CreateWindowExA(0, kControlClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, window_,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    state().window = window_;
    state().innerWindow = inner;
    inPlaceSite_ = inPlace;
    return S_OK;
  }

  HRESULT get(DISPID id, VARIANT& result, EXCEPINFO* excep) {
    FakeState& fake = state();
    switch (id) {
      case MODI_TLB::DISPID_PageNum:
        if (HRESULT hr = injected("PageNum.get", IID_IDispatch, excep)) return hr;
        V_VT(&result) = VT_I4;
        V_I4(&result) = fake.pageNum;
        return S_OK;
      case MODI_TLB::DISPID_PageCount:
        if (HRESULT hr = injected("PageCount.get", IID_IDispatch, excep)) return hr;
        V_VT(&result) = VT_I4;
        V_I4(&result) = static_cast<LONG>(fake.pages.size());
        return S_OK;
      case MODI_TLB::DISPID_DocumentObject:
        if (HRESULT hr = injected("DocumentObject.get", IID_IDispatch, excep)) return hr;
        return documentObject(result);
      case MODI_TLB::DISPID_FileName:
        V_VT(&result) = VT_BSTR;
        V_BSTR(&result) = fake.fileName.empty() ? nullptr : SysAllocString(fake.fileName.c_str());
        return S_OK;
      case MODI_TLB::DISPID_FitMode:
        V_VT(&result) = VT_I4;
        V_I4(&result) = fake.fitMode;
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

  HRESULT documentObject(VARIANT& result) {
    switch (state().documentObject) {
      case DocumentObjectKind::Full:
      case DocumentObjectKind::DispatchOnly:
        V_VT(&result) = VT_DISPATCH;
        V_DISPATCH(&result) =
            new DocumentObject(state().documentObject == DocumentObjectKind::Full);
        return S_OK;
      case DocumentObjectKind::Null:
        V_VT(&result) = VT_DISPATCH;
        V_DISPATCH(&result) = nullptr;
        return S_OK;
      case DocumentObjectKind::NotDispatch:
        return S_OK;
    }
    return S_OK;
  }

  HRESULT put(DISPID id, const VARIANT& value, EXCEPINFO* excep) {
    switch (id) {
      case MODI_TLB::DISPID_FileName:
        if (V_VT(&value) != VT_BSTR) return DISP_E_TYPEMISMATCH;
        return putFileName(V_BSTR(&value), excep);
      case MODI_TLB::DISPID_PageNum:
        if (V_VT(&value) != VT_I4) return DISP_E_TYPEMISMATCH;
        return putPageNum(V_I4(&value), excep);
      case MODI_TLB::DISPID_FitMode:
        if (V_VT(&value) != VT_I4) return DISP_E_TYPEMISMATCH;
        record(format("FitMode=%ld", static_cast<long>(V_I4(&value))));
        if (HRESULT hr = injected("FitMode.put", IID_IDispatch, excep)) return hr;
        if (V_I4(&value) < 1 || V_I4(&value) > 4)
          return raise(E_INVALIDARG, L"Invalid fit mode.", IID_IDispatch, excep);
        state().fitMode = V_I4(&value);
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

  // Drops the current document and loads the named one; a name it does not
  // know leaves no document. The current page changes either way.
  HRESULT putFileName(BSTR name, EXCEPINFO* excep) {
    record(name ? "FileName=" + utf8(name) : std::string("FileName=(null)"));
    if (HRESULT hr = injected("FileName.put", IID_IDispatch, excep)) return hr;
    FakeState& fake = state();
    fake.pages.clear();
    fake.fileName.clear();
    fake.pageNum = -1;
    fake.selection = -1;
    std::wstring wanted = name ? std::wstring(name, SysStringLen(name)) : std::wstring();
    auto found = fake.files.find(wanted);
    bool known = !wanted.empty() && found != fake.files.end();
    if (known) {
      fake.openDocument(wanted, found->second);
    }
    fire(MODI_TLB::DISPID_OnCurPageNumChanged);
    if (!wanted.empty() && !known)
      return raise(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), L"Cannot open the document.",
                   IID_IDispatch, excep);
    return S_OK;
  }

  HRESULT putPageNum(LONG page, EXCEPINFO* excep) {
    record(format("PageNum=%ld", static_cast<long>(page)));
    if (HRESULT hr = injected("PageNum.put", IID_IDispatch, excep)) return hr;
    FakeState& fake = state();
    if (page < 0 || page >= static_cast<LONG>(fake.pages.size()))
      return raise(E_INVALIDARG, L"Invalid page number.", IID_IDispatch, excep);
    if (fake.pageNum == page) return S_OK;
    fake.pageNum = page;
    fire(MODI_TLB::DISPID_OnCurPageNumChanged);
    return S_OK;
  }

  Connection connection_{*this};
  ComPtr<IOleClientSite> clientSite_;
  ComPtr<IOleInPlaceSite> inPlaceSite_;
  HWND window_ = nullptr;
};

// The class object registered for the control's class id. It lives for the
// process; its references are not counted.
class ClassFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (HRESULT hr = injected("CreateInstance", IID_IClassFactory)) return hr;
    auto* control = new FakeControl;
    HRESULT hr = control->QueryInterface(iid, object);
    control->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

ClassFactory classFactory;

}  // namespace

// -- FakeState ----------------------------------------------------------------------------------

void FakeState::openDocument(const std::wstring& name, std::vector<std::wstring> documentPages) {
  fileName = name;
  pages = std::move(documentPages);
  pageNum = pages.empty() ? -1 : 0;
  selection = -1;
}

HRESULT FakeState::changePage(LONG page) {
  pageNum = page;
  return fireEvent(MODI_TLB::DISPID_OnCurPageNumChanged);
}

HRESULT FakeState::fireEvent(DISPID id) {
  HRESULT answer = S_FALSE;
  std::vector<FakeControl*> controls = liveControls;
  for (FakeControl* control : controls) answer = control->fire(id);
  return answer;
}

FakeState& state() {
  static FakeState instance;
  return instance;
}

int liveObjects() {
  return liveCount;
}

FakeControlRegistration::FakeControlRegistration() {
  state() = FakeState{};
  HRESULT hr = CoRegisterClassObject(MODI_TLB::CLSID_MiDocView, &classFactory, CLSCTX_INPROC_SERVER,
                                     REGCLS_MULTIPLEUSE, &cookie_);
  if (FAILED(hr)) throw std::runtime_error("CoRegisterClassObject failed for the fake control");
}

FakeControlRegistration::~FakeControlRegistration() {
  CoRevokeClassObject(cookie_);
}

}  // namespace fakes
