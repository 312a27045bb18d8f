#include "component/EventPoint.h"

#include <olectl.h>

#include <algorithm>

#include "component/Interfaces.h"

namespace mipv {

HRESULT EventPoint::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid != IID_IUnknown && iid != IID_IConnectionPoint) return E_NOINTERFACE;
  *object = static_cast<IConnectionPoint*>(this);
  AddRef();
  return S_OK;
}

HRESULT EventPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = DIID_PageViewEvents;
  return S_OK;
}

HRESULT EventPoint::GetConnectionPointContainer(IConnectionPointContainer** c) {
  if (!c) return E_POINTER;
  *c = owner_;
  owner_->AddRef();
  return S_OK;
}

HRESULT EventPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!sink || !cookie) return E_POINTER;
  *cookie = 0;
  framework::ComPtr<IDispatch> dispatch;
  if (FAILED(sink->QueryInterface(DIID_PageViewEvents, dispatch.putVoid())) &&
      FAILED(sink->QueryInterface(IID_IDispatch, dispatch.putVoid())))
    return CONNECT_E_CANNOTCONNECT;
  *cookie = ++lastCookie_;
  sinks_.push_back(Sink{*cookie, dispatch});
  return S_OK;
}

HRESULT EventPoint::Unadvise(DWORD cookie) {
  auto found =
      std::find_if(sinks_.begin(), sinks_.end(), [&](const Sink& s) { return s.cookie == cookie; });
  if (found == sinks_.end()) return CONNECT_E_NOCONNECTION;
  sinks_.erase(found);
  return S_OK;
}

HRESULT EventPoint::EnumConnections(IEnumConnections** e) {
  if (e) *e = nullptr;
  return E_NOTIMPL;
}

void EventPoint::fire(DISPID event) {
  std::vector<Sink> receivers = sinks_;  // a sink may unadvise while it is called
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  for (const Sink& sink : receivers)
    sink.dispatch->Invoke(event, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                          nullptr, nullptr);
}

}  // namespace mipv
