// The control's one connection point, for its event interface. It shares the
// control's reference count, as a part of it.
#pragma once

#include <ocidl.h>

#include <vector>

#include "framework/ComPtr.h"

namespace mipv {

class EventPoint final : public IConnectionPoint {
 public:
  explicit EventPoint(IConnectionPointContainer* owner) : owner_(owner) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return owner_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return owner_->Release(); }

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** c) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** e) override;

  // Calls every sink's method `event`, which takes no arguments.
  void fire(DISPID event);
  void clear() { sinks_.clear(); }

 private:
  struct Sink {
    DWORD cookie;
    framework::ComPtr<IDispatch> dispatch;
  };
  IConnectionPointContainer* owner_;
  std::vector<Sink> sinks_;
  DWORD lastCookie_ = 0;
};

}  // namespace mipv
