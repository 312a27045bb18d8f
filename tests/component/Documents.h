// Documents the component tests load, written once per run into a temporary folder.
#pragma once

#include <windows.h>

#include <string>

namespace componenttest {

// Five pages:
// 0: black and white, 400 x 300 at 100 dpi, a black box (100,50)-(300,250), text "First page"
// 1: grey, 256 x 100 at 50 dpi, each column's grey equal to its x, no text
// 2: colour, 120 x 80 without resolution (200 dpi), red left half, blue right half, text "Third"
// 3: black and white, 300 x 300 at 150 dpi, blank, text "Ünïcode Привет"
// 4: black and white, 2000 x 1000 at 200 dpi, a black box (1000,200)-(1600,600), no text
std::wstring fiveTestPages();
inline constexpr int kFivePageWidths[] = {400, 256, 120, 300, 2000};
inline constexpr int kFivePageHeights[] = {300, 100, 80, 300, 1000};
inline constexpr int kFivePageBits[] = {1, 8, 24, 1, 1};
inline constexpr double kFivePageDpi[] = {100, 50, 200, 150, 200};
inline constexpr RECT kPageZeroBox = {100, 50, 300, 250};
inline constexpr RECT kPageFourBox = {1000, 200, 1600, 600};

// Four A4 pages at 300 dpi, G4, each with rows of text-like marks.
std::wstring a4Pages();

// Two black and white pages at 100 dpi: 0 upright, 100 x 50; 1 stored 300 x 120 and turned
// (orientation 6, its rows run down the page), so that it is seen 120 wide and 300 high.
std::wstring turnedPages();

// Not a document: text bytes.
std::wstring notADocument();

// A copy of the five-page document under a new name (for print jobs told apart by title).
std::wstring copyOfFivePages(const std::wstring& baseName);

std::wstring testFolder();

}  // namespace componenttest
