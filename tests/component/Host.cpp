#include "Host.h"

#include <stdexcept>

#include "imaging/MODI_TLB.h"

namespace componenttest {

namespace {

const wchar_t kHostClass[] = L"ComponentTestHost";

LRESULT CALLBACK hostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

void registerHostClass() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = hostProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kHostClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  RegisterClassExW(&windowClass);
}

void check(HRESULT hr, const char* what) {
  if (FAILED(hr)) throw std::runtime_error(std::string(what) + " failed: " + std::to_string(hr));
}

// Receives the control's events and counts them.
class Sink final : public IDispatch {
 public:
  explicit Sink(EventCounter& counter) : counter_(counter) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch && iid != MODI_TLB::DIID_IMiDocViewEvents)
      return E_NOINTERFACE;
    *object = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (!left) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    // Every event comes without arguments; one with arguments is counted apart.
    counter_.received(params && params->cArgs ? -id : id);
    return S_OK;
  }

 private:
  EventCounter& counter_;
  ULONG references_ = 1;
};

}  // namespace

// Client site, in-place site and frame in one object.
class Host::Site final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
 public:
  explicit Site(HWND window) : window_(window) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite)
      *object = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
      *object = static_cast<IOleInPlaceSite*>(this);
    else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
      *object = static_cast<IOleInPlaceFrame*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (!left) delete this;
    return left;
  }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** m) override {
    *m = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** c) override {
    *c = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    *window = window_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                             LPRECT position, LPRECT clip,
                                             LPOLEINPLACEFRAMEINFO info) override {
    *frame = this;
    AddRef();
    *doc = nullptr;
    GetClientRect(window_, position);
    *clip = *position;
    info->fMDIApp = FALSE;
    info->hwndFrame = window_;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow, IOleInPlaceFrame
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override {
    return INPLACE_E_NOTOOLSPACE;
  }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override {
    active = ComPtr<IOleInPlaceActiveObject>::share(object);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  ComPtr<IOleInPlaceActiveObject> active;

 private:
  HWND window_;
  ULONG references_ = 1;
};

// One top-level window serves every test: without a window manager, Wine waits
// about two seconds for each top-level window it destroys.
HWND sharedWindow() {
  static HWND window = nullptr;
  if (!window) {
    registerHostClass();
    window =
        CreateWindowExW(0, kHostClass, L"Page view test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0,
                        0, 640, 480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window, SW_SHOW);
  }
  return window;
}

Host::Host(int width, int height) : events_(std::make_unique<EventCounter>()) {
  window_ = sharedWindow();
  RECT frame{0, 0, width, height};
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
  SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  site_ = new Site(window_);
  check(CoCreateInstance(MODI_TLB::CLSID_MiDocView, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                         control_.putVoid()),
        "CoCreateInstance (is the component registered?)");
  auto object = control_.as<IOleObject>(IID_IOleObject);
  check(object ? S_OK : E_NOINTERFACE, "IOleObject");
  check(object->SetClientSite(static_cast<IOleClientSite*>(site_)), "SetClientSite");
  if (auto persist = control_.as<IPersistStreamInit>(IID_IPersistStreamInit))
    check(persist->InitNew(), "InitNew");
  auto container = control_.as<IConnectionPointContainer>(IID_IConnectionPointContainer);
  check(container ? S_OK : E_NOINTERFACE, "IConnectionPointContainer");
  check(container->FindConnectionPoint(MODI_TLB::DIID_IMiDocViewEvents, point_.put()),
        "FindConnectionPoint");
  Sink* sink = new Sink(*events_);
  check(point_->Advise(sink, &cookie_), "Advise");
  sink->Release();
  RECT client{};
  GetClientRect(window_, &client);
  check(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(site_), 0,
                       window_, &client),
        "DoVerb");
  pump();
}

Host::~Host() {
  if (auto inPlace = control_.as<IOleInPlaceObject>(IID_IOleInPlaceObject))
    inPlace->InPlaceDeactivate();
  if (point_) point_->Unadvise(cookie_);
  point_.reset();
  if (auto object = control_.as<IOleObject>(IID_IOleObject)) {
    object->Close(OLECLOSE_NOSAVE);
    object->SetClientSite(nullptr);
  }
  control_.reset();
  site_->Release();
}

HWND Host::controlWindow() const {
  HWND window = nullptr;
  if (auto inPlace = control_.as<IOleInPlaceObject>(IID_IOleInPlaceObject))
    inPlace->GetWindow(&window);
  return window;
}

IOleInPlaceActiveObject* Host::activeObject() const {
  return site_->active.get();
}

void Host::resize(int width, int height) {
  RECT bounds{0, 0, width, height};
  if (auto inPlace = control_.as<IOleInPlaceObject>(IID_IOleInPlaceObject))
    inPlace->SetObjectRects(&bounds, &bounds);
  pump();
}

void Host::pump() {
  if (HWND view = controlWindow()) UpdateWindow(view);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

std::wstring lastErrorDescription() {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.put()) != S_OK || !info) return L"(no error information)";
  BSTR text = nullptr;
  info->GetDescription(&text);
  std::wstring description = text ? text : L"";
  SysFreeString(text);
  return description;
}

namespace {

std::unique_ptr<DispatchResult> invoke(IDispatch* object, DISPID id, WORD flags,
                                       std::vector<VARIANT>& arguments, bool put) {
  auto result = std::make_unique<DispatchResult>();
  std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed.data(), put ? &named : nullptr, static_cast<UINT>(reversed.size()),
                    put ? 1u : 0u};
  EXCEPINFO exception{};
  result->hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result->value,
                              &exception, &result->argError);
  if (result->hr == DISP_E_EXCEPTION) {
    if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
    result->description = exception.bstrDescription ? exception.bstrDescription : L"";
    result->scode = exception.scode;
  }
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrHelpFile);
  for (VARIANT& argument : arguments) VariantClear(&argument);
  return result;
}

}  // namespace

std::unique_ptr<DispatchResult> getProperty(IDispatch* object, DISPID id) {
  std::vector<VARIANT> none;
  return invoke(object, id, DISPATCH_PROPERTYGET, none, false);
}

std::unique_ptr<DispatchResult> putProperty(IDispatch* object, DISPID id, VARIANT value) {
  std::vector<VARIANT> arguments{value};
  return invoke(object, id, DISPATCH_PROPERTYPUT, arguments, true);
}

std::unique_ptr<DispatchResult> callMethod(IDispatch* object, DISPID id,
                                           std::vector<VARIANT> arguments) {
  return invoke(object, id, DISPATCH_METHOD, arguments, false);
}

VARIANT longVariant(LONG value) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = value;
  return v;
}

VARIANT textVariant(const wchar_t* text) {
  VARIANT v;
  VariantInit(&v);
  if (!text) {
    V_VT(&v) = VT_NULL;
    return v;
  }
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocString(text);
  return v;
}

}  // namespace componenttest
