// The common frame of the component's small automation objects (document
// object, selections): IUnknown, IDispatch by dispatch id without a type
// library, and ISupportErrorInfo for their one interface.
#pragma once

#include <oaidl.h>

#include "component/ComSupport.h"

namespace mipv {

// IDispatch without a type library: members are reached by dispatch id and by name only.
template <class Interface>
class WithoutTypeInfo : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
  }
};

template <class Interface, const IID& InterfaceId>
class DispatchObject : public WithoutTypeInfo<Interface>,
                       public ISupportErrorInfo,
                       protected RefCounted {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == InterfaceId)
      *object = static_cast<Interface*>(this);
    else if (iid == IID_ISupportErrorInfo)
      *object = static_cast<ISupportErrorInfo*>(this);
    else
      return E_NOINTERFACE;
    addRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return addRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return release(); }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    size_t size = 0;
    const NamedId* table = members(size);
    return idsOfNames(table, size, names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    return guardedInvoke(InterfaceId, excepInfo, argErr,
                         [&] { invoke(id, flags, params, result); });
  }

  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
    return iid == InterfaceId || iid == IID_IDispatch ? S_OK : S_FALSE;
  }

 protected:
  // The dispatch members by name, and their implementation; unknown ids and
  // unsupported kinds of access throw DispatchError{DISP_E_MEMBERNOTFOUND}.
  virtual const NamedId* members(size_t& count) const = 0;
  virtual void invoke(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) = 0;

  template <class Body>
  HRESULT run(Body&& body) noexcept {
    return guarded(InterfaceId, std::forward<Body>(body));
  }
};

}  // namespace mipv
