#include "imaging/TMiDocView.h"

#include <ocidl.h>
#include <olectl.h>

#include <utility>

#include "framework/Exception.h"
#include "framework/Handles.h"
#include "imaging/MODI_TLB.h"
#include "imaging/OleContainer.h"

using framework::Bstr;
using framework::ComPtr;
using framework::OleError;
using framework::Variant;

static_assert(LONG{imaging::FitWidth} == MODI_TLB::FitWidth &&
                  LONG{imaging::FitHeight} == MODI_TLB::FitHeight &&
                  LONG{imaging::FitWindow} == MODI_TLB::FitWindow &&
                  LONG{imaging::FitText} == MODI_TLB::FitText,
              "the wrapper's fit modes are the control's");

namespace imaging {

namespace {

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
  LONG getLong(DISPID id);
  void putLong(DISPID id, LONG value);
  // A selection object of the view, asked for the interface it must answer.
  template <class T>
  ComPtr<T> selection(HRESULT (STDMETHODCALLTYPE MODI_TLB::IMiDocView::*getter)(IDispatch**),
                      REFIID iid, const char* what) {
    ComPtr<IDispatch> object;
    OleCheck((view()->*getter)(object.put()), view(), MODI_TLB::IID_IMiDocView);
    return queryInterface<T>(object.get(), iid, what);
  }

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
  sink_ =
      EventSink::create(MODI_TLB::DIID_IMiDocViewEvents, [this](DISPID id) { dispatchEvent(id); });
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
                                &noArguments, result.get(), &excep.info, &argumentError);
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

LONG TMiDocView::Site::getLong(DISPID id) {
  Variant value;
  getProperty(id, value);
  if (V_VT(value.get()) != VT_I4) {
    HRESULT hr = VariantChangeType(value.get(), value.get(), 0, VT_I4);
    if (FAILED(hr)) raiseOleError(hr, std::string());
  }
  return V_I4(value.get());
}

void TMiDocView::Site::putLong(DISPID id, LONG value) {
  Variant argument;
  V_VT(argument.get()) = VT_I4;
  V_I4(argument.get()) = value;
  putProperty(id, *argument.get());
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
  if (V_VT(result.get()) != VT_DISPATCH || !V_DISPATCH(result.get()))
    throw OleError(E_NOINTERFACE, "The control has no document object.");
  return ComPtr<IDispatch>::share(V_DISPATCH(result.get()));
}

void TMiDocView::SetFileName(const std::string& ansiName) {
  // The control takes an empty name as a null string.
  Variant name;
  V_VT(name.get()) = VT_BSTR;
  if (!ansiName.empty()) V_BSTR(name.get()) = Bstr(ansiToWide(ansiName)).release();
  site_->putProperty(MODI_TLB::DISPID_FileName, *name.get());
}

LONG TMiDocView::PageNum() {
  return site_->getLong(MODI_TLB::DISPID_PageNum);
}

void TMiDocView::SetPageNum(LONG page) {
  site_->putLong(MODI_TLB::DISPID_PageNum, page);
}

LONG TMiDocView::PageCount() {
  return site_->getLong(MODI_TLB::DISPID_PageCount);
}

void TMiDocView::SetFitMode(LONG mode) {
  site_->putLong(MODI_TLB::DISPID_FitMode, mode);
}

void TMiDocView::SetScale(double scaleX, double scaleY) {
  auto* view = site_->view();
  OleCheck(view->SetScale(scaleX, scaleY), view, MODI_TLB::IID_IMiDocView);
}

ComPtr<MODI_TLB::IMiSelectableItem> TMiDocView::TextSelection() {
  return site_->selection<MODI_TLB::IMiSelectableItem>(&MODI_TLB::IMiDocView::get_TextSelection,
                                                       MODI_TLB::IID_IMiSelectableItem,
                                                       "IMiSelectableItem");
}

ComPtr<MODI_TLB::IMiSelectableImage> TMiDocView::ImageSelection() {
  return site_->selection<MODI_TLB::IMiSelectableImage>(&MODI_TLB::IMiDocView::get_ImageSelection,
                                                        MODI_TLB::IID_IMiSelectableImage,
                                                        "IMiSelectableImage");
}

void TMiDocView::SelectPage(LONG page) {
  auto* view = site_->view();
  OleCheck(view->SelectPage(page), view, MODI_TLB::IID_IMiDocView);
}

// -- Verbs --------------------------------------------------------------------------------------

bool TMiDocView::HasDocument() {
  Variant result;
  site_->getProperty(MODI_TLB::DISPID_DocumentObject, result);
  if (V_VT(result.get()) != VT_DISPATCH || !V_DISPATCH(result.get())) return false;
  return bool(ComPtr<IDispatch>::share(V_DISPATCH(result.get()))
                  .as<MODI_TLB::IDocumentObject>(MODI_TLB::IID_IDocumentObject));
}

void TMiDocView::CopySelectedText() {
  auto selection = TextSelection();
  OleCheck(selection->CopyToClipboard(), selection.get(), MODI_TLB::IID_IMiSelectableItem);
}

void TMiDocView::CopySelectedImage() {
  auto selection = ImageSelection();
  OleCheck(selection->CopyToClipboard(1, 1), selection.get(), MODI_TLB::IID_IMiSelectableImage);
}

std::string TMiDocView::SelectedText() {
  auto selection = TextSelection();
  Bstr text;
  OleCheck(selection->get_SelectionText(text.put()), selection.get(),
           MODI_TLB::IID_IMiSelectableItem);
  return wideToAnsi(text.get(), text.length());
}

void TMiDocView::PrintPages(LONG first, LONG last, LONG copies, const std::string& printer) {
  auto document = DocumentObject().as<MODI_TLB::IDocumentObject>(MODI_TLB::IID_IDocumentObject);
  if (!document) throw framework::Exception("The document cannot be printed");
  Bstr name(ansiToWide(printer));
  OleCheck(document->PrintDocument(first, last, copies, name.get(), 0, 0, 0), document.get(),
           MODI_TLB::IID_IDocumentObject);
}

}  // namespace imaging
