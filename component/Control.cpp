#include "component/Control.h"

#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <vector>

#include "component/Automation.h"
#include "component/ComSupport.h"
#include "component/Interfaces.h"
#include "component/View.h"
#include "framework/ComPtr.h"

namespace mipv {

namespace {

using framework::ComPtr;

// Hands a reference out through an out-parameter.
template <class T>
T* handOut(const ComPtr<T>& pointer) {
  if (pointer) pointer->AddRef();
  return pointer.get();
}

const DWORD kMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                          OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST;

// Pixels to HIMETRIC (0.01 mm) at the screen's resolution, and back.
LONG toHimetric(int pixels, int dpi) {
  return MulDiv(pixels, 2540, dpi);
}
int toPixels(LONG himetric, int dpi) {
  return MulDiv(himetric, dpi, 2540);
}

int screenDpi(int index) {
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, index);
  ReleaseDC(nullptr, screen);
  return dpi;
}

class Control;

// The control's one connection point, for its event interface. It shares the
// control's reference count, as a part of it.
class EventPoint final : public IConnectionPoint {
 public:
  explicit EventPoint(IConnectionPointContainer* owner) : owner_(owner) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IConnectionPoint) return E_NOINTERFACE;
    *object = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return owner_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return owner_->Release(); }

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
    if (!iid) return E_POINTER;
    *iid = DIID_PageViewEvents;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** c) override {
    if (!c) return E_POINTER;
    *c = owner_;
    owner_->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
    if (!sink || !cookie) return E_POINTER;
    *cookie = 0;
    ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(DIID_PageViewEvents, dispatch.putVoid())) &&
        FAILED(sink->QueryInterface(IID_IDispatch, dispatch.putVoid())))
      return CONNECT_E_CANNOTCONNECT;
    *cookie = ++lastCookie_;
    sinks_.push_back(Sink{*cookie, dispatch});
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    auto found = std::find_if(sinks_.begin(), sinks_.end(),
                              [&](const Sink& s) { return s.cookie == cookie; });
    if (found == sinks_.end()) return CONNECT_E_NOCONNECTION;
    sinks_.erase(found);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** e) override {
    if (e) *e = nullptr;
    return E_NOTIMPL;
  }

  void fire(DISPID event) {
    std::vector<Sink> receivers = sinks_;  // a sink may unadvise while it is called
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    for (const Sink& sink : receivers)
      sink.dispatch->Invoke(event, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                            nullptr, nullptr);
  }
  void clear() { sinks_.clear(); }

 private:
  struct Sink {
    DWORD cookie;
    ComPtr<IDispatch> dispatch;
  };
  IConnectionPointContainer* owner_;
  std::vector<Sink> sinks_;
  DWORD lastCookie_ = 0;
};

class Control final : public IMiDocView,
                      public IOleObject,
                      public IOleInPlaceObject,
                      public IOleInPlaceActiveObject,
                      public IOleControl,
                      public IPersistStreamInit,
                      public IViewObject2,
                      public IConnectionPointContainer,
                      public ISupportErrorInfo,
                      protected RefCounted {
 public:
  Control()
      : events_(static_cast<IConnectionPointContainer*>(this)),
        view_(View::Callbacks{[this](Event e) { fire(e); }, [this](bool f) { focusChanged(f); }}) {
    extent_ = SIZEL{toHimetric(320, screenDpi(LOGPIXELSX)), toHimetric(240, screenDpi(LOGPIXELSY))};
  }
  ~Control() override { view_.destroyWindow(); }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = interfaceFor(iid);
    if (!*object) return E_NOINTERFACE;
    addRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return addRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return release(); }

  // IDispatch: the properties by dispatch id.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    static const NamedId table[] = {{L"DocumentObject", DISPID_DocumentObject},
                                    {L"FileName", DISPID_FileName},
                                    {L"PageNum", DISPID_PageNum},
                                    {L"PageCount", DISPID_PageCount},
                                    {L"FitMode", DISPID_FitMode}};
    return idsOfNames(table, std::size(table), names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    return guardedInvoke(IID_IMiDocView, excepInfo, argErr,
                         [&] { invoke(id, flags, params, result); });
  }

  // IMiDocView
  HRESULT STDMETHODCALLTYPE get_DocumentObject(IDispatch** document) override {
    return run([&] { out(document) = handOut(documentObject()); });
  }
  HRESULT STDMETHODCALLTYPE get_FileName(BSTR* name) override {
    return run([&] { out(name) = Bstr(view_.fileName()).release(); });
  }
  HRESULT STDMETHODCALLTYPE put_FileName(BSTR name) override {
    return run(
        [&] { view_.setFileName(name ? std::wstring(name, SysStringLen(name)) : std::wstring()); });
  }
  HRESULT STDMETHODCALLTYPE get_PageNum(LONG* page) override {
    return run([&] { out(page) = view_.pageNum(); });
  }
  HRESULT STDMETHODCALLTYPE put_PageNum(LONG page) override {
    return run([&] { view_.setPageNum(page); });
  }
  HRESULT STDMETHODCALLTYPE get_PageCount(LONG* count) override {
    return run([&] { out(count) = view_.pageCount(); });
  }
  HRESULT STDMETHODCALLTYPE get_FitMode(LONG* mode) override {
    return run([&] { out(mode) = view_.fitMode(); });
  }
  HRESULT STDMETHODCALLTYPE put_FitMode(LONG mode) override {
    return run([&] { view_.setFitMode(mode); });
  }
  HRESULT STDMETHODCALLTYPE GetScale(double* scaleX, double* scaleY) override {
    return run([&] {
      Scale scale = view_.scale();
      out(scaleX) = scale.x;
      out(scaleY) = scale.y;
    });
  }
  HRESULT STDMETHODCALLTYPE GetPageSize(LONG page, LONG* width, LONG* height) override {
    return run([&] {
      const auto& document = view_.document();
      const mdi::Page& p = document->document.page(existingPage(document.get(), page));
      out(width) = static_cast<LONG>(p.width);
      out(height) = static_cast<LONG>(p.height);
    });
  }
  HRESULT STDMETHODCALLTYPE GetPageResolution(LONG page, double* dpiX, double* dpiY) override {
    return run([&] {
      const auto& document = view_.document();
      size_t index = existingPage(document.get(), page);
      out(dpiX) = document->dpiX(index);
      out(dpiY) = document->dpiY(index);
    });
  }
  HRESULT STDMETHODCALLTYPE get_PageText(LONG page, BSTR* text) override {
    return run([&] {
      const auto& document = view_.document();
      size_t index = existingPage(document.get(), page);
      out(text) = Bstr(document->document.pageText(index)).release();
    });
  }
  HRESULT STDMETHODCALLTYPE GetScrollPosition(LONG* x, LONG* y) override {
    return run([&] {
      POINT position = view_.scrollPosition();
      out(x) = position.x;
      out(y) = position.y;
    });
  }
  HRESULT STDMETHODCALLTYPE ScrollTo(LONG x, LONG y) override {
    return run([&] { view_.scrollTo(x, y); });
  }
  HRESULT STDMETHODCALLTYPE GetVisibleRect(LONG* left, LONG* top, LONG* right,
                                           LONG* bottom) override {
    return run([&] {
      RECT shown = view_.visibleRect();
      out(left) = shown.left;
      out(top) = shown.top;
      out(right) = shown.right;
      out(bottom) = shown.bottom;
    });
  }
  HRESULT STDMETHODCALLTYPE get_BackColor(OLE_COLOR* colour) override {
    return run([&] { out(colour) = view_.backColor(); });
  }
  HRESULT STDMETHODCALLTYPE SetScale(double scaleX, double scaleY) override {
    return run([&] { view_.setScale(scaleX, scaleY); });
  }
  HRESULT STDMETHODCALLTYPE put_BackColor(OLE_COLOR colour) override {
    return run([&] {
      COLORREF translated = 0;
      if (FAILED(OleTranslateColor(colour, nullptr, &translated)))
        throw ComponentError(E_INVALIDARG, L"The colour " + std::to_wstring(colour) +
                                               L" is neither an RGB value nor a system colour.");
      view_.setBackColor(translated);
    });
  }
  HRESULT STDMETHODCALLTYPE get_SelectedPage(LONG* page) override {
    return run([&] { out(page) = view_.selectedPage(); });
  }
  HRESULT STDMETHODCALLTYPE NextPage() override {
    return run([&] { view_.nextPage(); });
  }
  HRESULT STDMETHODCALLTYPE PreviousPage() override {
    return run([&] { view_.previousPage(); });
  }
  HRESULT STDMETHODCALLTYPE get_TextSelection(IDispatch** selection) override {
    return run([&] {
      out(selection) = handOut(makeTextSelection(view_.document(), view_.selectedPage()));
    });
  }
  HRESULT STDMETHODCALLTYPE get_HasDocument(VARIANT_BOOL* open) override {
    return run([&] { out(open) = view_.document() ? VARIANT_TRUE : VARIANT_FALSE; });
  }
  HRESULT STDMETHODCALLTYPE get_ImageSelection(IDispatch** selection) override {
    return run([&] {
      out(selection) = handOut(makeImageSelection(view_.document(), view_.selectedPage()));
    });
  }
  HRESULT STDMETHODCALLTYPE Refresh() override {
    return run([&] { view_.refresh(); });
  }
  HRESULT STDMETHODCALLTYPE SelectPage(LONG page) override {
    return run([&] { view_.selectPage(page); });
  }

  // IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override {
    clientSite_ = ComPtr<IOleClientSite>::share(site);
    controlSite_ = clientSite_.as<IOleControlSite>(IID_IOleControlSite);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override {
    if (!site) return E_POINTER;
    *site = ComPtr<IOleClientSite>(clientSite_).get();
    if (*site) (*site)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Close(DWORD) override {
    InPlaceDeactivate();
    if (oleAdvise_) oleAdvise_->SendOnClose();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** data) override {
    if (data) *data = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND,
                                   LPCRECT) override {
    if (site && !clientSite_) SetClientSite(site);
    switch (verb) {
      case OLEIVERB_PRIMARY:
      case OLEIVERB_UIACTIVATE:
        return activate(true);
      case OLEIVERB_SHOW:
      case OLEIVERB_INPLACEACTIVATE:
        return activate(false);
      case OLEIVERB_HIDE:
        UIDeactivate();
        if (view_.window()) ShowWindow(view_.window(), SW_HIDE);
        return S_OK;
      default:
        return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
  }
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override {
    if (verbs) *verbs = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override { return GetClassID(clsid); }
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* type) override {
    return OleRegGetUserType(CLSID_PageView, form, type);
  }
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    extent_ = *size;
    if (!view_.window())
      view_.setBounds(RECT{0, 0, toPixels(size->cx, screenDpi(LOGPIXELSX)),
                           toPixels(size->cy, screenDpi(LOGPIXELSY))});
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    *size = extent_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* cookie) override {
    if (!oleAdvise_ && FAILED(CreateOleAdviseHolder(oleAdvise_.put()))) return E_OUTOFMEMORY;
    return oleAdvise_->Advise(sink, cookie);
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    return oleAdvise_ ? oleAdvise_->Unadvise(cookie) : OLE_E_NOCONNECTION;
  }
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advise) override {
    if (advise) *advise = nullptr;
    return oleAdvise_ ? oleAdvise_->EnumAdvise(advise) : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override {
    if (!status) return E_POINTER;
    *status = aspect == DVASPECT_CONTENT ? kMiscStatus : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = view_.window();
    return *window ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override {
    if (!inPlaceActive_) return S_OK;
    UIDeactivate();
    inPlaceActive_ = false;
    view_.destroyWindow();
    if (inPlaceSite_) inPlaceSite_->OnInPlaceDeactivate();
    inPlaceSite_.reset();
    frame_.reset();
    uiWindow_.reset();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UIDeactivate() override {
    if (!uiActive_) return S_OK;
    uiActive_ = false;
    if (frame_) frame_->SetActiveObject(nullptr, nullptr);
    if (uiWindow_) uiWindow_->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT) override {
    if (!position) return E_POINTER;
    view_.setBounds(*position);
    extent_ = SIZEL{toHimetric(position->right - position->left, screenDpi(LOGPIXELSX)),
                    toHimetric(position->bottom - position->top, screenDpi(LOGPIXELSY))};
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return INPLACE_E_NOTUNDOABLE; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override {
    if (!message) return E_POINTER;
    try {
      return view_.translateKey(*message) ? S_OK : S_FALSE;
    } catch (...) {
      return S_OK;  // the key was ours; its effect failed, which is not the host's concern
    }
  }
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }

  // IOleControl
  HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override {
    if (!info) return E_POINTER;
    info->hAccel = nullptr;  // keys come through TranslateAccelerator only
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnMnemonic(MSG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override {
    frozen_ += freeze ? 1 : (frozen_ > 0 ? -1 : 0);
    return S_OK;
  }

  // IPersist, IPersistStreamInit: the control keeps no state between runs.
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_PageView;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE Load(LPSTREAM) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Save(LPSTREAM, BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override {
    if (!size) return E_POINTER;
    size->QuadPart = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InitNew() override { return S_OK; }

  // IViewObject, IViewObject2
  HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc,
                                 LPCRECTL bounds, LPCRECTL, WINBOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                 ULONG_PTR) override {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!dc || !bounds) return E_INVALIDARG;
    return run([&] {
      view_.draw(dc, RECT{bounds->left, bounds->top, bounds->right, bounds->bottom});
    });
  }
  HRESULT STDMETHODCALLTYPE GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                        LOGPALETTE** colours) override {
    if (colours) *colours = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Unfreeze(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override {
    viewAdvise_ = ComPtr<IAdviseSink>::share(sink);
    viewAdviseAspects_ = aspects;
    viewAdviseFlags_ = flags;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override {
    if (aspects) *aspects = viewAdviseAspects_;
    if (flags) *flags = viewAdviseFlags_;
    if (sink) {
      *sink = viewAdvise_.get();
      if (*sink) (*sink)->AddRef();
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) override {
    return GetExtent(aspect, size);
  }

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override {
    if (points) *points = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (iid != DIID_PageViewEvents) return CONNECT_E_NOCONNECTION;
    *point = &events_;
    events_.AddRef();
    return S_OK;
  }

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
    return iid == IID_IMiDocView || iid == IID_IDispatch ? S_OK : S_FALSE;
  }

 private:
  void* interfaceFor(REFIID iid) {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IMiDocView)
      return static_cast<IMiDocView*>(this);
    if (iid == IID_IOleObject) return static_cast<IOleObject*>(this);
    if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject)
      return static_cast<IOleInPlaceObject*>(this);
    if (iid == IID_IOleInPlaceActiveObject) return static_cast<IOleInPlaceActiveObject*>(this);
    if (iid == IID_IOleControl) return static_cast<IOleControl*>(this);
    if (iid == IID_IPersist || iid == IID_IPersistStreamInit)
      return static_cast<IPersistStreamInit*>(this);
    if (iid == IID_IViewObject || iid == IID_IViewObject2) return static_cast<IViewObject2*>(this);
    if (iid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(this);
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
  }

  template <class Body>
  HRESULT run(Body&& body) noexcept {
    return guarded(IID_IMiDocView, std::forward<Body>(body));
  }

  void invoke(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) {
    switch (id) {
      case DISPID_DocumentObject:
        if (!isGet(flags)) break;
        expectArguments(params, 0);
        setResult(result, static_cast<IDispatch*>(documentObject().get()));
        return;
      case DISPID_FileName:
        if (isPut(flags)) {
          expectArguments(params, 1);
          view_.setFileName(stringArgument(params, 0));
          return;
        }
        if (!isGet(flags)) break;
        expectArguments(params, 0);
        setResult(result, view_.fileName());
        return;
      case DISPID_PageNum:
        if (isPut(flags)) {
          expectArguments(params, 1);
          view_.setPageNum(longArgument(params, 0));
          return;
        }
        if (!isGet(flags)) break;
        expectArguments(params, 0);
        setResult(result, view_.pageNum());
        return;
      case DISPID_PageCount:
        if (!isGet(flags)) break;
        expectArguments(params, 0);
        setResult(result, view_.pageCount());
        return;
      case DISPID_FitMode:
        if (isPut(flags)) {
          expectArguments(params, 1);
          view_.setFitMode(longArgument(params, 0));
          return;
        }
        if (!isGet(flags)) break;
        expectArguments(params, 0);
        setResult(result, static_cast<LONG>(view_.fitMode()));
        return;
      default:
        break;
    }
    throw DispatchError{DISP_E_MEMBERNOTFOUND};
  }

  // One document object per loaded document, handed out again while it is shown.
  ComPtr<IDocumentObject> documentObject() {
    if (!documentObject_ || documentObjectFor_ != view_.document().get()) {
      documentObject_ = makeDocumentObject(view_.document());
      documentObjectFor_ = view_.document().get();
    }
    return documentObject_;
  }

  HRESULT activate(bool uiActivate) {
    if (!clientSite_) return E_UNEXPECTED;
    if (!inPlaceActive_) {
      HRESULT hr = activateInPlace();
      if (FAILED(hr)) return hr;
    }
    if (view_.window()) ShowWindow(view_.window(), SW_SHOW);
    if (uiActivate && !uiActive_) activateUi();
    return S_OK;
  }

  HRESULT activateInPlace() {
    auto site = clientSite_.as<IOleInPlaceSite>(IID_IOleInPlaceSite);
    if (!site) return E_NOINTERFACE;
    if (site->CanInPlaceActivate() != S_OK) return E_FAIL;
    site->OnInPlaceActivate();
    HWND parent = nullptr;
    RECT position{}, clip{};
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof(frameInfo);
    if (FAILED(site->GetWindow(&parent)) ||
        FAILED(
            site->GetWindowContext(frame_.put(), uiWindow_.put(), &position, &clip, &frameInfo))) {
      site->OnInPlaceDeactivate();
      return E_FAIL;
    }
    HRESULT hr = guarded(IID_IOleObject, [&] { view_.createWindow(parent, position); });
    if (FAILED(hr)) {
      site->OnInPlaceDeactivate();
      frame_.reset();
      uiWindow_.reset();
      return hr;
    }
    inPlaceSite_ = site;
    inPlaceActive_ = true;
    return S_OK;
  }

  void activateUi() {
    uiActive_ = true;  // before the focus moves: WM_SETFOCUS comes back here
    if (inPlaceSite_) inPlaceSite_->OnUIActivate();
    auto* active = static_cast<IOleInPlaceActiveObject*>(this);
    if (frame_) {
      frame_->SetActiveObject(active, L"Page view");
      frame_->SetBorderSpace(nullptr);
    }
    if (uiWindow_) {
      uiWindow_->SetActiveObject(active, L"Page view");
      uiWindow_->SetBorderSpace(nullptr);
    }
    if (view_.window() && GetFocus() != view_.window()) SetFocus(view_.window());
  }

  void focusChanged(bool focused) {
    if (focused && inPlaceActive_ && !uiActive_) activateUi();
    if (controlSite_) controlSite_->OnFocus(focused);
  }

  void fire(Event event) {
    if (frozen_ > 0) return;
    AddRef();  // a sink may release its last reference to the control
    events_.fire(event);
    Release();
  }

  EventPoint events_;
  View view_;
  ComPtr<IOleClientSite> clientSite_;
  ComPtr<IOleControlSite> controlSite_;
  ComPtr<IOleInPlaceSite> inPlaceSite_;
  ComPtr<IOleInPlaceFrame> frame_;
  ComPtr<IOleInPlaceUIWindow> uiWindow_;
  ComPtr<IOleAdviseHolder> oleAdvise_;
  ComPtr<IAdviseSink> viewAdvise_;
  DWORD viewAdviseAspects_ = 0;
  DWORD viewAdviseFlags_ = 0;
  ComPtr<IDocumentObject> documentObject_;
  const LoadedDocument* documentObjectFor_ = nullptr;
  SIZEL extent_{};
  bool inPlaceActive_ = false;
  bool uiActive_ = false;
  int frozen_ = 0;
};

}  // namespace

HRESULT createControl(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  try {
    auto control = ComPtr<IMiDocView>::adopt(new Control());
    return control->QueryInterface(iid, object);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace mipv
