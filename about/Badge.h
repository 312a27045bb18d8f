// The donation badge of the About box, drawn at run time.
#pragma once

#include <windows.h>

namespace about {

inline constexpr int kBadgeWidth = 114;
inline constexpr int kBadgeHeight = 100;

// A new 114 × 100 bitmap of 24-bit colour: an invitation to give securely
// online, with the shapes of payment cards. The caller owns it.
HBITMAP CreateDonationBadge();

}  // namespace about
