// One hosted control per test, reached through IDispatch and the program's declarations.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "Documents.h"
#include "Host.h"
#include "imaging/MODI_TLB.h"

namespace componenttest {

// The component's own failure codes (interface-specific, facility ITF).
inline constexpr HRESULT kLoadFailed = static_cast<HRESULT>(0x80040201);
inline constexpr HRESULT kNoSelection = static_cast<HRESULT>(0x80040203);
inline constexpr HRESULT kPrintFailed = static_cast<HRESULT>(0x80040204);

class HostedControl : public testing::Test {
 protected:
  HostedControl()
      : dispatch(ComPtr<IUnknown>::share(host.control()).as<IDispatch>(IID_IDispatch)),
        view(ComPtr<IUnknown>::share(host.control())
                 .as<MODI_TLB::IMiDocView>(MODI_TLB::IID_IMiDocView)) {}

  void load(const std::wstring& path) {
    auto result = putProperty(dispatch.get(), MODI_TLB::DISPID_FileName, textVariant(path.c_str()));
    ASSERT_EQ(S_OK, result->hr) << std::string(result->description.begin(),
                                               result->description.end());
    host.pump();
  }
  LONG readLong(DISPID id) {
    auto result = getProperty(dispatch.get(), id);
    EXPECT_EQ(S_OK, result->hr);
    EXPECT_EQ(VT_I4, V_VT(&result->value));
    return V_I4(&result->value);
  }
  LONG pageNum() { return readLong(MODI_TLB::DISPID_PageNum); }
  LONG pageCount() { return readLong(MODI_TLB::DISPID_PageCount); }
  void setPage(LONG page) {
    ASSERT_EQ(S_OK, putProperty(dispatch.get(), MODI_TLB::DISPID_PageNum, longVariant(page))->hr);
  }
  void setFit(LONG mode) {
    ASSERT_EQ(S_OK, putProperty(dispatch.get(), MODI_TLB::DISPID_FitMode, longVariant(mode))->hr);
  }

  Host host;
  ComPtr<IDispatch> dispatch;
  ComPtr<MODI_TLB::IMiDocView> view;
};

inline std::string narrow(const std::wstring& text) {
  int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(length > 0 ? length : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, result.data(), length, nullptr, nullptr);
  result.resize(result.size() - 1);
  return result;
}

}  // namespace componenttest
