#include "app/main.h"

#include "about/Unit2.h"
#include "app/Icons.h"
#include "framework/Modal.h"
#include "output/Picture.h"
#include "output/PrintDialog.h"

using framework::scAlt;
using framework::scCtrl;
using framework::ShortCut;

TForm1* Form1 = nullptr;

namespace {

const char kAbierto[] = "abierto";  // the commands that need an open document

std::unique_ptr<TMenuItem> Item(const std::string& name, const std::string& caption) {
  return std::make_unique<TMenuItem>(name, caption);
}

std::unique_ptr<TMenuItem> Bound(TAction* action) {
  return std::make_unique<TMenuItem>(action->Name(), "", action);
}

}  // namespace

TForm1::TForm1() {
  const RECT bounds = {199, 144, 199 + 642, 144 + 481};
  CreateHandle("TForm1", "Folirex", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, bounds, nullptr,
               LoadIconA(GetModuleHandleA(nullptr), "MAINICON"));
  CreateImages();
  CreateActions();
  CreateMenus();
  status.Create(Handle(), 25, {100, 300});
  status.SetPanelText(0, "Folirex");

  RECT client;
  GetClientRect(Handle(), &client);
  client.bottom -= status.Height();
  mdi = std::make_unique<imaging::TMiDocView>(Handle(), client);
  mdi->OnCurPageNumChanged = [this] { mdiCurPageNumChanged(); };
  mdi->OnEventError = [](const std::exception& failure) {
    framework::Application->HandleException(failure);
  };

  opend.Title = "Open MDI Document";
  opend.Filter = "MDI Files|*.mdi";
  opend.DefaultExt = "MDI";
  opend.Options = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING;

  save.Title = "Save as bitmap";
  save.Filter = "Bitmap (BMP)|*.BMP";
  save.DefaultExt = "BMP";
  save.Options = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_ENABLESIZING;
  save.BufferSize = 260;

  PRNT = std::make_unique<output::TPrintDialog>();
  Image1 = std::make_unique<output::TImage>();
}

TForm1::~TForm1() {
  // The control goes first: its teardown may still call back into the window.
  mdi.reset();
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::CreateImages() {
  ImageList1.Create(16, 16);
  for (int index = 0; index < kMenuIconCount; ++index) ImageList1.Add(MenuIcon(index));
  MainMenu1.Images = ImageList1.Handle();
  popup.Images = ImageList1.Handle();
}

void TForm1::CreateActions() {
  auto add = [this](const char* name, const char* caption, framework::TShortCut shortCut, int image,
                    const char* category, void (TForm1::*handler)()) {
    TAction* action =
        acciones.Add(std::make_unique<TAction>(name, caption, shortCut, image, category));
    action->OnExecute = [this, handler] { (this->*handler)(); };
    action->Enabled = category[0] == '\0';
    return action;
  };
  Open0 = add("Open0", "&Open...", ShortCut('O', scCtrl), 0, "", &TForm1::Open0Execute);
  Print0 = add("Print0", "&Print...", ShortCut('P', scCtrl), 1, kAbierto, &TForm1::Print0Execute);
  Exit0 = add("Exit0", "&Exit", 0, 2, "", &TForm1::Exit0Execute);
  CopyText = add("CopyText", "Copy page as &text", ShortCut('C', scCtrl | scAlt), -1, kAbierto,
                 &TForm1::CopyTextExecute);
  CopyImage = add("CopyImage", "Copy page as &image", ShortCut('C', scCtrl), -1, kAbierto,
                  &TForm1::CopyImageExecute);
  Save0 = add("Save0", "&Save page as image...", ShortCut('S', scCtrl), 3, kAbierto,
              &TForm1::Save0Execute);
  Zoom0 = add("Zoom0", "200%", ShortCut(VK_F3, scCtrl), -1, kAbierto, &TForm1::Zoom0Execute);
  Zoom1 = add("Zoom1", "100%", ShortCut(VK_F2, scCtrl), -1, kAbierto, &TForm1::Zoom1Execute);
  Zoom2 = add("Zoom2", "50%", ShortCut(VK_F1, scCtrl), -1, kAbierto, &TForm1::Zoom2Execute);
  // Next and previous page get their shortcuts at activation.
  nxtP = add("nxtP", "&Next Page", 0, -1, kAbierto, &TForm1::nxtPExecute);
  prvP = add("prvP", "&Previous page", 0, -1, kAbierto, &TForm1::prvPExecute);
  Action1 = add("Action1", "Fit to width", ShortCut(VK_F4, scCtrl), -1, kAbierto,
                &TForm1::Action1Execute);
  Action2 = add("Action2", "Fit to height", ShortCut(VK_F5, scCtrl), -1, kAbierto,
                &TForm1::Action2Execute);
  Action3 = add("Action3", "Fit to window", ShortCut(VK_F6, scCtrl), -1, kAbierto,
                &TForm1::Action3Execute);
  Action4 =
      add("Action4", "Fit to text", ShortCut(VK_F7, scCtrl), -1, kAbierto, &TForm1::Action4Execute);
  sellAllTxt =
      add("sellAllTxt", "Copy &all document as text", 0, -1, kAbierto, &TForm1::sellAllTxtExecute);
  sellAllTxt->Enabled = true;  // never disabled: it works, or reports, without a document
  Action1->Checked = true;
}

void TForm1::CreateMenus() {
  TMenuItem& bar = MainMenu1.Items();
  File1 = bar.Add(Item("File1", "&File"));
  File1->Add(Bound(Open0));
  // Hidden and disabled for good, yet it carries Ctrl+S: outside the page view
  // it takes that key, so saving by key works only from the view's own menu.
  SaveasText1 = File1->Add(Item("SaveasText1", "&Save as Text"));
  SaveasText1->SetShortCut(ShortCut('S', scCtrl));
  SaveasText1->SetEnabled(false);
  SaveasText1->SetVisible(false);
  File1->Add(Bound(Print0));
  Close1 = File1->Add(Item("Close1", "&Close"));
  Close1->OnClick = [this] { Close1Click(); };
  File1->AddSeparator();
  lastfile1 = File1->Add(Item("lastfile1", "lastfile"));
  lastfile1->SetVisible(false);
  lastfile1->OnClick = [this] { lastfile1Click(); };
  File1->AddSeparator();
  File1->Add(Bound(Exit0));

  Edit1 = bar.Add(Item("Edit1", "&Edit"));
  Edit1->SetVisible(false);
  Edit1->OnClick = [this] { Edit1Click(); };
  TMenuItem* selectAll = Edit1->Add(Bound(sellAllTxt));
  selectAll->SetCaption("Copy &all document as text");
  selectAll->SetShortCut(ShortCut('A', scCtrl));
  for (TAction* action : {CopyText, CopyImage, Save0}) Edit1->Add(Bound(action));

  View1 = bar.Add(Item("View1", "&View"));
  View1->SetVisible(false);
  for (TAction* action : {Zoom2, Zoom1, Zoom0, Action1, Action4, Action2, Action3})
    View1->Add(Bound(action));
  View1->AddSeparator();
  View1->Add(Bound(prvP));
  View1->Add(Bound(nxtP));

  About1 = bar.Add(Item("About1", "&About"));
  AboutFolirex1 = About1->Add(Item("AboutFolirex1", "&About Folirex"));
  AboutFolirex1->OnClick = [this] { AboutFolirex1Click(); };

  TMenuItem& context = popup.Items();
  for (TAction* action : {CopyText, CopyImage, Save0}) context.Add(Bound(action));
  context.AddSeparator();
  context.Add(Bound(Open0));
  context.Add(Bound(Print0));
  context.AddSeparator();
  TMenuItem* zoom = context.Add(Item("Zoom1Item", "&Zoom"));
  zoom->SetImageIndex(4);
  for (TAction* action : {Zoom2, Zoom1, Zoom0, Action1, Action2, Action3, Action4})
    zoom->Add(Bound(action));
  context.Add(Bound(prvP));
  context.Add(Bound(nxtP));
  popup.OnPopup = [this] { popupPopup(); };

  auto report = [](const std::exception& failure) {
    framework::Application->HandleException(failure);
  };
  MainMenu1.OnError = report;
  popup.OnError = report;
  MainMenu1.Attach(Handle());
}

void TForm1::LayoutControls() {
  if (!status.Handle()) return;
  status.Realign();
  RECT client;
  GetClientRect(Handle(), &client);
  client.bottom -= status.Height();
  if (client.bottom < client.top) client.bottom = client.top;
  if (mdi) mdi->SetBounds(client);
}

bool TForm1::IsShortCut(MSG& msg) {
  framework::TShortCut shortCut = framework::ShortCutFromKey(msg.wParam);
  if (mdi && mdi->ContainsFocus()) {
    if (mdi->TranslateAccelerator(msg)) return true;
    if (popup.IsShortCut(shortCut)) return true;
  }
  return MainMenu1.IsShortCut(shortCut);
}

LRESULT TForm1::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (MainMenu1.HandleMessage(Handle(), msg, wParam, lParam, result)) return result;
  if (popup.HandleMessage(Handle(), msg, wParam, lParam, result)) return result;
  switch (msg) {
    case WM_SIZE:
      LayoutControls();
      return 0;
    case WM_SETFOCUS:
      // The page view is the window's only focusable control.
      if (mdi) mdi->SetFocus();
      return 0;
    case WM_CONTEXTMENU: {
      if (!mdi || reinterpret_cast<HWND>(wParam) == Handle() ||
          reinterpret_cast<HWND>(wParam) == status.Handle())
        break;
      int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
      if (x == -1 && y == -1) {  // from the keyboard: open at the view's corner
        POINT corner = {0, 0};
        ClientToScreen(Handle(), &corner);
        x = corner.x;
        y = corner.y;
      }
      popup.Popup(Handle(), x, y);
      return 0;
    }
  }
  return TForm::WndProc(msg, wParam, lParam);
}

void TForm1::ShowError(UINT messageId) {
  framework::ModalUi().ShowMessageBox(Handle(), framework::LoadStr(messageId), "Error",
                                      MB_OK | MB_ICONEXCLAMATION);
}

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

// ------------------------------------------------- opening and closing documents

void TForm1::OpenDocument(const std::string& name) {
  // Print0 leads the document commands; the others follow its state.
  auto setDocumentCommands = [this](bool enabled) {
    Print0->Enabled = enabled;
    Edit1->SetVisible(Print0->Enabled);
    View1->SetVisible(Print0->Enabled);
    for (TAction* action : {CopyText, CopyImage, Save0, nxtP, prvP, Zoom0, Zoom1, Zoom2, Action1,
                            Action2, Action3, Action4})
      action->Enabled = Print0->Enabled;
  };
  setDocumentCommands(false);

  const std::string programName = framework::LoadStr(IDS_PROGRAM_NAME);
  if (name.empty()) {
    SetCaption(programName);
    framework::Application->SetTitle(programName);
    status.SetPanelText(1, "");
    mdi->SetFileName("");
    return;
  }
  // A missing file is not reported: the view keeps what it shows.
  DWORD attributes = GetFileAttributesA(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  LastFileName = name;

  try {
    mdi->SetFileName(name);
    if (mdi->PageCount() == 0) {
      ShowError(IDS_FAILED_TO_OPEN);
      return;
    }
    const std::string caption = programName + " - " + name;
    SetCaption(caption);
    framework::Application->SetTitle(caption);
    status.SetPanelText(1, "Page 1 of " + std::to_string(mdi->PageCount()));
    setDocumentCommands(true);
  } catch (const std::exception&) {
    ShowError(IDS_FAILED_TO_OPEN);
  }
}

void TForm1::Open0Execute() {
  if (opend.Execute(Handle())) OpenDocument(opend.FileName);
}

void TForm1::Close1Click() {
  OpenDocument("");
}

// ------------------------------------------------------------- the command line

std::string ParamStr(const char* commandLine, int index) {
  auto separator = [](char c) {
    unsigned char code = static_cast<unsigned char>(c);
    return code >= 1 && code <= 32;
  };
  const char* p = commandLine ? commandLine : "";
  std::string param;
  for (int i = 0; i <= index; ++i) {
    for (;;) {
      while (separator(*p)) ++p;
      if (p[0] == '"' && p[1] == '"')
        p += 2;  // an empty pair of quotes before an argument is skipped
      else
        break;
    }
    param.clear();
    while (*p && !separator(*p)) {
      if (*p == '"') {
        ++p;
        while (*p && *p != '"') param += *p++;
        if (*p) ++p;
      } else {
        param += *p++;
      }
    }
  }
  return param;
}
