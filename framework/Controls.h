// The few controls and dialogs the program's windows are made of.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <string>
#include <vector>

namespace framework {

// A status bar with fixed-width panels.
class TStatusBar {
 public:
  TStatusBar() = default;
  ~TStatusBar();
  TStatusBar(const TStatusBar&) = delete;
  TStatusBar& operator=(const TStatusBar&) = delete;

  void Create(HWND parent, int height, const std::vector<int>& panelWidths);
  HWND Handle() const { return hwnd_; }
  int Height() const;
  // Keeps the bar at the bottom of its parent after a resize.
  void Realign();
  std::string PanelText(int panel) const;
  void SetPanelText(int panel, const std::string& text);

 private:
  HWND hwnd_ = nullptr;
};

// A list of small icons, owned.
class TImageList {
 public:
  TImageList() = default;
  ~TImageList();
  TImageList(const TImageList&) = delete;
  TImageList& operator=(const TImageList&) = delete;

  void Create(int width, int height);
  // Adds a 32-bit top-down image of width × height pixels, alpha in the top byte.
  int Add(const std::vector<DWORD>& pixels);
  HIMAGELIST Handle() const { return list_; }
  int Count() const { return list_ ? ImageList_GetImageCount(list_) : 0; }

 private:
  HIMAGELIST list_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

// A file open or save dialog that keeps its settings and the last name chosen.
class TFileDialog {
 public:
  enum Kind { Open, Save };
  explicit TFileDialog(Kind kind) : kind_(kind) {}

  std::string Title;
  // Description and pattern pairs separated by '|', as in "MDI Files|*.mdi".
  std::string Filter;
  std::string DefaultExt;
  DWORD Options = 0;
  std::string FileName;
  // The longest path the dialog hands back, its terminating zero included.
  size_t BufferSize = MAX_PATH;

  // Shows the dialog; true when the user confirmed, with FileName set.
  bool Execute(HWND owner);
  // The settings as the system's dialog gets them, for tests to read.
  OPENFILENAMEA Settings(HWND owner, std::vector<char>& nameBuffer, std::string& filter) const;

 private:
  Kind kind_;
};

}  // namespace framework
