// What every COM object of the component shares: the module's object count,
// reference counting, owned BSTRs and VARIANTs, and turning exceptions into a failing
// HRESULT with error information at each interface boundary.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <utility>

#include "framework/Handles.h"

namespace mipv {

// The DLL's instance handle and its count of live objects and server locks.
HINSTANCE moduleInstance();
void moduleAddRef();
void moduleRelease();
bool moduleInUse();

// Interface-specific failures of the component; each comes with a description.
inline constexpr HRESULT MI_E_LOADFAILED = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0201);
inline constexpr HRESULT MI_E_NODOCUMENT = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0202);
inline constexpr HRESULT MI_E_NOSELECTION = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0203);
inline constexpr HRESULT MI_E_PRINTFAILED = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0204);
inline constexpr HRESULT MI_E_CLIPBOARD = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0205);
inline constexpr HRESULT MI_E_DRAWFAILED = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0206);

// A failure inside the component: the status a caller gets and a sentence a
// person can act on.
class ComponentError {
 public:
  ComponentError(HRESULT code, std::wstring description)
      : code_(code), description_(std::move(description)) {}
  HRESULT code() const { return code_; }
  const std::wstring& description() const { return description_; }

 private:
  HRESULT code_;
  std::wstring description_;
};

// A malformed IDispatch call: answered with the status alone, no error information.
struct DispatchError {
  HRESULT code;
  UINT argument = ~0u;  // the offending argument's position, when there is one
};

std::wstring widen(const char* utf8);

// Describes the exception being handled (call only inside a catch block).
ComponentError currentError();

// Sets the thread's error information (source, description, interface) and
// returns `code`, so that failing paths read `return reportError(...)`.
HRESULT reportError(const ComponentError& error, REFIID iid);

// Runs `body` and turns whatever it throws into a failing HRESULT with error information.
template <class Body>
HRESULT guarded(REFIID iid, Body&& body) noexcept {
  try {
    body();
    return S_OK;
  } catch (...) {
    return reportError(currentError(), iid);
  }
}

// The same for IDispatch::Invoke: component failures become DISP_E_EXCEPTION
// with the description in `excepInfo` as well as in the error information.
HRESULT invokeFailed(const ComponentError& error, REFIID iid, EXCEPINFO* excepInfo);

template <class Body>
HRESULT guardedInvoke(REFIID iid, EXCEPINFO* excepInfo, UINT* argErr, Body&& body) noexcept {
  try {
    body();
    return S_OK;
  } catch (const DispatchError& e) {
    if (argErr && e.argument != ~0u) *argErr = e.argument;
    return e.code;
  } catch (...) {
    return invokeFailed(currentError(), iid, excepInfo);
  }
}

// Out-parameters: a null pointer fails the call before anything happens.
template <class T>
T& out(T* p) {
  if (!p) throw ComponentError(E_POINTER, L"A result pointer is missing.");
  return *p;
}

// The owners of Handles.h: a BSTR, a VARIANT.
using framework::Bstr;
using framework::Variant;

// IDispatch argument helpers; positions count from the first argument.
bool isGet(WORD flags);
bool isPut(WORD flags);
bool isMethod(WORD flags);
// Checks the number of positional arguments (property puts count their value).
void expectArguments(const DISPPARAMS* params, UINT count);
LONG longArgument(const DISPPARAMS* params, UINT position);
// Empty or null arguments come back as an empty string.
std::wstring stringArgument(const DISPPARAMS* params, UINT position);
// The same for a value on its own (a property put's); a value that does not convert is a
// type mismatch of argument `position`.
LONG longValue(const VARIANT& value, UINT position = 0);
std::wstring stringValue(const VARIANT& value, UINT position = 0);
void setResult(VARIANT* result, LONG value);
void setResult(VARIANT* result, const std::wstring& value);
void setResult(VARIANT* result, IDispatch* value);  // takes a new reference

// GetIDsOfNames over a small table of members, each with a `name` and an `id`, the names
// compared without regard to case.
struct NamedId {
  const wchar_t* name;
  DISPID id;
};
template <class Member>
HRESULT idsOfNames(const Member* table, size_t count, LPOLESTR* names, UINT nameCount,
                   DISPID* ids) {
  if (!names || !ids) return E_POINTER;
  HRESULT hr = S_OK;
  for (UINT i = 0; i < nameCount; ++i) {
    ids[i] = DISPID_UNKNOWN;
    // Only the member's own name can be resolved; its argument names cannot.
    if (i > 0) {
      hr = DISP_E_UNKNOWNNAME;
      continue;
    }
    for (size_t k = 0; k < count; ++k)
      if (names[i] && lstrcmpiW(names[i], table[k].name) == 0) ids[i] = table[k].id;
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

// The counted part of every COM object here: starts at one reference, which
// the creator adopts, and keeps the module loaded while it lives.
class RefCounted {
 public:
  RefCounted() { moduleAddRef(); }
  virtual ~RefCounted() { moduleRelease(); }
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

 protected:
  ULONG addRef() { return ++references_; }
  ULONG release() {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<ULONG> references_{1};
};

}  // namespace mipv
