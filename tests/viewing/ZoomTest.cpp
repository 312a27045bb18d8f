// The seven magnification commands: one check mark, the values sent, and which
// refusals are shown.
#include <gtest/gtest.h>

#include "tests/support/FormHarness.h"

using testing_support::FormHarness;
using testing_support::TempDir;
using testing_support::Wide;

namespace {

class ZoomTest : public testing::Test {
 protected:
  FormHarness h;
  TempDir dir;
  void SetUp() override {
    std::string name = dir.write("doc.mdi", "x");
    h.fake.files[Wide(name)] = {L"1", L"2"};
    h.form->OpenDocument(name);
    h.form->CommandLine = "Folirex.exe";
    h.form->FormActivate();
    h.fake.log.clear();
  }
  std::vector<TAction*> Seven() {
    TForm1& f = *h.form;
    return {f.Zoom0, f.Zoom1, f.Zoom2, f.Action1, f.Action2, f.Action3, f.Action4};
  }
  std::string Checked() {
    std::string names;
    for (TAction* action : Seven())
      if (action->Checked) names += action->Name() + " ";
    return names;
  }
};

struct Command {
  WORD key;
  const char* action;
  const char* call;
};

const Command kCommands[] = {
    {VK_F3, "Zoom0", "SetScale(2,2)"},     {VK_F2, "Zoom1", "SetScale(1,1)"},
    {VK_F1, "Zoom2", "SetScale(0.5,0.5)"}, {VK_F4, "Action1", "FitMode=1"},
    {VK_F5, "Action2", "FitMode=2"},       {VK_F6, "Action3", "FitMode=3"},
    {VK_F7, "Action4", "FitMode=4"},
};

TEST_F(ZoomTest, StartsWithFitToWidthChecked) {
  FormHarness fresh;
  EXPECT_EQ(
      [&] {
        std::string names;
        for (auto& a : fresh.form->acciones.Actions())
          if (a->Checked) names += a->Name();
        return names;
      }(),
      "Action1");
}

TEST_F(ZoomTest, EachCommandMovesTheMarkAndSendsItsValue) {
  for (const Command& command : kCommands) {
    h.fake.log.clear();
    ASSERT_TRUE(h.PressKey(command.key, true)) << command.action;
    EXPECT_EQ(Checked(), std::string(command.action) + " ") << command.action;
    EXPECT_EQ(h.fake.log, (std::vector<std::string>{command.call})) << command.action;
  }
  EXPECT_TRUE(h.modal.messages.empty());
}

TEST_F(ZoomTest, TheCheckedCommandSendsItsCallAgain) {
  h.form->Action1Execute();
  h.form->Action1Execute();
  h.form->Zoom0Execute();
  h.form->Zoom0Execute();
  EXPECT_EQ(h.fake.log,
            (std::vector<std::string>{"FitMode=1", "FitMode=1", "SetScale(2,2)", "SetScale(2,2)"}));
}

TEST_F(ZoomTest, ARefusedFitIsSilentWithTheNewMark) {
  h.fake.fail["FitMode.put"] = {E_INVALIDARG, L"No such fit"};
  h.form->Action2Execute();
  EXPECT_EQ(Checked(), "Action2 ");
  EXPECT_TRUE(h.modal.messages.empty());
  EXPECT_TRUE(h.modal.beeps.empty());
}

TEST_F(ZoomTest, ARefusedScaleIsShownWithItsTextAndTheNewMark) {
  h.fake.fail["SetScale"] = {E_FAIL, L"Scale out of reach"};
  ASSERT_TRUE(h.PressKey(VK_F3, true));
  EXPECT_EQ(Checked(), "Zoom0 ");
  ASSERT_EQ(h.modal.messages.size(), 1u);
  EXPECT_EQ(h.modal.messages[0].text, "Scale out of reach.");
  EXPECT_EQ(h.modal.messages[0].caption, "Folirex") << "the title the activation set";
  EXPECT_EQ(h.modal.messages[0].type, UINT(MB_OK | MB_ICONSTOP));
}

TEST_F(ZoomTest, ViewMenuAndZoomSubmenuShowTheSameMarks) {
  h.form->Action4Execute();
  auto marked = [&](framework::TMenuItem& menu) {
    std::vector<std::string> names;
    for (auto& item : menu.Items())
      if (item->Checked()) names.push_back(item->Caption());
    return names;
  };
  framework::TMenuItem* zoom = nullptr;
  for (auto& item : h.form->popup.Items().Items())
    if (item->Caption() == "&Zoom") zoom = item.get();
  ASSERT_NE(zoom, nullptr);
  EXPECT_EQ(marked(*h.form->View1), (std::vector<std::string>{"Fit to text"}));
  EXPECT_EQ(marked(*zoom), (std::vector<std::string>{"Fit to text"}));
}

TEST_F(ZoomTest, WithoutADocumentTheKeysRunNothing) {
  h.form->Close1Click();
  h.fake.log.clear();
  for (const Command& command : kCommands) EXPECT_TRUE(h.PressKey(command.key, true));
  EXPECT_TRUE(h.fake.log.empty());
  EXPECT_EQ(Checked(), "Action1 ");
}

}  // namespace
