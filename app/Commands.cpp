// The command table and the menus built from it. Each action's category names
// its group, and every list of actions below is a category's: the document
// commands are the actions with a category, the page commands head the Edit
// menu and the context menu, the magnification commands fill the View menu and
// the Zoom submenu and share one check mark.
#include <algorithm>
#include <vector>

#include "app/Icons.h"
#include "app/main.h"

using framework::scAlt;
using framework::scCtrl;
using framework::ShortCut;

namespace {

const char kAlways[] = "";  // available with or without a document
const char kPrinting[] = "printing";
const char kPage[] = "page";  // the current page's commands, captions numbered on opening a menu
const char kMagnification[] = "magnification";
const char kPaging[] = "paging";

std::unique_ptr<TMenuItem> Item(const std::string& name, const std::string& caption) {
  return std::make_unique<TMenuItem>(name, caption);
}

std::unique_ptr<TMenuItem> Bound(TAction* action) {
  return std::make_unique<TMenuItem>(action->Name(), "", action);
}

void AddBound(TMenuItem& menu, const std::vector<TAction*>& actions) {
  for (TAction* action : actions) menu.Add(Bound(action));
}

// The magnification commands in the order of their keys, Ctrl+F1 to Ctrl+F7,
// as the Zoom submenu lists them; the View menu lists them as the table does.
std::vector<TAction*> ByShortCut(std::vector<TAction*> actions) {
  std::stable_sort(actions.begin(), actions.end(),
                   [](TAction* a, TAction* b) { return a->ShortCut < b->ShortCut; });
  return actions;
}

}  // namespace

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
    action->Enabled = action->Category().empty();  // no document needed
    return action;
  };
  Open0 = add("Open0", "&Open...", ShortCut('O', scCtrl), 0, kAlways, &TForm1::Open0Execute);
  Print0 = add("Print0", "&Print...", ShortCut('P', scCtrl), 1, kPrinting, &TForm1::Print0Execute);
  Exit0 = add("Exit0", "&Exit", 0, 2, kAlways, &TForm1::Exit0Execute);
  CopyText = add("CopyText", "Copy page as &text", ShortCut('C', scCtrl | scAlt), -1, kPage,
                 &TForm1::CopyTextExecute);
  CopyImage = add("CopyImage", "Copy page as &image", ShortCut('C', scCtrl), -1, kPage,
                  &TForm1::CopyImageExecute);
  Save0 = add("Save0", "&Save page as image...", ShortCut('S', scCtrl), 3, kPage,
              &TForm1::Save0Execute);
  Zoom2 = add("Zoom2", "50%", ShortCut(VK_F1, scCtrl), -1, kMagnification, &TForm1::Zoom2Execute);
  Zoom1 = add("Zoom1", "100%", ShortCut(VK_F2, scCtrl), -1, kMagnification, &TForm1::Zoom1Execute);
  Zoom0 = add("Zoom0", "200%", ShortCut(VK_F3, scCtrl), -1, kMagnification, &TForm1::Zoom0Execute);
  Action1 = add("Action1", "Fit to width", ShortCut(VK_F4, scCtrl), -1, kMagnification,
                &TForm1::Action1Execute);
  Action4 = add("Action4", "Fit to text", ShortCut(VK_F7, scCtrl), -1, kMagnification,
                &TForm1::Action4Execute);
  Action2 = add("Action2", "Fit to height", ShortCut(VK_F5, scCtrl), -1, kMagnification,
                &TForm1::Action2Execute);
  Action3 = add("Action3", "Fit to window", ShortCut(VK_F6, scCtrl), -1, kMagnification,
                &TForm1::Action3Execute);
  // Previous and next page get their shortcuts at activation.
  prvP = add("prvP", "&Previous page", 0, -1, kPaging, &TForm1::prvPExecute);
  nxtP = add("nxtP", "&Next Page", 0, -1, kPaging, &TForm1::nxtPExecute);
  // It works, or reports, without a document.
  sellAllTxt =
      add("sellAllTxt", "Copy &all document as text", 0, -1, kAlways, &TForm1::sellAllTxtExecute);
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
  AddBound(*Edit1, acciones.InCategory(kPage));

  View1 = bar.Add(Item("View1", "&View"));
  View1->SetVisible(false);
  AddBound(*View1, acciones.InCategory(kMagnification));
  View1->AddSeparator();
  AddBound(*View1, acciones.InCategory(kPaging));

  About1 = bar.Add(Item("About1", "&About"));
  AboutFolirex1 = About1->Add(Item("AboutFolirex1", "&About Folirex"));
  AboutFolirex1->OnClick = [this] { AboutFolirex1Click(); };

  TMenuItem& context = popup.Items();
  AddBound(context, acciones.InCategory(kPage));
  context.AddSeparator();
  context.Add(Bound(Open0));
  context.Add(Bound(Print0));
  context.AddSeparator();
  TMenuItem* zoom = context.Add(Item("Zoom1Item", "&Zoom"));
  zoom->SetImageIndex(4);
  AddBound(*zoom, ByShortCut(acciones.InCategory(kMagnification)));
  AddBound(context, acciones.InCategory(kPaging));
  popup.OnPopup = [this] { popupPopup(); };

  auto report = [](const std::exception& failure) {
    framework::Application->HandleException(failure);
  };
  MainMenu1.OnError = report;
  popup.OnError = report;
  MainMenu1.Attach(Handle());
}

void TForm1::SetDocumentCommands(bool enabled) {
  // Print0 leads the document commands; the others follow its state.
  Print0->Enabled = enabled;
  Edit1->SetVisible(Print0->Enabled);
  View1->SetVisible(Print0->Enabled);
  for (auto& action : acciones.Actions())
    if (!action->Category().empty()) action->Enabled = Print0->Enabled;
}
