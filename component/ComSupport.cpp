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
  return longValue(argumentAt(params, position), position);
}

std::wstring stringArgument(const DISPPARAMS* params, UINT position) {
  return stringValue(argumentAt(params, position), position);
}

LONG longValue(const VARIANT& value, UINT position) {
  Variant converted;
  HRESULT hr = VariantChangeType(converted.get(), const_cast<VARIANT*>(&value), 0, VT_I4);
  if (FAILED(hr)) throw DispatchError{DISP_E_TYPEMISMATCH, position};
  return converted.get()->lVal;
}

std::wstring stringValue(const VARIANT& value, UINT position) {
  if (V_VT(&value) == VT_EMPTY || V_VT(&value) == VT_NULL) return std::wstring();
  Variant converted;
  HRESULT hr = VariantChangeType(converted.get(), const_cast<VARIANT*>(&value), 0, VT_BSTR);
  if (FAILED(hr)) throw DispatchError{DISP_E_TYPEMISMATCH, position};
  BSTR text = converted.get()->bstrVal;
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

}  // namespace mipv
