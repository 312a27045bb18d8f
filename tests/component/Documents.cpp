#include "Documents.h"

#include <cstdio>
#include <vector>

#include "tools/docwriter/DocWriter.h"

namespace componenttest {

namespace {

std::string narrow(const std::wstring& text) {
  return std::string(text.begin(), text.end());
}

std::wstring write(const wchar_t* name, const std::vector<docwriter::PageSpec>& pages) {
  std::wstring path = testFolder() + name;
  docwriter::writeFile(narrow(path), docwriter::write(pages).bytes);
  return path;
}

docwriter::PageSpec blackAndWhite(uint32_t width, uint32_t height, double dpi, RECT box) {
  docwriter::PageSpec page;
  page.raster = docwriter::Raster::blank(width, height, 1);
  if (box.right > box.left)
    page.raster.fill(box.left, box.top, box.right - box.left, box.bottom - box.top, 0x000000);
  page.codec = docwriter::Codec::G4;
  page.dpi = dpi;
  return page;
}

}  // namespace

std::wstring testFolder() {
  static std::wstring folder;
  if (folder.empty()) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder = std::wstring(temp) + L"mipv-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
  }
  return folder;
}

std::wstring fiveTestPages() {
  static std::wstring path;
  if (!path.empty()) return path;
  std::vector<docwriter::PageSpec> pages;
  pages.push_back(blackAndWhite(400, 300, 100, kPageZeroBox));
  pages.back().text = "First page";

  docwriter::PageSpec grey;
  grey.raster = docwriter::Raster::blank(256, 100, 8);
  for (uint32_t y = 0; y < 100; ++y)
    for (uint32_t x = 0; x < 256; ++x) grey.raster.set(x, y, x * 0x010101);
  grey.dpi = 50;
  pages.push_back(grey);

  docwriter::PageSpec colour;
  colour.raster = docwriter::Raster::blank(120, 80, 24);
  colour.raster.fill(0, 0, 60, 80, 0xFF0000);
  colour.raster.fill(60, 0, 60, 80, 0x0000FF);
  colour.dpi = 0;
  colour.text = "Third";
  pages.push_back(colour);

  pages.push_back(blackAndWhite(300, 300, 150, RECT{}));
  pages.back().text =
      "\xC3\x9Cn\xC3\xAF"
      "code \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
  pages.push_back(blackAndWhite(2000, 1000, 200, kPageFourBox));
  path = write(L"five.mdi", pages);
  return path;
}

std::wstring a4Pages() {
  static std::wstring path;
  if (!path.empty()) return path;
  std::vector<docwriter::PageSpec> pages;
  for (int n = 0; n < 4; ++n) {
    docwriter::PageSpec page = blackAndWhite(2480, 3508, 300, RECT{});
    // Lines of "words": boxes of varying width, like a typed page.
    for (uint32_t line = 0; line < 60; ++line)
      for (uint32_t x = 200, word = 0; x < 2200; ++word) {
        uint32_t width = 40 + (word * 37 + line * 11 + n * 5) % 120;
        page.raster.fill(x, 250 + line * 50, width, 28, 0x000000);
        x += width + 25;
      }
    pages.push_back(page);
  }
  path = write(L"a4.mdi", pages);
  return path;
}

std::wstring turnedPages() {
  static std::wstring path;
  if (!path.empty()) return path;
  std::vector<docwriter::PageSpec> pages{blackAndWhite(100, 50, 100, RECT{}),
                                         blackAndWhite(300, 120, 100, RECT{10, 10, 50, 30})};
  pages.back().orientation = 6;
  path = write(L"turned.mdi", pages);
  return path;
}

std::wstring notADocument() {
  std::wstring path = testFolder() + L"not-a-document.mdi";
  docwriter::writeFile(narrow(path), std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o', '\n'});
  return path;
}

std::wstring copyOfFivePages(const std::wstring& baseName) {
  std::wstring path = testFolder() + baseName;
  CopyFileW(fiveTestPages().c_str(), path.c_str(), FALSE);
  return path;
}

}  // namespace componenttest
