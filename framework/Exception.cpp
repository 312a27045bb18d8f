#include "framework/Exception.h"

#include <cderr.h>

namespace framework {

std::string systemMessage(HRESULT hr) {
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

std::string commonDialogMessage(DWORD code) {
  struct Known {
    DWORD code;
    const char* text;
  };
  static const Known known[] = {
      {CDERR_DIALOGFAILURE, "The dialog box could not be created"},
      {CDERR_STRUCTSIZE, "The dialog box was given settings of the wrong size"},
      {CDERR_INITIALIZATION, "The dialog box could not be initialized"},
      {CDERR_MEMALLOCFAILURE, "The dialog box could not allocate memory"},
      {FNERR_INVALIDFILENAME, "The file name is not valid"},
      {FNERR_BUFFERTOOSMALL, "The file name is too long"},
      {PDERR_NODEFAULTPRN, "There is no default printer"},
      {PDERR_PRINTERNOTFOUND, "The printer was not found"},
  };
  std::string text = "The dialog box failed";
  for (const Known& entry : known)
    if (entry.code == code) text = entry.text;
  char suffix[48];
  wsprintfA(suffix, " (common dialog error 0x%04lX)", static_cast<unsigned long>(code));
  return text + suffix;
}

void raiseLastError() {
  throw Exception(systemMessage(HRESULT_FROM_WIN32(GetLastError())));
}

}  // namespace framework
