// Paging, the page status text in panel 1, and the page-numbered captions.
#include <cstdio>

#include "app/main.h"
#include "framework/Modal.h"

namespace {

std::string Format(const char* format, int number) {
  char text[64];
  std::snprintf(text, sizeof text, format, number);
  return text;
}

}  // namespace

void TForm1::nxtPExecute() {
  // The control refuses a page outside the document; that refusal is the beep.
  try {
    mdi->DocumentObject().as<MODI_TLB::IDocumentObject>(MODI_TLB::IID_IDocumentObject);
    mdi->SetPageNum(mdi->PageNum() + 1);
  } catch (const std::exception&) {
    framework::ModalUi().Beep(0);
  }
}

void TForm1::prvPExecute() {
  try {
    mdi->DocumentObject().as<MODI_TLB::IDocumentObject>(MODI_TLB::IID_IDocumentObject);
    mdi->SetPageNum(mdi->PageNum() - 1);
  } catch (const std::exception&) {
    framework::ModalUi().Beep(0);
  }
}

void TForm1::mdiCurPageNumChanged() {
  if (mdi->PageNum() < 0) {
    status.SetPanelText(1, "");
    return;
  }
  int page = mdi->PageNum() + 1;
  int count = mdi->PageCount();
  status.SetPanelText(1, "Page " + std::to_string(page) + " of " + std::to_string(count));
}

void TForm1::upMenu(int pageNumber) {
  CopyImage->Caption = Format("Copy page %d as &image", pageNumber);
  CopyText->Caption = Format("Copy page %d as &text", pageNumber);
  Save0->Caption = Format("Save page %d as &bitmap...", pageNumber);
}

void TForm1::Edit1Click() {
  upMenu(mdi->PageNum() + 1);
}

void TForm1::popupPopup() {
  upMenu(mdi->PageNum() + 1);
}
