// Helpers shared by the output tests: the clipboard as another program sees
// it, and the files in a folder.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

// Puts `text` on the clipboard as CF_TEXT, owned by `owner`.
void SetClipboardText(HWND owner, const std::string& text);
// The CF_TEXT block's bytes, its whole size as allocated; "(none)" when absent.
std::string ClipboardTextBytes();
// The clipboard's CF_BITMAP, still owned by the clipboard; null when absent.
HBITMAP ClipboardBitmap();
// The names of the files and folders in `folder`.
std::vector<std::string> FolderEntries(const std::string& folder);

// Holds the clipboard open from another thread, as another program would.
class ClipboardHeldElsewhere {
 public:
  ClipboardHeldElsewhere();
  ~ClipboardHeldElsewhere();
  bool holding() const { return holding_; }

 private:
  static DWORD WINAPI Run(void* self);
  HANDLE opened_, release_, thread_;
  bool holding_ = false;
};

}  // namespace testing_support
