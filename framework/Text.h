// 16-bit text from and to the ANSI code page, the system's conversion without
// flags: what the system's ANSI functions do to the names they are given.
#pragma once

#include <cstddef>
#include <string>

namespace framework {

// Throws framework::Exception.
std::wstring ansiToWide(const std::string& text);
std::string wideToAnsi(const wchar_t* text, size_t length);

}  // namespace framework
