// The five menu icons, drawn here: Open, Print, Exit, Save page, Zoom.
#pragma once

#include <windows.h>

#include <vector>

inline constexpr int kMenuIconCount = 5;

// A 16 × 16 image, rows top-down, 0xAARRGGBB pixels with straight alpha.
std::vector<DWORD> MenuIcon(int index);
