#include "imaging/OleContainer.h"

#include <olectl.h>

using framework::ComPtr;

namespace imaging {

// -- DispatchById -------------------------------------------------------------------------------

STDMETHODIMP DispatchById::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

STDMETHODIMP DispatchById::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP DispatchById::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}

// -- ContainerSite ------------------------------------------------------------------------------

ComPtr<ContainerSite> ContainerSite::create(HWND parent, const RECT& bounds) {
  return ComPtr<ContainerSite>::adopt(new ContainerSite(parent, bounds));
}

STDMETHODIMP ContainerSite::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IOleClientSite)
    *object = static_cast<IOleClientSite*>(this);
  else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
    *object = static_cast<IOleInPlaceSite*>(this);
  else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
    *object = static_cast<IOleInPlaceFrame*>(this);
  else if (iid == IID_IOleControlSite)
    *object = static_cast<IOleControlSite*>(this);
  else if (iid == IID_IDispatch)
    *object = static_cast<IDispatch*>(this);
  else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) ContainerSite::AddRef() {
  return InterlockedIncrement(&references_);
}

STDMETHODIMP_(ULONG) ContainerSite::Release() {
  LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP ContainerSite::SaveObject() {
  return S_OK;
}

STDMETHODIMP ContainerSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP ContainerSite::GetContainer(IOleContainer** container) {
  if (container) *container = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP ContainerSite::ShowObject() {
  return S_OK;
}
STDMETHODIMP ContainerSite::OnShowWindow(BOOL) {
  return S_OK;
}
STDMETHODIMP ContainerSite::RequestNewObjectLayout() {
  return E_NOTIMPL;
}

STDMETHODIMP ContainerSite::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = parent_;
  return S_OK;
}

STDMETHODIMP ContainerSite::ContextSensitiveHelp(BOOL) {
  return E_NOTIMPL;
}

STDMETHODIMP ContainerSite::CanInPlaceActivate() {
  return S_OK;
}
STDMETHODIMP ContainerSite::OnInPlaceActivate() {
  return S_OK;
}
STDMETHODIMP ContainerSite::OnUIActivate() {
  return S_OK;
}

STDMETHODIMP ContainerSite::GetWindowContext(IOleInPlaceFrame** frame,
                                             IOleInPlaceUIWindow** document, LPRECT position,
                                             LPRECT clip, LPOLEINPLACEFRAMEINFO frameInfo) {
  if (!frame || !document || !position || !clip || !frameInfo) return E_POINTER;
  *frame = static_cast<IOleInPlaceFrame*>(this);
  AddRef();
  *document = nullptr;  // the frame is the only UI window
  *position = bounds_;
  *clip = bounds_;
  frameInfo->fMDIApp = FALSE;
  frameInfo->hwndFrame = GetAncestor(parent_, GA_ROOT);
  frameInfo->haccel = nullptr;
  frameInfo->cAccelEntries = 0;
  return S_OK;
}

STDMETHODIMP ContainerSite::Scroll(SIZE) {
  return E_NOTIMPL;
}
STDMETHODIMP ContainerSite::OnUIDeactivate(BOOL) {
  return S_OK;
}
STDMETHODIMP ContainerSite::OnInPlaceDeactivate() {
  return S_OK;
}
STDMETHODIMP ContainerSite::DiscardUndoState() {
  return S_OK;
}
STDMETHODIMP ContainerSite::DeactivateAndUndo() {
  return S_OK;
}
// The window decides the control's place; the control's own wishes are ignored.
STDMETHODIMP ContainerSite::OnPosRectChange(LPCRECT) {
  return S_OK;
}

STDMETHODIMP ContainerSite::GetBorder(LPRECT) {
  return INPLACE_E_NOTOOLSPACE;
}
STDMETHODIMP ContainerSite::RequestBorderSpace(LPCBORDERWIDTHS) {
  return INPLACE_E_NOTOOLSPACE;
}

STDMETHODIMP ContainerSite::SetBorderSpace(LPCBORDERWIDTHS widths) {
  return widths ? INPLACE_E_NOTOOLSPACE : S_OK;
}

STDMETHODIMP ContainerSite::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) {
  return S_OK;
}

STDMETHODIMP ContainerSite::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS widths) {
  if (widths) {
    for (LONG& width : widths->width) width = 0;
  }
  return S_OK;
}

STDMETHODIMP ContainerSite::SetMenu(HMENU, HOLEMENU, HWND) {
  return S_OK;
}
STDMETHODIMP ContainerSite::RemoveMenus(HMENU) {
  return S_OK;
}
STDMETHODIMP ContainerSite::SetStatusText(LPCOLESTR) {
  return S_OK;
}
STDMETHODIMP ContainerSite::EnableModeless(BOOL) {
  return S_OK;
}
// The program dispatches its shortcuts itself, from its menus.
STDMETHODIMP ContainerSite::TranslateAccelerator(LPMSG, WORD) {
  return S_FALSE;
}

STDMETHODIMP ContainerSite::OnControlInfoChanged() {
  return S_OK;
}
STDMETHODIMP ContainerSite::LockInPlaceActive(BOOL) {
  return S_OK;
}

STDMETHODIMP ContainerSite::GetExtendedControl(IDispatch** control) {
  if (control) *control = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP ContainerSite::TransformCoords(POINTL*, POINTF*, DWORD) {
  return E_NOTIMPL;
}
STDMETHODIMP ContainerSite::TranslateAccelerator(LPMSG, DWORD) {
  return S_FALSE;
}
STDMETHODIMP ContainerSite::OnFocus(BOOL) {
  return S_OK;
}
STDMETHODIMP ContainerSite::ShowPropertyFrame() {
  return E_NOTIMPL;
}

// The control runs in user mode; every other ambient property takes its default.
STDMETHODIMP ContainerSite::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*,
                                   VARIANT* result, EXCEPINFO*, UINT*) {
  if (id != DISPID_AMBIENT_USERMODE || !(flags & DISPATCH_PROPERTYGET) || !result)
    return DISP_E_MEMBERNOTFOUND;
  VariantInit(result);
  V_VT(result) = VT_BOOL;
  V_BOOL(result) = VARIANT_TRUE;
  return S_OK;
}

// -- EventSink ----------------------------------------------------------------------------------

ComPtr<EventSink> EventSink::create(REFIID events, Handler handler) {
  return ComPtr<EventSink>::adopt(new EventSink(events, std::move(handler)));
}

STDMETHODIMP EventSink::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == events_) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) EventSink::AddRef() {
  return InterlockedIncrement(&references_);
}

STDMETHODIMP_(ULONG) EventSink::Release() {
  LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return left;
}

// Every event returns normally, whatever the handler does with it.
STDMETHODIMP EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                               UINT*) {
  try {
    if (handler_) {
      Handler keep = handler_;  // the handler may detach the sink while it runs
      keep(id);
    }
  } catch (...) {
  }
  return S_OK;
}

}  // namespace imaging
