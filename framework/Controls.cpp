#include "framework/Controls.h"

#include <algorithm>

#include "framework/Exception.h"
#include "framework/Forms.h"
#include "framework/Handles.h"
#include "framework/Modal.h"

namespace framework {

// ------------------------------------------------------------------ TStatusBar

TStatusBar::~TStatusBar() {
  if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

void TStatusBar::Create(HWND parent, int height, const std::vector<int>& panelWidths) {
  hwnd_ = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent,
                          nullptr, GetModuleHandleA(nullptr), nullptr);
  SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultFont()), FALSE);
  std::vector<int> edges;
  int right = 0;
  for (int width : panelWidths) edges.push_back(right += width);
  SendMessageA(hwnd_, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
  // The minimum height counts the drawing area only, inside the bar's borders.
  int borders[3] = {};
  SendMessageA(hwnd_, SB_GETBORDERS, 0, reinterpret_cast<LPARAM>(borders));
  SendMessageA(hwnd_, SB_SETMINHEIGHT, std::max(height - 2 * borders[1], 0), 0);
  Realign();
}

int TStatusBar::Height() const {
  RECT rc = {};
  GetWindowRect(hwnd_, &rc);
  return rc.bottom - rc.top;
}

void TStatusBar::Realign() {
  SendMessageA(hwnd_, WM_SIZE, 0, 0);
}

std::string TStatusBar::PanelText(int panel) const {
  LRESULT length = LOWORD(SendMessageA(hwnd_, SB_GETTEXTLENGTHA, panel, 0));
  std::string text(static_cast<size_t>(length) + 1, '\0');
  SendMessageA(hwnd_, SB_GETTEXTA, panel, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  return text;
}

void TStatusBar::SetPanelText(int panel, const std::string& text) {
  SendMessageA(hwnd_, SB_SETTEXTA, panel, reinterpret_cast<LPARAM>(text.c_str()));
}

// ------------------------------------------------------------------ TImageList

TImageList::~TImageList() {
  if (list_) ImageList_Destroy(list_);
}

void TImageList::Create(int width, int height) {
  width_ = width;
  height_ = height;
  list_ = ImageList_Create(width, height, ILC_COLOR32, 8, 8);
}

int TImageList::Add(const std::vector<DWORD>& pixels) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  Bitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap) return -1;
  std::copy_n(pixels.begin(), std::min<size_t>(pixels.size(), size_t(width_) * height_),
              static_cast<DWORD*>(bits));
  return ImageList_Add(list_, bitmap.get(), nullptr);
}

// ----------------------------------------------------------------- TFileDialog

OPENFILENAMEA TFileDialog::Settings(HWND owner, std::vector<char>& nameBuffer,
                                    std::string& filter) const {
  nameBuffer.assign(BufferSize, '\0');
  std::copy_n(FileName.begin(), std::min(FileName.size(), BufferSize - 1), nameBuffer.begin());
  filter = Filter;
  std::replace(filter.begin(), filter.end(), '|', '\0');
  filter.append(2, '\0');
  OPENFILENAMEA settings = {};
  settings.lStructSize = sizeof settings;
  settings.hwndOwner = owner;
  settings.lpstrFilter = filter.c_str();
  settings.nFilterIndex = 1;
  settings.lpstrFile = nameBuffer.data();
  settings.nMaxFile = static_cast<DWORD>(nameBuffer.size());
  settings.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
  settings.lpstrDefExt = DefaultExt.empty() ? nullptr : DefaultExt.c_str();
  settings.Flags = Options | OFN_EXPLORER;
  return settings;
}

bool TFileDialog::Execute(HWND owner) {
  std::vector<char> nameBuffer;
  std::string filter;
  OPENFILENAMEA settings = Settings(owner, nameBuffer, filter);
  bool confirmed =
      kind_ == Open ? ModalUi().ShowOpenDialog(settings) : ModalUi().ShowSaveDialog(settings);
  if (confirmed) {
    FileName = nameBuffer.data();
    return true;
  }
  // False is a cancel, or the dialog's own failure, which is not the user's answer.
  if (DWORD error = ModalUi().CommonDialogError()) throw Exception(commonDialogMessage(error));
  return false;
}

}  // namespace framework
