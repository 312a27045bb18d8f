#include "framework/Exception.h"

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

void raiseLastError() {
  throw Exception(systemMessage(HRESULT_FROM_WIN32(GetLastError())));
}

}  // namespace framework
