#include "component/ComSupport.h"

#include <new>
#include <stdexcept>

#include "document/Document.h"
#include "framework/ComPtr.h"

namespace mipv {

namespace {

const wchar_t kErrorSource[] = L"MiPageView.PageView";

}  // namespace

std::wstring widen(const char* utf8) {
  int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  if (length <= 1) return std::wstring();
  std::wstring text(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, text.data(), length);
  text.resize(static_cast<size_t>(length) - 1);
  return text;
}

ComponentError currentError() {
  try {
    throw;
  } catch (const ComponentError& e) {
    return e;
  } catch (const mdi::ReadError& e) {
    return ComponentError(MI_E_LOADFAILED, widen(e.what()));
  } catch (const std::bad_alloc&) {
    return ComponentError(E_OUTOFMEMORY, L"There is not enough memory for this operation.");
  } catch (const DispatchError& e) {
    return ComponentError(e.code, L"The call's arguments do not fit the member.");
  } catch (const std::exception& e) {
    return ComponentError(E_FAIL, widen(e.what()));
  } catch (...) {
    return ComponentError(E_UNEXPECTED, L"An unexpected failure occurred in the page view.");
  }
}

HRESULT reportError(const ComponentError& error, REFIID iid) {
  framework::ComPtr<ICreateErrorInfo> create;
  if (SUCCEEDED(CreateErrorInfo(create.put()))) {
    create->SetGUID(iid);
    create->SetSource(const_cast<LPOLESTR>(kErrorSource));
    create->SetDescription(const_cast<LPOLESTR>(error.description().c_str()));
    if (auto info = create.as<IErrorInfo>(IID_IErrorInfo)) SetErrorInfo(0, info.get());
  }
  return error.code();
}

HRESULT invokeFailed(const ComponentError& error, REFIID iid, EXCEPINFO* excepInfo) {
  reportError(error, iid);
  // Without somewhere to put the exception, the status itself is the best answer.
  if (!excepInfo) return error.code();
  *excepInfo = EXCEPINFO{};
  excepInfo->bstrSource = SysAllocString(kErrorSource);
  excepInfo->bstrDescription = SysAllocString(error.description().c_str());
  excepInfo->scode = error.code();
  return DISP_E_EXCEPTION;
}

Bstr::Bstr(const std::wstring& text)
    : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
  if (!value_) throw std::bad_alloc();
}

Bstr::Bstr(const std::u16string& text)
    : value_(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                               static_cast<UINT>(text.size()))) {
  if (!value_) throw std::bad_alloc();
}

bool isGet(WORD flags) {
  return (flags & DISPATCH_PROPERTYGET) != 0;
}
bool isPut(WORD flags) {
  return (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
}
bool isMethod(WORD flags) {
  return (flags & DISPATCH_METHOD) != 0;
}

void expectArguments(const DISPPARAMS* params, UINT count) {
  UINT given = params ? params->cArgs : 0;
  if (given != count) throw DispatchError{DISP_E_BADPARAMCOUNT};
  // Named arguments are understood only as the value of a property put.
  UINT named = params ? params->cNamedArgs : 0;
  if (named > 1 || (named == 1 && params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
    throw DispatchError{DISP_E_NONAMEDARGS};
}

namespace {

// Arguments arrive last first.
const VARIANT& argumentAt(const DISPPARAMS* params, UINT position) {
  if (!params || position >= params->cArgs) throw DispatchError{DISP_E_BADPARAMCOUNT};
  return params->rgvarg[params->cArgs - 1 - position];
}

}  // namespace

LONG longArgument(const DISPPARAMS* params, UINT position) {
  Variant converted;
  HRESULT hr = VariantChangeType(converted.get(),
                                 const_cast<VARIANT*>(&argumentAt(params, position)), 0, VT_I4);
  if (FAILED(hr)) throw DispatchError{DISP_E_TYPEMISMATCH, position};
  return (*converted).lVal;
}

std::wstring stringArgument(const DISPPARAMS* params, UINT position) {
  const VARIANT& argument = argumentAt(params, position);
  if (V_VT(&argument) == VT_EMPTY || V_VT(&argument) == VT_NULL) return std::wstring();
  Variant converted;
  HRESULT hr = VariantChangeType(converted.get(), const_cast<VARIANT*>(&argument), 0, VT_BSTR);
  if (FAILED(hr)) throw DispatchError{DISP_E_TYPEMISMATCH, position};
  BSTR text = (*converted).bstrVal;
  return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

void setResult(VARIANT* result, LONG value) {
  if (!result) return;
  VariantClear(result);
  V_VT(result) = VT_I4;
  V_I4(result) = value;
}

void setResult(VARIANT* result, const std::wstring& value) {
  if (!result) return;
  Bstr text(value);
  VariantClear(result);
  V_VT(result) = VT_BSTR;
  V_BSTR(result) = text.release();
}

void setResult(VARIANT* result, IDispatch* value) {
  if (!result) return;
  VariantClear(result);
  V_VT(result) = VT_DISPATCH;
  V_DISPATCH(result) = value;
  if (value) value->AddRef();
}

HRESULT idsOfNames(const NamedId* table, size_t count, LPOLESTR* names, UINT nameCount,
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

}  // namespace mipv
