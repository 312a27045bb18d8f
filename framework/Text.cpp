#include "framework/Text.h"

#include <windows.h>

#include <climits>

#include "framework/Exception.h"

namespace framework {

std::wstring ansiToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  if (text.size() > INT_MAX) throw Exception("Text too long");
  int length = static_cast<int>(text.size());
  int wideLength = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (wideLength <= 0) raiseLastError();
  std::wstring wide(static_cast<size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, &wide[0], wideLength);
  return wide;
}

std::string wideToAnsi(const wchar_t* text, size_t length) {
  if (!text || length == 0) return std::string();
  if (length > INT_MAX) throw Exception("Text too long");
  int wideLength = static_cast<int>(length);
  int ansiLength = WideCharToMultiByte(CP_ACP, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
  if (ansiLength <= 0) raiseLastError();
  std::string ansi(static_cast<size_t>(ansiLength), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, wideLength, &ansi[0], ansiLength, nullptr, nullptr);
  return ansi;
}

}  // namespace framework
