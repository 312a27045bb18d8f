// Failures are exceptions carrying their message, in the ANSI code page.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

namespace framework {

class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A failed COM call: the component's own description when it gave one, else the
// system's text for the status.
class OleError : public Exception {
 public:
  OleError(HRESULT hr, const std::string& message) : Exception(message), hr_(hr) {}
  HRESULT code() const { return hr_; }

 private:
  HRESULT hr_;
};

// The system's text for a status, without its trailing line break.
std::string systemMessage(HRESULT hr);

// The text for a common dialog's failure code (CommDlgExtendedError). The
// system's message table has none for these codes, and FormatMessage would
// give an unrelated Win32 text for the small ones.
std::string commonDialogMessage(DWORD code);

// Throws a framework::Exception with the system's text for GetLastError().
[[noreturn]] void raiseLastError();

}  // namespace framework
