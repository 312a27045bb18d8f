// A BSTR owned for the length of one call into the component.
#pragma once

#include <oleauto.h>

#include <string>
#include <utility>

#include "framework/Exception.h"

namespace output {

class Bstr {
 public:
  Bstr() = default;
  // A copy of `text`; throws when the system has no memory for it.
  explicit Bstr(const std::wstring& text)
      : raw_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
    if (!raw_) throw framework::Exception("Out of memory");
  }
  ~Bstr() { SysFreeString(raw_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;

  BSTR get() const { return raw_; }
  UINT length() const { return SysStringLen(raw_); }
  // For out-parameters: frees what is held and hands out the slot.
  BSTR* put() {
    SysFreeString(std::exchange(raw_, nullptr));
    return &raw_;
  }

 private:
  BSTR raw_ = nullptr;
};

}  // namespace output
