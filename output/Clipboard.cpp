#include "output/Clipboard.h"

#include <cstring>
#include <string>

#include "framework/Handles.h"

namespace output {

namespace {

void PutTextOnClipboard(HWND owner, const std::string& text) {
  const size_t length = std::strlen(text.c_str());
  framework::OpenedClipboard clipboard(owner);
  framework::GlobalMemory block =
      framework::AllocateGlobal(GMEM_MOVEABLE | GMEM_DDESHARE, length + 1);
  std::memcpy(framework::GlobalLocked<char>(block.get()).get(), text.c_str(), length + 1);
  if (!EmptyClipboard()) framework::raiseLastError();
  if (!SetClipboardData(CF_TEXT, block.get())) framework::raiseLastError();
  block.release();  // the clipboard owns it now
}

}  // namespace

void CopyPageText(imaging::TMiDocView& view) {
  view.SelectPage(view.PageNum());
  view.CopySelectedText();
}

void CopyPageImage(imaging::TMiDocView& view) {
  view.SelectPage(view.PageNum());
  view.CopySelectedImage();
}

void CopyDocumentText(imaging::TMiDocView& view, HWND owner) {
  const LONG count = view.PageCount();
  std::string text;
  for (LONG page = 0; page < count; ++page) {
    view.SelectPage(page);
    text += view.SelectedText();
    text += "\r\n";
  }
  PutTextOnClipboard(owner, text);
}

}  // namespace output
