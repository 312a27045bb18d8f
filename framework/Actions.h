// The command table: named actions with caption, shortcut, icon, enabled and
// checked state and a handler. Menu items bound to an action show its state.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace framework {

// A key with its modifiers, packed as virtual key | scShift | scCtrl | scAlt.
using TShortCut = WORD;
enum : TShortCut { scNone = 0, scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000 };

constexpr TShortCut ShortCut(WORD virtualKey, TShortCut modifiers) {
  return static_cast<TShortCut>(virtualKey | modifiers);
}
// The text a menu shows beside a caption: "Ctrl+O", "Ctrl+Alt+C", "Ctrl+PgDn".
std::string ShortCutToText(TShortCut shortCut);
// The shortcut a key message stands for, with the modifiers held right now.
TShortCut ShortCutFromKey(WPARAM virtualKey);

class TAction {
 public:
  TAction(std::string name, std::string caption, TShortCut shortCut = scNone, int imageIndex = -1,
          std::string category = "");

  const std::string& Name() const { return name_; }
  const std::string& Category() const { return category_; }

  std::string Caption;
  TShortCut ShortCut;
  int ImageIndex;
  bool Enabled = true;
  bool Checked = false;
  std::function<void()> OnExecute;

  // Runs the handler when the action is enabled; failures propagate to the caller.
  void Execute();

 private:
  std::string name_;
  std::string category_;
};

class TActionList {
 public:
  TAction* Add(std::unique_ptr<TAction> action);
  TAction* Find(const std::string& name) const;
  // The actions of a category, in the order they were added.
  std::vector<TAction*> InCategory(const std::string& category) const;
  // Checks `chosen` and unchecks every other action of its category.
  void CheckOnly(TAction* chosen);
  const std::vector<std::unique_ptr<TAction>>& Actions() const { return actions_; }

 private:
  std::vector<std::unique_ptr<TAction>> actions_;
};

}  // namespace framework
