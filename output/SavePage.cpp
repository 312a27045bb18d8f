// Saving the current page as a BMP file: the component copies the page image
// to the clipboard, `Image1` takes a copy of it and writes the file.
#include "app/main.h"
#include "framework/Exception.h"
#include "output/Picture.h"

namespace {

// Gives `Image1` the clipboard's bitmap. The copy is taken while the clipboard
// is open, so nobody can replace the bitmap under it; the clipboard's own
// bitmap is left to the clipboard.
void TakeClipboardBitmap(HWND owner, output::TImage& image) {
  if (!IsClipboardFormatAvailable(CF_BITMAP))
    throw framework::Exception("The clipboard holds no bitmap");
  if (!OpenClipboard(owner)) throw framework::Exception("Cannot open clipboard");
  struct Closer {
    ~Closer() { CloseClipboard(); }
  } closer;
  auto bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
  if (!bitmap) throw framework::Exception("The clipboard holds no bitmap");
  image.SetBitmap(bitmap);
}

}  // namespace

void TForm1::Save0Execute() {
  mdi->SelectPage(mdi->PageNum());
  if (!save.Execute(Handle())) {
    mdi->SelectPage(-1);
    return;
  }
  try {
    {
      auto selection = mdi->ImageSelection();
      imaging::OleCheck(selection->CopyToClipboard(1, 1), selection.get(),
                        MODI_TLB::IID_IMiSelectableImage);
    }
    TakeClipboardBitmap(Handle(), *Image1);
    Image1->SaveToFile(save.FileName);
  } catch (const std::exception&) {
    ShowError(IDS_FAILED_TO_SAVE);
  }
}
