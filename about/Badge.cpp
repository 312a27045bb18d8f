#include "about/Badge.h"

#include "framework/Handles.h"

namespace about {

namespace {

using framework::GdiObject;
using framework::Selected;

void FillBox(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
  RECT box = {left, top, right, bottom};
  GdiObject<HBRUSH> brush(CreateSolidBrush(colour));
  FillRect(dc, &box, brush.get());
}

void RoundBox(HDC dc, const RECT& box, int corner, COLORREF fill, COLORREF edge) {
  GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, edge));
  GdiObject<HBRUSH> brush(CreateSolidBrush(fill));
  Selected drawing(dc, pen.get()), filling(dc, brush.get());
  RoundRect(dc, box.left, box.top, box.right, box.bottom, corner, corner);
}

COLORREF Mix(COLORREF from, COLORREF to, int step, int steps) {
  auto channel = [&](int a, int b) { return a + (b - a) * step / steps; };
  return RGB(channel(GetRValue(from), GetRValue(to)), channel(GetGValue(from), GetGValue(to)),
             channel(GetBValue(from), GetBValue(to)));
}

// The "Donate" button: a rounded, golden gradient with a darker rim.
void DrawButton(HDC dc, const RECT& box) {
  GdiObject<HRGN> shape(
      CreateRoundRectRgn(box.left, box.top, box.right + 1, box.bottom + 1, 14, 14));
  SelectClipRgn(dc, shape.get());
  const int rows = box.bottom - box.top;
  for (int row = 0; row < rows; ++row)
    FillBox(dc, box.left, box.top + row, box.right, box.top + row + 1,
            Mix(RGB(255, 228, 140), RGB(245, 160, 35), row, rows - 1));
  SelectClipRgn(dc, nullptr);
  GdiObject<HPEN> rim(CreatePen(PS_SOLID, 1, RGB(190, 115, 20)));
  Selected drawing(dc, rim.get()), hollow(dc, GetStockObject(NULL_BRUSH));
  RoundRect(dc, box.left, box.top, box.right, box.bottom, 14, 14);
}

void Label(HDC dc, const char* text, RECT box, int height, int weight, COLORREF colour) {
  GdiObject<HFONT> font(CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                                    DEFAULT_PITCH | FF_SWISS, "Tahoma"));
  Selected writing(dc, font.get());
  SetTextColor(dc, colour);
  SetBkMode(dc, TRANSPARENT);
  ::DrawTextA(dc, text, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

// A small padlock: the payment is made over a secure connection.
void DrawPadlock(HDC dc, int left, int top) {
  const COLORREF metal = RGB(90, 90, 100);
  {
    GdiObject<HPEN> pen(CreatePen(PS_SOLID, 2, metal));
    Selected drawing(dc, pen.get()), hollow(dc, GetStockObject(NULL_BRUSH));
    Arc(dc, left + 1, top, left + 8, top + 8, left + 8, top + 4, left + 1, top + 4);
    MoveToEx(dc, left + 1, top + 4, nullptr);
    LineTo(dc, left + 1, top + 6);
    MoveToEx(dc, left + 7, top + 4, nullptr);
    LineTo(dc, left + 7, top + 6);
  }
  FillBox(dc, left, top + 6, left + 9, top + 12, RGB(230, 175, 40));
  FillBox(dc, left + 4, top + 8, left + 5, top + 10, metal);
}

enum class CardMark { Chip, Stripe, Circles, Wave };

// A payment card of no particular brand: a coloured body with a chip, a
// stripe or plain shapes, and a row of digits.
void DrawCard(HDC dc, int left, int top, COLORREF body, COLORREF accent, CardMark mark) {
  const int width = 24, height = 16;
  RoundBox(dc, {left, top, left + width, top + height}, 5, body, RGB(60, 60, 60));
  switch (mark) {
    case CardMark::Chip:
      FillBox(dc, left + 4, top + 4, left + 9, top + 8, accent);
      break;
    case CardMark::Stripe:
      FillBox(dc, left + 1, top + 3, left + width - 1, top + 6, accent);
      break;
    case CardMark::Circles: {
      GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, accent));
      GdiObject<HBRUSH> brush(CreateSolidBrush(accent));
      Selected drawing(dc, pen.get()), filling(dc, brush.get());
      Ellipse(dc, left + 13, top + 3, left + 19, top + 9);
      Ellipse(dc, left + 16, top + 3, left + 22, top + 9);
      break;
    }
    case CardMark::Wave:
      for (int x = 2; x < width - 2; ++x)
        FillBox(dc, left + x, top + 5 + (x / 3) % 2, left + x + 1, top + 7 + (x / 3) % 2, accent);
      break;
  }
  for (int digit = 0; digit < 4; ++digit)
    FillBox(dc, left + 3 + digit * 5, top + 11, left + 6 + digit * 5, top + 12, RGB(235, 235, 235));
}

void DrawBadge(HDC dc) {
  FillBox(dc, 0, 0, kBadgeWidth, kBadgeHeight, RGB(255, 255, 255));
  RoundBox(dc, {0, 0, kBadgeWidth, kBadgeHeight}, 10, RGB(248, 250, 255), RGB(150, 165, 190));

  const RECT button = {6, 7, kBadgeWidth - 6, 39};
  DrawButton(dc, button);
  Label(dc, "Donate", button, -19, FW_BOLD, RGB(20, 45, 110));

  DrawPadlock(dc, 10, 45);
  Label(dc, "Give securely", {22, 44, kBadgeWidth - 4, 58}, -11, FW_BOLD, RGB(40, 40, 40));
  Label(dc, "online by card", {4, 57, kBadgeWidth - 4, 71}, -11, FW_NORMAL, RGB(70, 70, 70));

  const int top = 77, step = 27, first = (kBadgeWidth - (3 * step + 24)) / 2;
  DrawCard(dc, first, top, RGB(20, 50, 120), RGB(225, 185, 60), CardMark::Chip);
  DrawCard(dc, first + step, top, RGB(35, 110, 65), RGB(250, 250, 250), CardMark::Stripe);
  DrawCard(dc, first + 2 * step, top, RGB(120, 30, 45), RGB(240, 170, 60), CardMark::Circles);
  DrawCard(dc, first + 3 * step, top, RGB(110, 115, 125), RGB(180, 220, 250), CardMark::Wave);
}

}  // namespace

HBITMAP CreateDonationBadge() {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = kBadgeWidth;
  info.bmiHeader.biHeight = kBadgeHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  framework::Bitmap bitmap(
      framework::Require(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0)));
  {
    framework::MemoryDc dc;
    Selected canvas(dc.get(), bitmap.get());
    DrawBadge(dc.get());
  }
  return bitmap.release();
}

}  // namespace about
