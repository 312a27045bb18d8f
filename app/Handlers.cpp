// Every handler of the main window, each a few lines: opening, closing and
// remembering documents are the program's own; paging and magnifying go to
// viewing/, copying, saving and printing to output/.
#include "about/Unit2.h"
#include "app/LastFile.h"
#include "app/main.h"
#include "framework/Modal.h"
#include "output/Clipboard.h"
#include "output/Picture.h"
#include "output/Print.h"
#include "output/PrintDialog.h"
#include "output/SavePage.h"
#include "viewing/Paging.h"

using framework::scCtrl;
using framework::ShortCut;
using viewing::Magnification;

// ------------------------------------------------- start-up, activation, close

void TForm1::FormActivate() {
  framework::Application->SetTitle(framework::LoadStr(IDS_PROGRAM_NAME));
  // Only the first activation opens the command-line document: coming back
  // from the About box must not throw away what the user opened since.
  if (!commandLineOpened_) {
    commandLineOpened_ = true;
    std::string name = ParamStr(CommandLine.c_str(), 1);
    if (!name.empty()) OpenDocument(name);
  }
  prvP->ShortCut = ShortCut(VK_PRIOR, scCtrl);
  nxtP->ShortCut = ShortCut(VK_NEXT, scCtrl);
  ReadLastFileRecord();
}

void TForm1::FormClose() {
  WriteLastFileRecord();
}

void TForm1::Exit0Execute() {
  Close();
}

void TForm1::AboutFolirex1Click() {
  ABOUT->ShowModal();
}

// ------------------------------------------------- opening and closing documents

void TForm1::OpenDocument(const std::string& name) {
  SetDocumentCommands(false);
  if (name.empty()) {
    CloseDocument();
    return;
  }
  // A missing file is not reported: the view keeps what it shows.
  DWORD attributes = GetFileAttributesA(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  LastFileName = name;
  framework::RunOrShowError(Handle(), IDS_FAILED_TO_OPEN, [&] { LoadDocument(name); });
}

// Each step shows at once: a failure leaves the steps before it done.
void TForm1::LoadDocument(const std::string& name) {
  mdi->SetFileName(name);
  if (mdi->PageCount() == 0) throw framework::Exception("The document has no pages");
  ShowTitle(framework::LoadStr(IDS_PROGRAM_NAME) + " - " + name);
  status.SetPanelText(1, "Page 1 of " + std::to_string(mdi->PageCount()));
  SetDocumentCommands(true);
}

void TForm1::CloseDocument() {
  ShowTitle(framework::LoadStr(IDS_PROGRAM_NAME));
  status.SetPanelText(1, "");
  mdi->SetFileName("");
}

void TForm1::ShowTitle(const std::string& title) {
  SetCaption(title);
  framework::Application->SetTitle(title);
}

void TForm1::Open0Execute() {
  if (opend.Execute(Handle())) OpenDocument(opend.FileName);
}

void TForm1::Close1Click() {
  OpenDocument("");
}

// ------------------------------------------------------------ the last-file record

void TForm1::ReadLastFileRecord() {
  // Every failure is silent: the item keeps what it had, and once shown it
  // stays shown for the rest of the run.
  try {
    const std::string name = ReadLastFileName(LastFileRecordPath());
    if (name.empty()) return;
    lastfile1->SetCaption(name);
    lastfile1->Hint = name;
    lastfile1->SetVisible(true);
  } catch (const std::exception&) {
  }
}

void TForm1::WriteLastFileRecord() {
  if (LastFileName.empty()) return;
  try {
    WriteLastFileName(LastFileRecordPath(), LastFileName);
  } catch (const std::exception&) {
  }
}

// The caption may show the name altered ("&" marks an accelerator); the hint
// holds it exactly.
void TForm1::lastfile1Click() {
  OpenDocument(lastfile1->Hint);
}

// ------------------------------------------------------- pages and their status

void TForm1::nxtPExecute() {
  viewing::TurnPage(*mdi, +1);
}

void TForm1::prvPExecute() {
  viewing::TurnPage(*mdi, -1);
}

void TForm1::mdiCurPageNumChanged() {
  viewing::ShowPageStatus(*mdi, status);
}

void TForm1::upMenu(int pageNumber) {
  CopyImage->Caption = viewing::PageCaption("Copy page %d as &image", pageNumber);
  CopyText->Caption = viewing::PageCaption("Copy page %d as &text", pageNumber);
  Save0->Caption = viewing::PageCaption("Save page %d as &bitmap...", pageNumber);
}

void TForm1::Edit1Click() {
  upMenu(mdi->PageNum() + 1);
}

void TForm1::popupPopup() {
  upMenu(mdi->PageNum() + 1);
}

// ------------------------------------------------------------------ magnification

void TForm1::Magnify(TAction* chosen, Magnification magnification) {
  // The mark moves before the control is asked, so it stays even when refused.
  acciones.CheckOnly(chosen);
  viewing::Magnify(*mdi, magnification);
}

void TForm1::Zoom0Execute() {
  Magnify(Zoom0, Magnification::Double);
}

void TForm1::Zoom1Execute() {
  Magnify(Zoom1, Magnification::Whole);
}

void TForm1::Zoom2Execute() {
  Magnify(Zoom2, Magnification::Half);
}

void TForm1::Action1Execute() {
  Magnify(Action1, Magnification::FitWidth);
}

void TForm1::Action2Execute() {
  Magnify(Action2, Magnification::FitHeight);
}

void TForm1::Action3Execute() {
  Magnify(Action3, Magnification::FitWindow);
}

void TForm1::Action4Execute() {
  Magnify(Action4, Magnification::FitText);
}

// ------------------------------------------------------- clipboard, save and print

void TForm1::CopyTextExecute() {
  output::CopyPageText(*mdi);
}

void TForm1::CopyImageExecute() {
  output::CopyPageImage(*mdi);
}

void TForm1::sellAllTxtExecute() {
  output::CopyDocumentText(*mdi, Handle());
}

void TForm1::Save0Execute() {
  if (!output::ChoosePageFile(*mdi, Handle(), save)) return;
  framework::RunOrShowError(Handle(), IDS_FAILED_TO_SAVE, [this] {
    output::SaveSelectedPage(*mdi, Handle(), *Image1, save.FileName);
  });
}

void TForm1::Print0Execute() {
  output::OfferAllPages(*mdi, *PRNT);
  framework::RunOrShowError(Handle(), IDS_FAILED_TO_PRINT,
                            [this] { output::PrintChosenPages(*mdi, Handle(), *PRNT); });
}
