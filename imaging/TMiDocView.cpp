#include "imaging/TMiDocView.h"

#include <ocidl.h>
#include <olectl.h>

#include <climits>
#include <utility>

#include "framework/Exception.h"
#include "imaging/OleContainer.h"

using framework::ComPtr;
using framework::OleError;

namespace imaging {

namespace {

// Owns a BSTR until it is handed out.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(BSTR raw) : raw_(raw) {}
  ~Bstr() { SysFreeString(raw_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return raw_; }
  BSTR* put() {
    SysFreeString(std::exchange(raw_, nullptr));
    return &raw_;
  }

 private:
  BSTR raw_ = nullptr;
};

// A VARIANT cleared on every path.
struct Variant {
  VARIANT value;
  Variant() { VariantInit(&value); }
  ~Variant() { VariantClear(&value); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
};

// The exception information that IDispatch::Invoke fills in, freed on every path.
struct ExcepInfo {
  EXCEPINFO info{};
  ExcepInfo() = default;
  ~ExcepInfo() {
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
  }
  ExcepInfo(const ExcepInfo&) = delete;
  ExcepInfo& operator=(const ExcepInfo&) = delete;

  // The object may postpone filling in the fields until they are asked for.
  void fillIn() {
    if (auto fill = std::exchange(info.pfnDeferredFillIn, nullptr)) fill(&info);
  }
};

std::string bstrToAnsi(BSTR text) {
  return wideToAnsi(text, text ? SysStringLen(text) : 0);
}

// The description the thread's error object carries, if the object says it set
// one for this interface. Always takes the error object, so that a stale one
// cannot describe a later failure.
std::string errorInfoDescription(IUnknown* object, REFIID iid) {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.put()) != S_OK || !info) return std::string();
  if (object) {
    auto support = ComPtr<IUnknown>::share(object).as<ISupportErrorInfo>(IID_ISupportErrorInfo);
    if (support && support->InterfaceSupportsErrorInfo(iid) != S_OK) return std::string();
  }
  Bstr description;
  if (FAILED(info->GetDescription(description.put()))) return std::string();
  return bstrToAnsi(description.get());
}

[[noreturn]] void raiseOleError(HRESULT hr, std::string description) {
  if (description.empty()) description = framework::systemMessage(hr);
  throw OleError(hr, description);
}

// A failed Invoke: the exception information when the object raised one,
// else its error object, else the system's text for the status.
[[noreturn]] void raiseInvokeError(HRESULT hr, ExcepInfo& excep, IDispatch* object) {
  std::string description;
  if (hr == DISP_E_EXCEPTION) {
    excep.fillIn();
    description = bstrToAnsi(excep.info.bstrDescription);
    if (excep.info.scode != 0) hr = excep.info.scode;
  }
  if (description.empty()) description = errorInfoDescription(object, IID_IDispatch);
  raiseOleError(hr, std::move(description));
}

[[noreturn]] void raiseNoInterface(const char* what) {
  throw OleError(E_NOINTERFACE, std::string(what) + ": " + framework::systemMessage(E_NOINTERFACE));
}

template <class T>
ComPtr<T> require(const ComPtr<IUnknown>& object, REFIID iid, const char* what) {
  auto result = object.as<T>(iid);
  if (!result) raiseNoInterface(what);
  return result;
}

template <class T>
ComPtr<T> queryInterface(IDispatch* object, REFIID iid, const char* what) {
  ComPtr<T> result;
  if (!object || FAILED(object->QueryInterface(iid, result.putVoid())) || !result)
    raiseNoInterface(what);
  return result;
}

}  // namespace

// -- Text ---------------------------------------------------------------------------------------

std::wstring ansiToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  if (text.size() > INT_MAX) throw framework::Exception("Text too long");
  int length = static_cast<int>(text.size());
  int wideLength = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (wideLength <= 0) framework::raiseLastError();
  std::wstring wide(static_cast<size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, &wide[0], wideLength);
  return wide;
}

std::string wideToAnsi(const wchar_t* text, size_t length) {
  if (!text || length == 0) return std::string();
  if (length > INT_MAX) throw framework::Exception("Text too long");
  int wideLength = static_cast<int>(length);
  int ansiLength = WideCharToMultiByte(CP_ACP, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
  if (ansiLength <= 0) framework::raiseLastError();
  std::string ansi(static_cast<size_t>(ansiLength), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, wideLength, &ansi[0], ansiLength, nullptr, nullptr);
  return ansi;
}

// -- Errors -------------------------------------------------------------------------------------

void OleCheck(HRESULT hr, IUnknown* object, REFIID iid) {
  if (hr >= 0) return;
  raiseOleError(hr, errorInfoDescription(object, iid));
}

// -- The hosted control -------------------------------------------------------------------------

// Everything the wrapper holds of the control. Built step by step by open();
// the destructor undoes whatever was reached, in the fixed order, so that a
// constructor failing midway leaves nothing behind.
struct TMiDocView::Site {
  explicit Site(TMiDocView& owner) : owner_(owner) {}
  ~Site() { close(); }
  Site(const Site&) = delete;
  Site& operator=(const Site&) = delete;

  void open(HWND parent, const RECT& bounds);
  void close() noexcept;

  HWND controlWindow() const;
  void dispatchEvent(DISPID id);
  void reportEventError(const std::exception& failure) noexcept;
  MODI_TLB::IMiDocView* view();
  void getProperty(DISPID id, Variant& result);
  void putProperty(DISPID id, VARIANT& value);

  TMiDocView& owner_;
  ComPtr<ContainerSite> container_;
  ComPtr<EventSink> sink_;
  ComPtr<IUnknown> control_;
  ComPtr<IOleObject> oleObject_;
  bool clientSiteSet_ = false;
  ComPtr<IConnectionPoint> connection_;
  DWORD cookie_ = 0;
  ComPtr<IOleInPlaceObject> inPlace_;
  ComPtr<IOleInPlaceActiveObject> activeObject_;
  ComPtr<MODI_TLB::IMiDocView> view_;
};

void TMiDocView::Site::open(HWND parent, const RECT& bounds) {
  HRESULT hr = CoCreateInstance(MODI_TLB::CLSID_MiDocView, nullptr,
                                CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                control_.putVoid());
  OleCheck(hr, nullptr, IID_IUnknown);
  oleObject_ = require<IOleObject>(control_, IID_IOleObject, "IOleObject");
  container_ = ContainerSite::create(parent, bounds);

  // Some controls must know their site before they are initialised.
  DWORD misc = 0;
  if (FAILED(oleObject_->GetMiscStatus(DVASPECT_CONTENT, &misc))) misc = 0;
  auto clientSite = container_.as<IOleClientSite>(IID_IOleClientSite);
  if (misc & OLEMISC_SETCLIENTSITEFIRST) {
    OleCheck(oleObject_->SetClientSite(clientSite.get()), oleObject_.get(), IID_IOleObject);
    clientSiteSet_ = true;
  }
  if (auto persist = control_.as<IPersistStreamInit>(IID_IPersistStreamInit))
    OleCheck(persist->InitNew(), persist.get(), IID_IPersistStreamInit);
  if (!clientSiteSet_) {
    OleCheck(oleObject_->SetClientSite(clientSite.get()), oleObject_.get(), IID_IOleObject);
    clientSiteSet_ = true;
  }

  // Events are advised before activation so that none raised while the
  // control comes up is lost.
  auto points =
      require<IConnectionPointContainer>(control_, IID_IConnectionPointContainer, "Events");
  OleCheck(points->FindConnectionPoint(MODI_TLB::DIID_IMiDocViewEvents, connection_.put()),
           points.get(), IID_IConnectionPointContainer);
  if (!connection_) raiseNoInterface("Events");
  sink_ = EventSink::create([this](DISPID id) { dispatchEvent(id); });
  OleCheck(connection_->Advise(sink_.as<IUnknown>(IID_IUnknown).get(), &cookie_), connection_.get(),
           IID_IConnectionPoint);

  RECT position = bounds;
  OleCheck(
      oleObject_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, clientSite.get(), 0, parent, &position),
      oleObject_.get(), IID_IOleObject);
  inPlace_ = require<IOleInPlaceObject>(control_, IID_IOleInPlaceObject, "IOleInPlaceObject");
  activeObject_ = control_.as<IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject);
}

// Deactivate, unadvise, close, clear the client site, release. The control may
// call back into the site meanwhile: the site answers without reaching the
// program, and events no longer reach the handlers.
void TMiDocView::Site::close() noexcept {
  if (sink_) sink_->detach();
  if (inPlace_) inPlace_->InPlaceDeactivate();
  if (connection_ && cookie_) connection_->Unadvise(std::exchange(cookie_, 0));
  if (oleObject_) {
    oleObject_->Close(OLECLOSE_NOSAVE);
    if (std::exchange(clientSiteSet_, false)) oleObject_->SetClientSite(nullptr);
  }
  view_.reset();
  activeObject_.reset();
  inPlace_.reset();
  connection_.reset();
  oleObject_.reset();
  control_.reset();
  sink_.reset();
  container_.reset();
}

HWND TMiDocView::Site::controlWindow() const {
  HWND window = nullptr;
  if (!inPlace_ || FAILED(inPlace_->GetWindow(&window))) return nullptr;
  return window;
}

MODI_TLB::IMiDocView* TMiDocView::Site::view() {
  if (!view_)
    view_ = require<MODI_TLB::IMiDocView>(control_, MODI_TLB::IID_IMiDocView, "IMiDocView");
  return view_.get();
}

void TMiDocView::Site::getProperty(DISPID id, Variant& result) {
  IDispatch* dispatch = view();
  DISPPARAMS noArguments{};
  ExcepInfo excep;
  UINT argumentError = 0;
  HRESULT hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                &noArguments, &result.value, &excep.info, &argumentError);
  if (hr != S_OK) raiseInvokeError(hr, excep, dispatch);
}

void TMiDocView::Site::putProperty(DISPID id, VARIANT& value) {
  IDispatch* dispatch = view();
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS arguments{&value, &named, 1, 1};
  ExcepInfo excep;
  UINT argumentError = 0;
  HRESULT hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &arguments,
                                nullptr, &excep.info, &argumentError);
  if (hr != S_OK) raiseInvokeError(hr, excep, dispatch);
}

// Only the change of current page matters to the program.
void TMiDocView::Site::dispatchEvent(DISPID id) {
  if (id != MODI_TLB::DISPID_OnCurPageNumChanged) return;
  try {
    if (owner_.OnCurPageNumChanged) owner_.OnCurPageNumChanged();
  } catch (const std::exception& failure) {
    reportEventError(failure);
  } catch (...) {
    reportEventError(framework::Exception("Unknown failure in an event handler"));
  }
}

// An error must not travel back into the control through its event call.
void TMiDocView::Site::reportEventError(const std::exception& failure) noexcept {
  try {
    if (owner_.OnEventError) owner_.OnEventError(failure);
  } catch (...) {
  }
}

// -- TMiDocView ---------------------------------------------------------------------------------

TMiDocView::TMiDocView(HWND parent, const RECT& bounds) : site_(std::make_unique<Site>(*this)) {
  site_->open(parent, bounds);
}

TMiDocView::~TMiDocView() = default;

void TMiDocView::SetBounds(const RECT& bounds) {
  site_->container_->setBounds(bounds);
  RECT position = bounds;
  RECT clip = bounds;
  OleCheck(site_->inPlace_->SetObjectRects(&position, &clip), site_->inPlace_.get(),
           IID_IOleInPlaceObject);
}

bool TMiDocView::ContainsFocus() const {
  HWND window = site_->controlWindow();
  HWND focus = GetFocus();
  return window && focus && (focus == window || IsChild(window, focus));
}

void TMiDocView::SetFocus() {
  if (HWND window = site_->controlWindow()) ::SetFocus(window);
}

bool TMiDocView::TranslateAccelerator(MSG& msg) {
  auto& active = site_->activeObject_;
  return active && active->TranslateAccelerator(&msg) == S_OK;
}

ComPtr<IDispatch> TMiDocView::DocumentObject() {
  Variant result;
  site_->getProperty(MODI_TLB::DISPID_DocumentObject, result);
  if (V_VT(&result.value) != VT_DISPATCH || !V_DISPATCH(&result.value))
    throw OleError(E_NOINTERFACE, "The control has no document object.");
  return ComPtr<IDispatch>::share(V_DISPATCH(&result.value));
}

void TMiDocView::SetFileName(const std::string& ansiName) {
  // The control takes an empty name as a null string.
  Variant name;
  V_VT(&name.value) = VT_BSTR;
  V_BSTR(&name.value) = nullptr;
  if (!ansiName.empty()) {
    std::wstring wide = ansiToWide(ansiName);
    V_BSTR(&name.value) = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!V_BSTR(&name.value)) raiseOleError(E_OUTOFMEMORY, std::string());
  }
  site_->putProperty(MODI_TLB::DISPID_FileName, name.value);
}

namespace {

LONG toLong(Variant& value) {
  if (V_VT(&value.value) != VT_I4) {
    HRESULT hr = VariantChangeType(&value.value, &value.value, 0, VT_I4);
    if (FAILED(hr)) raiseOleError(hr, std::string());
  }
  return V_I4(&value.value);
}

}  // namespace

LONG TMiDocView::PageNum() {
  Variant value;
  site_->getProperty(MODI_TLB::DISPID_PageNum, value);
  return toLong(value);
}

void TMiDocView::SetPageNum(LONG page) {
  Variant value;
  V_VT(&value.value) = VT_I4;
  V_I4(&value.value) = page;
  site_->putProperty(MODI_TLB::DISPID_PageNum, value.value);
}

LONG TMiDocView::PageCount() {
  Variant value;
  site_->getProperty(MODI_TLB::DISPID_PageCount, value);
  return toLong(value);
}

void TMiDocView::SetFitMode(LONG mode) {
  Variant value;
  V_VT(&value.value) = VT_I4;
  V_I4(&value.value) = mode;
  site_->putProperty(MODI_TLB::DISPID_FitMode, value.value);
}

void TMiDocView::SetScale(double scaleX, double scaleY) {
  auto* view = site_->view();
  OleCheck(view->SetScale(scaleX, scaleY), view, MODI_TLB::IID_IMiDocView);
}

ComPtr<MODI_TLB::IMiSelectableItem> TMiDocView::TextSelection() {
  auto* view = site_->view();
  ComPtr<IDispatch> selection;
  OleCheck(view->get_TextSelection(selection.put()), view, MODI_TLB::IID_IMiDocView);
  return queryInterface<MODI_TLB::IMiSelectableItem>(
      selection.get(), MODI_TLB::IID_IMiSelectableItem, "IMiSelectableItem");
}

ComPtr<MODI_TLB::IMiSelectableImage> TMiDocView::ImageSelection() {
  auto* view = site_->view();
  ComPtr<IDispatch> selection;
  OleCheck(view->get_ImageSelection(selection.put()), view, MODI_TLB::IID_IMiDocView);
  return queryInterface<MODI_TLB::IMiSelectableImage>(
      selection.get(), MODI_TLB::IID_IMiSelectableImage, "IMiSelectableImage");
}

void TMiDocView::SelectPage(LONG page) {
  auto* view = site_->view();
  OleCheck(view->SelectPage(page), view, MODI_TLB::IID_IMiDocView);
}

}  // namespace imaging
