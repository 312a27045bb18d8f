// The main window `Form1`: the page-view control, its menus, the command table,
// the status bar and the dialogs, with every handler of the program's behaviour.
// The window and its keys are in main.cpp, the command table and the menus in
// Commands.cpp, the handlers in Handlers.cpp: each a few lines that open, close
// and remember documents here, or call viewing/ to page and magnify and output/
// to copy, save and print.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "framework/Actions.h"
#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "imaging/TMiDocView.h"
#include "viewing/Magnification.h"

namespace output {
class TPrintDialog;
class TImage;
}  // namespace output

using framework::TAction;
using framework::TMenuItem;

class TForm1 : public framework::TForm {
 public:
  TForm1();
  ~TForm1() override;

  // Components, as placed on the window.
  std::unique_ptr<imaging::TMiDocView> mdi;
  framework::TStatusBar status;
  framework::TActionList acciones;
  framework::TMainMenu MainMenu1;
  framework::TPopupMenu popup;
  framework::TImageList ImageList1;
  framework::TFileDialog opend{framework::TFileDialog::Open};
  framework::TFileDialog save{framework::TFileDialog::Save};
  std::unique_ptr<output::TPrintDialog> PRNT;
  std::unique_ptr<output::TImage> Image1;

  // The command table.
  TAction* Open0;
  TAction* Print0;
  TAction* Exit0;
  TAction* CopyText;
  TAction* CopyImage;
  TAction* Save0;
  TAction* Zoom0;
  TAction* Zoom1;
  TAction* Zoom2;
  TAction* nxtP;
  TAction* prvP;
  TAction* Action1;
  TAction* Action2;
  TAction* Action3;
  TAction* Action4;
  TAction* sellAllTxt;

  // Menu items the behaviour refers to by name.
  TMenuItem* File1;
  TMenuItem* SaveasText1;
  TMenuItem* Close1;
  TMenuItem* lastfile1;
  TMenuItem* Edit1;
  TMenuItem* View1;
  TMenuItem* About1;
  TMenuItem* AboutFolirex1;

  // The name of the last document whose file existed when it was opened.
  std::string LastFileName;
  // The process's command line, as the activation steps read it.
  std::string CommandLine = GetCommandLineA();

  // Start-up, activation and shut-down.
  void FormActivate();
  void FormClose();
  void Exit0Execute();

  // Opening and closing documents.
  void OpenDocument(const std::string& name);
  void Open0Execute();
  void Close1Click();

  // The last-file record.
  void lastfile1Click();
  void ReadLastFileRecord();
  void WriteLastFileRecord();

  // The About box.
  void AboutFolirex1Click();

  // Page navigation and the page status.
  void nxtPExecute();
  void prvPExecute();
  void mdiCurPageNumChanged();
  void upMenu(int pageNumber);
  void Edit1Click();
  void popupPopup();

  // Magnification.
  void Zoom0Execute();
  void Zoom1Execute();
  void Zoom2Execute();
  void Action1Execute();
  void Action2Execute();
  void Action3Execute();
  void Action4Execute();

  // Clipboard, save and print.
  void CopyTextExecute();
  void CopyImageExecute();
  void sellAllTxtExecute();
  void Save0Execute();
  void Print0Execute();

  bool IsShortCut(MSG& msg) override;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void Activate() override { FormActivate(); }
  void DoClose() override { FormClose(); }

 private:
  void CreateActions();
  void CreateMenus();
  void CreateImages();
  void LayoutControls();
  // The steps of opening and closing a document, and the caption and task-bar text.
  void LoadDocument(const std::string& name);
  void CloseDocument();
  void ShowTitle(const std::string& title);
  // Enables or disables the document commands and shows or hides their menus.
  void SetDocumentCommands(bool enabled);
  // Marks `chosen` alone among the magnification commands, then asks the view.
  void Magnify(TAction* chosen, viewing::Magnification magnification);

  bool commandLineOpened_ = false;
};

extern TForm1* Form1;

// The program's string resources.
enum : UINT {
  IDS_PROGRAM_NAME = 1,
  IDS_FAILED_TO_OPEN = 2,
  IDS_FAILED_TO_PRINT = 3,
  IDS_FAILED_TO_SAVE = 4,
};

// The command line split as the program splits it: characters 1 to 32 separate
// arguments, double quotes group and are dropped, no escapes. Argument 0 is
// the program itself.
std::string ParamStr(const char* commandLine, int index);
