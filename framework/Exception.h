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

// The system's text for a status, without its trailing line break. Inline, like
// raiseLastError: the owners of Handles.h use them, and the component includes that header
// without linking this room.
inline std::string systemMessage(HRESULT hr) {
  char* buffer = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = length ? std::string(buffer, length) : std::string();
  LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  if (text.empty()) {
    char code[32];
    wsprintfA(code, "Error 0x%08lX", static_cast<unsigned long>(hr));
    text = code;
  }
  return text;
}

// The text for a common dialog's failure code (CommDlgExtendedError). The
// system's message table has none for these codes, and FormatMessage would
// give an unrelated Win32 text for the small ones.
std::string commonDialogMessage(DWORD code);

// Throws a framework::Exception with the system's text for GetLastError().
[[noreturn]] inline void raiseLastError() {
  throw Exception(systemMessage(HRESULT_FROM_WIN32(GetLastError())));
}

}  // namespace framework
