#include "tests/output/OutputTestSupport.h"

#include <algorithm>
#include <cstring>

namespace testing_support {

void SetClipboardText(HWND owner, const std::string& text) {
  if (!OpenClipboard(owner)) return;
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
  GlobalUnlock(block);
  if (!SetClipboardData(CF_TEXT, block)) GlobalFree(block);
  CloseClipboard();
}

std::string ClipboardTextBytes() {
  std::string bytes = "(none)";
  if (!OpenClipboard(nullptr)) return "(cannot open)";
  if (HANDLE block = GetClipboardData(CF_TEXT)) {
    auto* data = static_cast<const char*>(GlobalLock(block));
    bytes.assign(data, GlobalSize(block));
    GlobalUnlock(block);
  }
  CloseClipboard();
  return bytes;
}

HBITMAP ClipboardBitmap() {
  if (!OpenClipboard(nullptr)) return nullptr;
  auto bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
  CloseClipboard();
  return bitmap;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

ClipboardHeldElsewhere::ClipboardHeldElsewhere()
    : opened_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      release_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      thread_(CreateThread(nullptr, 0, Run, this, 0, nullptr)) {
  // The holder sets the event once it has the clipboard, or has given up on it.
  WaitForSingleObject(opened_, INFINITE);
}

ClipboardHeldElsewhere::~ClipboardHeldElsewhere() {
  SetEvent(release_);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  CloseHandle(release_);
  CloseHandle(opened_);
}

DWORD WINAPI ClipboardHeldElsewhere::Run(void* self) {
  auto* held = static_cast<ClipboardHeldElsewhere*>(self);
  HWND window = CreateWindowExA(0, "STATIC", "Clipboard holder", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
  // Another program (under Wine, the desktop's clipboard bridge) may have the clipboard open
  // for a moment; the holder waits its turn, as a real one would.
  const DWORD start = GetTickCount();
  while (!(held->holding_ = OpenClipboard(window) != 0) && GetTickCount() - start < 10000)
    Sleep(10);
  SetEvent(held->opened_);
  WaitForSingleObject(held->release_, INFINITE);
  if (held->holding_) CloseClipboard();
  DestroyWindow(window);
  return 0;
}

}  // namespace testing_support
