// The two kinds of window the About box is built from besides the system's
// edit and buttons: a panel and a picture.
#pragma once

#include <windows.h>

#include "framework/Handles.h"

namespace about {

// Left, top, width and height in the parent's client area.
struct Bounds {
  int left, top, width, height;
};

// A panel with a raised edge and no caption. Its children's notifications
// (commands, colour requests, focus moves, the default-button query) go on to
// the panel's parent, so the form handles the controls inside as its own.
// Its client area is the whole panel: the edge is drawn inside it.
HWND CreatePanel(HWND parent, const Bounds& bounds);

// A picture: an icon or a bitmap, drawn at its natural size from the top left
// corner. Owns what it shows.
class PictureBox {
 public:
  PictureBox() = default;
  ~PictureBox();
  PictureBox(const PictureBox&) = delete;
  PictureBox& operator=(const PictureBox&) = delete;

  void Create(HWND parent, const Bounds& bounds);
  HWND Handle() const { return hwnd_; }
  void SetIcon(HICON icon);
  void SetBitmap(HBITMAP bitmap);

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void Paint(HDC dc) const;

  HWND hwnd_ = nullptr;
  framework::Icon icon_;
  framework::Bitmap bitmap_;
};

}  // namespace about
