#include "component/OleEmbedding.h"

#include <olectl.h>

#include <utility>

#include "component/ComSupport.h"
#include "component/Interfaces.h"
#include "framework/Handles.h"

namespace mipv {

namespace {

using framework::ComPtr;

const DWORD kMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                          OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST;

// Pixels to HIMETRIC (0.01 mm) at the screen's resolution, and back.
LONG toHimetric(int pixels, int dpi) {
  return MulDiv(pixels, 2540, dpi);
}
int toPixels(LONG himetric, int dpi) {
  return MulDiv(himetric, dpi, 2540);
}

// The OLE calls that need it cannot fail for want of the screen: 96 dpi then.
int screenDpi(int index) {
  try {
    return GetDeviceCaps(framework::WindowDc().get(), index);
  } catch (const framework::Exception&) {
    return 96;
  }
}

// Drawing fails as the control's own calls do, with error information.
template <class Body>
HRESULT run(Body&& body) noexcept {
  return guarded(IID_IMiDocView, std::forward<Body>(body));
}

}  // namespace

OleEmbedding::OleEmbedding(View& view)
    : view_(view),
      extent_{toHimetric(320, screenDpi(LOGPIXELSX)), toHimetric(240, screenDpi(LOGPIXELSY))} {}

HRESULT OleEmbedding::SetClientSite(IOleClientSite* site) {
  clientSite_ = ComPtr<IOleClientSite>::share(site);
  controlSite_ = clientSite_.as<IOleControlSite>(IID_IOleControlSite);
  return S_OK;
}

HRESULT OleEmbedding::GetClientSite(IOleClientSite** site) {
  if (!site) return E_POINTER;
  *site = ComPtr<IOleClientSite>(clientSite_).get();
  if (*site) (*site)->AddRef();
  return S_OK;
}

HRESULT OleEmbedding::SetHostNames(LPCOLESTR, LPCOLESTR) {
  return S_OK;
}

HRESULT OleEmbedding::Close(DWORD) {
  InPlaceDeactivate();
  if (oleAdvise_) oleAdvise_->SendOnClose();
  return S_OK;
}

HRESULT OleEmbedding::SetMoniker(DWORD, IMoniker*) {
  return E_NOTIMPL;
}

HRESULT OleEmbedding::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}

HRESULT OleEmbedding::InitFromData(IDataObject*, BOOL, DWORD) {
  return E_NOTIMPL;
}

HRESULT OleEmbedding::GetClipboardData(DWORD, IDataObject** data) {
  if (data) *data = nullptr;
  return E_NOTIMPL;
}

HRESULT OleEmbedding::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT) {
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

HRESULT OleEmbedding::EnumVerbs(IEnumOLEVERB** verbs) {
  if (verbs) *verbs = nullptr;
  return E_NOTIMPL;
}

HRESULT OleEmbedding::Update() {
  return S_OK;
}

HRESULT OleEmbedding::IsUpToDate() {
  return S_OK;
}

HRESULT OleEmbedding::GetUserClassID(CLSID* clsid) {
  return GetClassID(clsid);
}

HRESULT OleEmbedding::GetUserType(DWORD form, LPOLESTR* type) {
  return OleRegGetUserType(CLSID_PageView, form, type);
}

HRESULT OleEmbedding::SetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!size) return E_POINTER;
  extent_ = *size;
  if (!view_.window())
    view_.setBounds(RECT{0, 0, toPixels(size->cx, screenDpi(LOGPIXELSX)),
                         toPixels(size->cy, screenDpi(LOGPIXELSY))});
  return S_OK;
}

HRESULT OleEmbedding::GetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!size) return E_POINTER;
  *size = extent_;
  return S_OK;
}

HRESULT OleEmbedding::Advise(IAdviseSink* sink, DWORD* cookie) {
  if (!oleAdvise_ && FAILED(CreateOleAdviseHolder(oleAdvise_.put()))) return E_OUTOFMEMORY;
  return oleAdvise_->Advise(sink, cookie);
}

HRESULT OleEmbedding::Unadvise(DWORD cookie) {
  return oleAdvise_ ? oleAdvise_->Unadvise(cookie) : OLE_E_NOCONNECTION;
}

HRESULT OleEmbedding::EnumAdvise(IEnumSTATDATA** advise) {
  if (advise) *advise = nullptr;
  return oleAdvise_ ? oleAdvise_->EnumAdvise(advise) : E_FAIL;
}

HRESULT OleEmbedding::GetMiscStatus(DWORD aspect, DWORD* status) {
  if (!status) return E_POINTER;
  *status = aspect == DVASPECT_CONTENT ? kMiscStatus : 0;
  return S_OK;
}

HRESULT OleEmbedding::SetColorScheme(LOGPALETTE*) {
  return E_NOTIMPL;
}

HRESULT OleEmbedding::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = view_.window();
  return *window ? S_OK : E_FAIL;
}

HRESULT OleEmbedding::ContextSensitiveHelp(BOOL) {
  return E_NOTIMPL;
}

HRESULT OleEmbedding::InPlaceDeactivate() {
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

HRESULT OleEmbedding::UIDeactivate() {
  if (!uiActive_) return S_OK;
  uiActive_ = false;
  if (frame_) frame_->SetActiveObject(nullptr, nullptr);
  if (uiWindow_) uiWindow_->SetActiveObject(nullptr, nullptr);
  if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
  return S_OK;
}

HRESULT OleEmbedding::SetObjectRects(LPCRECT position, LPCRECT) {
  if (!position) return E_POINTER;
  view_.setBounds(*position);
  extent_ = SIZEL{toHimetric(position->right - position->left, screenDpi(LOGPIXELSX)),
                  toHimetric(position->bottom - position->top, screenDpi(LOGPIXELSY))};
  return S_OK;
}

HRESULT OleEmbedding::ReactivateAndUndo() {
  return INPLACE_E_NOTUNDOABLE;
}

HRESULT OleEmbedding::TranslateAccelerator(LPMSG message) {
  if (!message) return E_POINTER;
  try {
    return view_.translateKey(*message) ? S_OK : S_FALSE;
  } catch (...) {
    return S_OK;  // the key was ours; its effect failed, which is not the host's concern
  }
}

HRESULT OleEmbedding::OnFrameWindowActivate(BOOL) {
  return S_OK;
}

HRESULT OleEmbedding::OnDocWindowActivate(BOOL) {
  return S_OK;
}

HRESULT OleEmbedding::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
  return S_OK;
}

HRESULT OleEmbedding::EnableModeless(BOOL) {
  return S_OK;
}

HRESULT OleEmbedding::GetControlInfo(CONTROLINFO* info) {
  if (!info) return E_POINTER;
  info->hAccel = nullptr;  // keys come through TranslateAccelerator only
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

HRESULT OleEmbedding::OnMnemonic(MSG*) {
  return E_NOTIMPL;
}

HRESULT OleEmbedding::OnAmbientPropertyChange(DISPID) {
  return S_OK;
}

HRESULT OleEmbedding::FreezeEvents(BOOL freeze) {
  frozen_ += freeze ? 1 : (frozen_ > 0 ? -1 : 0);
  return S_OK;
}

HRESULT OleEmbedding::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = CLSID_PageView;
  return S_OK;
}

HRESULT OleEmbedding::IsDirty() {
  return S_FALSE;
}

HRESULT OleEmbedding::Load(LPSTREAM) {
  return S_OK;
}

HRESULT OleEmbedding::Save(LPSTREAM, BOOL) {
  return S_OK;
}

HRESULT OleEmbedding::GetSizeMax(ULARGE_INTEGER* size) {
  if (!size) return E_POINTER;
  size->QuadPart = 0;
  return S_OK;
}

HRESULT OleEmbedding::InitNew() {
  return S_OK;
}

HRESULT OleEmbedding::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds,
                           LPCRECTL, WINBOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!dc || !bounds) return E_INVALIDARG;
  return run([&] {
    view_.draw(dc, RECT{bounds->left, bounds->top, bounds->right, bounds->bottom});
  });
}

HRESULT OleEmbedding::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colours) {
  if (colours) *colours = nullptr;
  return S_FALSE;
}

HRESULT OleEmbedding::Freeze(DWORD, LONG, void*, DWORD*) {
  return E_NOTIMPL;
}

HRESULT OleEmbedding::Unfreeze(DWORD) {
  return E_NOTIMPL;
}

HRESULT OleEmbedding::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  viewAdvise_ = ComPtr<IAdviseSink>::share(sink);
  viewAdviseAspects_ = aspects;
  viewAdviseFlags_ = flags;
  return S_OK;
}

HRESULT OleEmbedding::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects) *aspects = viewAdviseAspects_;
  if (flags) *flags = viewAdviseFlags_;
  if (sink) {
    *sink = viewAdvise_.get();
    if (*sink) (*sink)->AddRef();
  }
  return S_OK;
}

HRESULT OleEmbedding::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

HRESULT OleEmbedding::activate(bool uiActivate) {
  if (!clientSite_) return E_UNEXPECTED;
  if (!inPlaceActive_) {
    HRESULT hr = activateInPlace();
    if (FAILED(hr)) return hr;
  }
  if (view_.window()) ShowWindow(view_.window(), SW_SHOW);
  if (uiActivate && !uiActive_) activateUi();
  return S_OK;
}

HRESULT OleEmbedding::activateInPlace() {
  auto site = clientSite_.as<IOleInPlaceSite>(IID_IOleInPlaceSite);
  if (!site) return E_NOINTERFACE;
  if (site->CanInPlaceActivate() != S_OK) return E_FAIL;
  site->OnInPlaceActivate();
  HWND parent = nullptr;
  RECT position{}, clip{};
  OLEINPLACEFRAMEINFO frameInfo{};
  frameInfo.cb = sizeof(frameInfo);
  if (FAILED(site->GetWindow(&parent)) ||
      FAILED(site->GetWindowContext(frame_.put(), uiWindow_.put(), &position, &clip, &frameInfo))) {
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

void OleEmbedding::activateUi() {
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

void OleEmbedding::focusChanged(bool focused) {
  if (focused && inPlaceActive_ && !uiActive_) activateUi();
  if (controlSite_) controlSite_->OnFocus(focused);
}
}  // namespace mipv
