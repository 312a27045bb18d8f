#include "output/SavePage.h"

#include "framework/Handles.h"

namespace output {

namespace {

// Gives `image` the clipboard's bitmap. The copy is taken while the clipboard
// is open, so nobody can replace the bitmap under it; the clipboard's own
// bitmap is left to the clipboard.
void TakeClipboardBitmap(HWND owner, TImage& image) {
  if (!IsClipboardFormatAvailable(CF_BITMAP))
    throw framework::Exception("The clipboard holds no bitmap");
  framework::OpenedClipboard clipboard(owner);
  auto bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
  if (!bitmap) throw framework::Exception("The clipboard holds no bitmap");
  image.SetBitmap(bitmap);
}

}  // namespace

bool ChoosePageFile(imaging::TMiDocView& view, HWND owner, framework::TFileDialog& dialog) {
  view.SelectPage(view.PageNum());
  if (dialog.Execute(owner)) return true;
  view.SelectPage(-1);
  return false;
}

void SaveSelectedPage(imaging::TMiDocView& view, HWND owner, TImage& image,
                      const std::string& path) {
  view.CopySelectedImage();
  TakeClipboardBitmap(owner, image);
  image.SaveToFile(path);
}

}  // namespace output
