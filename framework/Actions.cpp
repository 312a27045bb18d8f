#include "framework/Actions.h"

#include <utility>

namespace framework {

namespace {

std::string KeyName(WORD key) {
  switch (key) {
    case VK_PRIOR:
      return "PgUp";
    case VK_NEXT:
      return "PgDn";
    case VK_END:
      return "End";
    case VK_HOME:
      return "Home";
    case VK_LEFT:
      return "Left";
    case VK_UP:
      return "Up";
    case VK_RIGHT:
      return "Right";
    case VK_DOWN:
      return "Down";
    case VK_INSERT:
      return "Ins";
    case VK_DELETE:
      return "Del";
    case VK_BACK:
      return "BkSp";
    case VK_TAB:
      return "Tab";
    case VK_RETURN:
      return "Enter";
    case VK_ESCAPE:
      return "Esc";
    case VK_SPACE:
      return "Space";
  }
  if (key >= VK_F1 && key <= VK_F24) return "F" + std::to_string(key - VK_F1 + 1);
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::string(1, char(key));
  return "";
}

}  // namespace

std::string ShortCutToText(TShortCut shortCut) {
  std::string key = KeyName(shortCut & 0xFF);
  if (key.empty()) return "";
  std::string text;
  if (shortCut & scShift) text += "Shift+";
  if (shortCut & scCtrl) text += "Ctrl+";
  if (shortCut & scAlt) text += "Alt+";
  return text + key;
}

TShortCut ShortCutFromKey(WPARAM virtualKey) {
  TShortCut shortCut = static_cast<TShortCut>(virtualKey & 0xFF);
  if (GetKeyState(VK_SHIFT) < 0) shortCut |= scShift;
  if (GetKeyState(VK_CONTROL) < 0) shortCut |= scCtrl;
  if (GetKeyState(VK_MENU) < 0) shortCut |= scAlt;
  return shortCut;
}

TAction::TAction(std::string name, std::string caption, TShortCut shortCut, int imageIndex,
                 std::string category)
    : Caption(std::move(caption)),
      ShortCut(shortCut),
      ImageIndex(imageIndex),
      name_(std::move(name)),
      category_(std::move(category)) {}

void TAction::Execute() {
  if (Enabled && OnExecute) OnExecute();
}

TAction* TActionList::Add(std::unique_ptr<TAction> action) {
  actions_.push_back(std::move(action));
  return actions_.back().get();
}

TAction* TActionList::Find(const std::string& name) const {
  for (auto& action : actions_)
    if (action->Name() == name) return action.get();
  return nullptr;
}

std::vector<TAction*> TActionList::InCategory(const std::string& category) const {
  std::vector<TAction*> found;
  for (auto& action : actions_)
    if (action->Category() == category) found.push_back(action.get());
  return found;
}

void TActionList::CheckOnly(TAction* chosen) {
  for (TAction* action : InCategory(chosen->Category())) action->Checked = action == chosen;
}

}  // namespace framework
