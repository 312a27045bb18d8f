// The three clipboard commands: the current page's text or image through the
// component, and the text of every page joined by the program itself.
#include <cstring>
#include <string>
#include <utility>

#include "app/main.h"
#include "framework/Exception.h"
#include "output/Bstr.h"

namespace {

// The clipboard, opened for the owner window and closed on every path.
class OpenedClipboard {
 public:
  explicit OpenedClipboard(HWND owner) {
    if (!OpenClipboard(owner)) throw framework::Exception("Cannot open clipboard");
  }
  ~OpenedClipboard() { CloseClipboard(); }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
};

// A global memory block, freed unless the clipboard took it.
class GlobalBlock {
 public:
  GlobalBlock(UINT flags, size_t size) : block_(GlobalAlloc(flags, size)) {
    if (!block_) framework::raiseLastError();
  }
  ~GlobalBlock() {
    if (block_) GlobalFree(block_);
  }
  GlobalBlock(const GlobalBlock&) = delete;
  GlobalBlock& operator=(const GlobalBlock&) = delete;

  HGLOBAL get() const { return block_; }
  HGLOBAL release() { return std::exchange(block_, nullptr); }

 private:
  HGLOBAL block_;
};

// Puts `text`, up to its first zero byte, on the clipboard as CF_TEXT alone.
void PutTextOnClipboard(HWND owner, const std::string& text) {
  const size_t length = std::strlen(text.c_str());
  OpenedClipboard clipboard(owner);
  GlobalBlock block(GMEM_MOVEABLE | GMEM_DDESHARE, length + 1);
  void* target = GlobalLock(block.get());
  if (!target) framework::raiseLastError();
  std::memcpy(target, text.c_str(), length + 1);
  GlobalUnlock(block.get());
  if (!EmptyClipboard()) framework::raiseLastError();
  if (!SetClipboardData(CF_TEXT, block.get())) framework::raiseLastError();
  block.release();  // the clipboard owns it now
}

// The text of the selected page, in the ANSI code page.
std::string SelectedPageText(imaging::TMiDocView& view) {
  auto selection = view.TextSelection();
  output::Bstr text;
  imaging::OleCheck(selection->get_SelectionText(text.put()), selection.get(),
                    MODI_TLB::IID_IMiSelectableItem);
  return imaging::wideToAnsi(text.get(), text.length());
}

}  // namespace

void TForm1::CopyTextExecute() {
  LONG page = mdi->PageNum();
  mdi->SelectPage(page);
  auto selection = mdi->TextSelection();
  imaging::OleCheck(selection->CopyToClipboard(), selection.get(), MODI_TLB::IID_IMiSelectableItem);
}

void TForm1::CopyImageExecute() {
  LONG page = mdi->PageNum();
  mdi->SelectPage(page);
  auto selection = mdi->ImageSelection();
  imaging::OleCheck(selection->CopyToClipboard(1, 1), selection.get(),
                    MODI_TLB::IID_IMiSelectableImage);
}

void TForm1::sellAllTxtExecute() {
  const LONG count = mdi->PageCount();
  std::string text;
  for (LONG page = 0; page < count; ++page) {
    mdi->SelectPage(page);
    text += SelectedPageText(*mdi);
    text += "\r\n";
  }
  PutTextOnClipboard(Handle(), text);
}
