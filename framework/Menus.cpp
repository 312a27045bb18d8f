#include "framework/Menus.h"

#include <utility>

namespace framework {

namespace {

UINT NextCommandId() {
  static UINT next = 1000;
  return next++;
}

void ClearMenu(HMENU menu) {
  // RemoveMenu, not DeleteMenu: the drop-downs of submenus are kept and reused.
  while (GetMenuItemCount(menu) > 0) RemoveMenu(menu, 0, MF_BYPOSITION);
}

}  // namespace

TMenuItem::TMenuItem(std::string name, std::string caption, TAction* action)
    : name_(std::move(name)), action_(action) {
  if (!action_ || !caption.empty()) caption_ = std::move(caption);
  command_ = NextCommandId();
}

TMenuItem* TMenuItem::Add(std::unique_ptr<TMenuItem> item) {
  item->parent_ = this;
  // Owners flow down: a branch built before it is attached learns its menu here.
  std::function<void(TMenuItem&)> adopt = [&](TMenuItem& node) {
    node.owner_ = owner_;
    for (auto& child : node.items_) adopt(*child);
  };
  adopt(*item);
  items_.push_back(std::move(item));
  return items_.back().get();
}

TMenuItem* TMenuItem::AddSeparator() {
  return Add(std::make_unique<TMenuItem>("", "-"));
}

std::string TMenuItem::Caption() const {
  if (caption_) return *caption_;
  return action_ ? action_->Caption : std::string();
}

TShortCut TMenuItem::ShortCut() const {
  if (shortCut_) return *shortCut_;
  return action_ ? action_->ShortCut : TShortCut(scNone);
}

int TMenuItem::ImageIndex() const {
  if (imageIndex_) return *imageIndex_;
  return action_ ? action_->ImageIndex : -1;
}

bool TMenuItem::Enabled() const {
  return action_ ? action_->Enabled : enabled_;
}

bool TMenuItem::Checked() const {
  return action_ && action_->Checked;
}

void TMenuItem::SetCaption(const std::string& caption) {
  caption_ = caption;
  Changed();
}

void TMenuItem::SetShortCut(TShortCut shortCut) {
  shortCut_ = shortCut;
  Changed();
}

void TMenuItem::SetImageIndex(int index) {
  imageIndex_ = index;
  Changed();
}

void TMenuItem::SetEnabled(bool enabled) {
  if (action_)
    action_->Enabled = enabled;
  else
    enabled_ = enabled;
  Changed();
}

void TMenuItem::SetVisible(bool visible) {
  visible_ = visible;
  Changed();
}

void TMenuItem::Changed() {
  if (owner_) owner_->ItemChanged(*this);
}

void TMenuItem::Click() {
  if (action_)
    action_->Execute();
  else if (OnClick)
    OnClick();
}

TMenuItem* TMenuItem::FindShortCut(TShortCut shortCut) {
  for (auto& item : items_) {
    if (item->ShortCut() == shortCut) return item.get();
    if (TMenuItem* found = item->FindShortCut(shortCut)) return found;
  }
  return nullptr;
}

TMenu::TMenu() : root_("") {
  root_.owner_ = this;
}

TMenu::~TMenu() = default;

void TMenu::RunOpening(TMenuItem& item) {
  if (!item.OnClick) return;
  try {
    item.OnClick();
  } catch (const std::exception& failure) {
    if (OnError) OnError(failure);
  }
}

void TMenu::RunRootOpening() {}

bool TMenu::IsShortCut(TShortCut shortCut) {
  if (shortCut == scNone) return false;
  TMenuItem* item = root_.FindShortCut(shortCut);
  if (!item) return false;
  std::vector<TMenuItem*> above;
  for (TMenuItem* p = item->Parent(); p && p != &root_; p = p->Parent())
    above.insert(above.begin(), p);
  RunRootOpening();
  bool enabled = item->Enabled();
  for (TMenuItem* menu : above) {
    RunOpening(*menu);
    enabled = enabled && menu->Enabled();
  }
  if (enabled) item->Click();
  return true;
}

void TMenu::Populate(TMenuItem& parent, HMENU menu) {
  ClearMenu(menu);
  for (auto& child : parent.items_) {
    TMenuItem& item = *child;
    if (!item.Visible()) continue;
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    if (item.IsSeparator()) {
      info.fMask = MIIM_FTYPE;
      info.fType = MFT_SEPARATOR;
      InsertMenuItemA(menu, GetMenuItemCount(menu), TRUE, &info);
      continue;
    }
    std::string text = item.Caption();
    std::string keys = ShortCutToText(item.ShortCut());
    if (!keys.empty()) text += "\t" + keys;
    info.fMask = MIIM_STRING | MIIM_STATE | MIIM_ID | MIIM_DATA;
    info.dwTypeData = text.data();
    info.fState = (item.Enabled() ? MFS_ENABLED : MFS_DISABLED) |
                  (item.Checked() ? MFS_CHECKED : MFS_UNCHECKED);
    info.wID = item.command_;
    info.dwItemData = reinterpret_cast<ULONG_PTR>(&item);
    if (Images && item.ImageIndex() >= 0) {
      info.fMask |= MIIM_BITMAP;
      info.hbmpItem = HBMMENU_CALLBACK;
    }
    if (!item.items_.empty()) {
      if (!item.handle_) item.handle_ = CreatePopupMenu();
      info.fMask |= MIIM_SUBMENU;
      info.hSubMenu = item.handle_;
    }
    InsertMenuItemA(menu, GetMenuItemCount(menu), TRUE, &info);
  }
}

void TMenu::PopulateTree(TMenuItem& parent, HMENU menu) {
  Populate(parent, menu);
  for (auto& child : parent.items_)
    if (child->handle_ && child->Visible()) PopulateTree(*child, child->handle_);
}

void TMenu::ForgetHandles(TMenuItem& node) {
  node.handle_ = nullptr;
  for (auto& child : node.items_) ForgetHandles(*child);
}

TMenuItem* TMenu::FindCommand(TMenuItem& from, UINT command) {
  for (auto& item : from.items_) {
    if (item->command_ == command) return item.get();
    if (TMenuItem* found = FindCommand(*item, command)) return found;
  }
  return nullptr;
}

TMenuItem* TMenu::FindSubmenu(TMenuItem& from, HMENU menu) {
  for (auto& item : from.items_) {
    if (item->handle_ == menu) return item.get();
    if (TMenuItem* found = FindSubmenu(*item, menu)) return found;
  }
  return nullptr;
}

bool TMenu::HandleMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_INITMENUPOPUP: {
      TMenuItem* item = FindSubmenu(root_, reinterpret_cast<HMENU>(wParam));
      if (!item) return false;
      RunOpening(*item);
      Populate(*item, item->handle_);
      result = 0;
      return true;
    }
    case WM_COMMAND: {
      if (HIWORD(wParam) != 0 || lParam != 0) return false;
      TMenuItem* item = FindCommand(root_, LOWORD(wParam));
      if (!item) return false;
      result = 0;
      item->Click();
      return true;
    }
    case WM_MEASUREITEM: {
      auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (measure->CtlType != ODT_MENU || !Images) return false;
      auto* item = reinterpret_cast<TMenuItem*>(measure->itemData);
      if (!item || item->owner_ != this) return false;
      int cx = 16, cy = 16;
      ImageList_GetIconSize(Images, &cx, &cy);
      measure->itemWidth = cx;
      measure->itemHeight = cy;
      result = TRUE;
      return true;
    }
    case WM_DRAWITEM: {
      auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      if (draw->CtlType != ODT_MENU || !Images) return false;
      auto* item = reinterpret_cast<TMenuItem*>(draw->itemData);
      if (!item || item->owner_ != this) return false;
      UINT style = ILD_TRANSPARENT | ((draw->itemState & ODS_DISABLED) ? ILD_BLEND50 : 0);
      ImageList_Draw(Images, item->ImageIndex(), draw->hDC, draw->rcItem.left, draw->rcItem.top,
                     style);
      result = TRUE;
      return true;
    }
  }
  return false;
}

TMainMenu::~TMainMenu() {
  if (bar_ && !window_) DestroyMenu(bar_);
}

void TMainMenu::Attach(HWND window) {
  if (!bar_) bar_ = CreateMenu();
  window_ = window;
  RebuildBar();
  SetMenu(window, bar_);
}

void TMainMenu::RebuildBar() {
  if (!bar_) return;
  Populate(root_, bar_);
  if (window_) DrawMenuBar(window_);
}

void TMainMenu::ItemChanged(TMenuItem& item) {
  if (item.Parent() == &root_) RebuildBar();
}

void TPopupMenu::RunRootOpening() {
  if (!OnPopup) return;
  try {
    OnPopup();
  } catch (const std::exception& failure) {
    if (OnError) OnError(failure);
  }
}

void TPopupMenu::Popup(HWND owner, int x, int y) {
  RunRootOpening();
  HMENU menu = CreatePopupMenu();
  PopulateTree(root_, menu);
  UINT command = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, 0,
                                owner, nullptr);
  // DestroyMenu takes the drop-downs of submenus with it; forget them.
  DestroyMenu(menu);
  ForgetHandles(root_);
  if (TMenuItem* item = command ? FindCommand(root_, command) : nullptr) item->Click();
}

}  // namespace framework
