// The menu model. Win32 menus cannot hide an item, so the model keeps every
// item, hidden ones included, and the real menus are built from the visible
// ones: the bar whenever a top-level item changes, a drop-down each time it opens.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/Actions.h"

namespace framework {

class TMenu;

class TMenuItem {
 public:
  explicit TMenuItem(std::string name, std::string caption = "", TAction* action = nullptr);
  TMenuItem(const TMenuItem&) = delete;
  TMenuItem& operator=(const TMenuItem&) = delete;

  const std::string& Name() const { return name_; }
  TAction* Action() const { return action_; }
  TMenuItem* Parent() const { return parent_; }
  const std::vector<std::unique_ptr<TMenuItem>>& Items() const { return items_; }

  TMenuItem* Add(std::unique_ptr<TMenuItem> item);
  TMenuItem* AddSeparator();

  // What the item shows: its own value where it has one, else its action's.
  std::string Caption() const;
  TShortCut ShortCut() const;
  int ImageIndex() const;
  bool Enabled() const;
  bool Checked() const;
  bool Visible() const { return visible_; }
  bool IsSeparator() const { return Caption() == "-"; }

  void SetCaption(const std::string& caption);
  void SetShortCut(TShortCut shortCut);
  void SetImageIndex(int index);
  void SetEnabled(bool enabled);
  void SetVisible(bool visible);

  std::string Hint;
  // A plain item's command, or a submenu's opening handler.
  std::function<void()> OnClick;

  // What a choice from the menu does: the action's command, else OnClick.
  void Click();
  // The first item, depth-first in menu order, hidden and disabled ones
  // included, that carries the shortcut.
  TMenuItem* FindShortCut(TShortCut shortCut);

 private:
  friend class TMenu;
  void Changed();

  std::string name_;
  std::optional<std::string> caption_;
  std::optional<TShortCut> shortCut_;
  std::optional<int> imageIndex_;
  bool enabled_ = true;
  bool visible_ = true;
  TAction* action_;
  TMenuItem* parent_ = nullptr;
  TMenu* owner_ = nullptr;
  std::vector<std::unique_ptr<TMenuItem>> items_;
  HMENU handle_ = nullptr;  // the drop-down of a submenu, once built
  UINT command_ = 0;        // WM_COMMAND id of a command item
};

class TMenu {
 public:
  TMenu();
  virtual ~TMenu();
  TMenu(const TMenu&) = delete;
  TMenu& operator=(const TMenu&) = delete;

  TMenuItem& Items() { return root_; }
  HIMAGELIST Images = nullptr;
  // Reports a failure of an opening handler; the dispatch then goes on.
  std::function<void(const std::exception&)> OnError;

  // The key dispatch: finds the item, clicks every menu above it top-down,
  // then runs it when it and every menu above it are enabled. True when an
  // item carries the key, whether or not anything ran.
  bool IsShortCut(TShortCut shortCut);

  // Window messages the owner forwards; true when handled.
  bool HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

 protected:
  void Populate(TMenuItem& parent, HMENU menu);
  void PopulateTree(TMenuItem& parent, HMENU menu);
  void ForgetHandles(TMenuItem& node);
  TMenuItem* FindCommand(TMenuItem& from, UINT command);
  TMenuItem* FindSubmenu(TMenuItem& from, HMENU menu);
  void RunOpening(TMenuItem& item);
  // The opening handler of the menu itself, which only a context menu has.
  virtual void RunRootOpening();
  virtual void ItemChanged(TMenuItem&) {}
  friend class TMenuItem;

  TMenuItem root_;
};

class TMainMenu : public TMenu {
 public:
  ~TMainMenu() override;
  // Puts the menu bar on a window and keeps it in step with the model.
  void Attach(HWND window);
  HMENU Handle() const { return bar_; }
  void RebuildBar();

 protected:
  void ItemChanged(TMenuItem& item) override;

 private:
  HWND window_ = nullptr;
  HMENU bar_ = nullptr;
};

class TPopupMenu : public TMenu {
 public:
  std::function<void()> OnPopup;
  // Runs the opening handler, then shows the menu at a screen point and runs
  // the chosen command.
  void Popup(HWND owner, int x, int y);

 protected:
  void RunRootOpening() override;
};

}  // namespace framework
