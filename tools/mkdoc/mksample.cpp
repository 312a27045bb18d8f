// Makes the bundled sample document: three A5 pages at 100 dpi whose images show the same
// text their recognised-text tags hold. The text is drawn with GDI (Wine's Tahoma), so this
// is a Windows program; tools/mkdoc/make-sample.sh builds and runs it under Wine.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/docwriter/DocWriter.h"

namespace {

constexpr int kWidth = 583;  // A5 at 100 dpi
constexpr int kHeight = 827;

struct Line {
  std::string text;
  int size;  // font height in pixels
  COLORREF colour;
};

struct PageText {
  std::vector<Line> lines;
  std::string digit;
  COLORREF digitColour;
};

// Draws the page in 24-bit colour and returns it as the writer's raster of `bits` depth.
docwriter::Raster render(const PageText& page, int bits, bool smooth, COLORREF band) {
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = kWidth;
  info.bmiHeader.biHeight = -kHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bitsPtr = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bitsPtr, nullptr, 0);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  RECT all{0, 0, kWidth, kHeight};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  HBRUSH bandBrush = CreateSolidBrush(band);
  RECT top{40, 40, kWidth - 40, 52};
  FillRect(dc, &top, bandBrush);
  DeleteObject(bandBrush);
  SetBkMode(dc, TRANSPARENT);
  DWORD quality = smooth ? ANTIALIASED_QUALITY : NONANTIALIASED_QUALITY;
  int y = 80;
  for (const Line& line : page.lines) {
    HFONT font = CreateFontA(-line.size, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                             OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, quality, VARIABLE_PITCH, "Tahoma");
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetTextColor(dc, line.colour);
    TextOutA(dc, 50, y, line.text.c_str(), int(line.text.size()));
    y += line.size * 3 / 2;
    SelectObject(dc, oldFont);
    DeleteObject(font);
  }
  HFONT big = CreateFontA(-360, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS,
                          CLIP_DEFAULT_PRECIS, quality, VARIABLE_PITCH, "Tahoma");
  HGDIOBJ oldFont = SelectObject(dc, big);
  SetTextColor(dc, page.digitColour);
  RECT digitBox{0, 380, kWidth, kHeight - 40};
  DrawTextA(dc, page.digit.c_str(), -1, &digitBox, DT_CENTER | DT_TOP | DT_SINGLELINE);
  SelectObject(dc, oldFont);
  DeleteObject(big);
  GdiFlush();

  docwriter::Raster raster = docwriter::Raster::blank(kWidth, kHeight, bits);
  const int stride = (kWidth * 3 + 3) & ~3;
  const auto* pixels = static_cast<const uint8_t*>(bitsPtr);
  for (int py = 0; py < kHeight; ++py)
    for (int px = 0; px < kWidth; ++px) {
      const uint8_t* p = pixels + py * stride + px * 3;
      raster.set(px, py, uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
    }
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return raster;
}

// The recognised text: phrases separated by a blank and a line feed.
std::string recognised(const PageText& page) {
  std::string text;
  for (const Line& line : page.lines) text += line.text + " \n";
  return text + page.digit;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: mksample OUTPUT.mdi\n");
    return 2;
  }
  const COLORREF black = RGB(0, 0, 0);
  const PageText pages[3] = {
      {{{"Folirex sample document", 34, black},
        {"Page 1 of 3", 24, black},
        {"This page is black and white,", 22, black},
        {"stored with CCITT Group 4.", 22, black}},
       "1",
       black},
      {{{"Folirex sample document", 34, black},
        {"Page 2 of 3", 24, black},
        {"This page is in shades of grey,", 22, RGB(60, 60, 60)},
        {"stored as JPEG.", 22, RGB(60, 60, 60)}},
       "2",
       RGB(120, 120, 120)},
      {{{"Folirex sample document", 34, RGB(0, 0, 128)},
        {"Page 3 of 3", 24, black},
        {"This page is in colour,", 22, RGB(160, 0, 0)},
        {"stored as JPEG.", 22, RGB(0, 110, 0)}},
       "3",
       RGB(30, 90, 200)},
  };
  std::vector<docwriter::PageSpec> specs(3);
  specs[0].raster = render(pages[0], 1, false, black);
  specs[0].codec = docwriter::Codec::G4;
  specs[1].raster = render(pages[1], 8, true, RGB(150, 150, 150));
  specs[1].codec = docwriter::Codec::Jpeg;
  specs[1].jpegQuality = 60;
  specs[2].raster = render(pages[2], 24, true, RGB(200, 120, 0));
  specs[2].codec = docwriter::Codec::Jpeg;
  specs[2].jpegQuality = 60;
  for (int i = 0; i < 3; ++i) {
    specs[i].dpi = 100;
    specs[i].text = recognised(pages[i]);
  }
  try {
    docwriter::writeFile(argv[1], docwriter::write(specs, docwriter::Header::EP).bytes);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mksample: %s\n", e.what());
    return 1;
  }
  return 0;
}
