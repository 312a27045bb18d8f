// A plain Win32 host for the page-view control, as small as the OLE contract
// allows: a top-level window, a client site that activates the control in
// place, an event sink that counts what it receives, and helpers to call
// interfaces by raw vtable slot.
#pragma once

#include <ocidl.h>
#include <oleidl.h>
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/ComPtr.h"

namespace componenttest {

using framework::ComPtr;

// Calls slot `slot` of the interface `object` (QueryInterface is slot 0).
template <class... Args>
HRESULT callSlot(void* object, int slot, Args... args) {
  using Method = HRESULT(STDMETHODCALLTYPE*)(void*, Args...);
  return reinterpret_cast<Method>((*static_cast<void***>(object))[slot])(object, args...);
}

// The description the last failing call left in the thread's error information.
std::wstring lastErrorDescription();

class EventCounter;

// A top-level window holding one control, activated in place over its client area.
class Host {
 public:
  explicit Host(int width = 800, int height = 600);
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  HWND window() const { return window_; }
  IUnknown* control() const { return control_.get(); }
  HWND controlWindow() const;
  EventCounter& events() { return *events_; }
  // The control's active object as the frame was handed it (null before UI activation).
  IOleInPlaceActiveObject* activeObject() const;
  void resize(int width, int height);
  // Dispatches pending messages, so that painting happens.
  void pump();

 private:
  class Site;
  HWND window_ = nullptr;
  ComPtr<IUnknown> control_;
  Site* site_ = nullptr;
  std::unique_ptr<EventCounter> events_;
  ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

// Counts each event id it receives from the control.
class EventCounter {
 public:
  void reset() { counts_.clear(); }
  int count(DISPID id) const {
    auto found = counts_.find(id);
    return found == counts_.end() ? 0 : found->second;
  }
  std::vector<DISPID> order;  // every event received, in order
  void received(DISPID id) {
    ++counts_[id];
    order.push_back(id);
  }

 private:
  std::map<DISPID, int> counts_;
};

// IDispatch calls by dispatch id, with everything the call reports.
struct DispatchResult {
  HRESULT hr = S_OK;
  VARIANT value{};
  std::wstring description;  // EXCEPINFO's, for DISP_E_EXCEPTION
  HRESULT scode = S_OK;      // EXCEPINFO's
  UINT argError = ~0u;
  ~DispatchResult() { VariantClear(&value); }
};
std::unique_ptr<DispatchResult> getProperty(IDispatch* object, DISPID id);
// These two take over the arguments and clear them after the call.
std::unique_ptr<DispatchResult> putProperty(IDispatch* object, DISPID id, VARIANT value);
std::unique_ptr<DispatchResult> callMethod(IDispatch* object, DISPID id,
                                           std::vector<VARIANT> arguments);
VARIANT longVariant(LONG value);
VARIANT textVariant(const wchar_t* text);  // null gives VT_NULL

}  // namespace componenttest
