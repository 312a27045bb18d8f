// Printing on the fake control with a printer list of the test's own: the
// dialog's settings before each use, the call to the component, the current
// printer and its entry texts, and the failures.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "output/PrintDialog.h"
#include "output/Printers.h"
#include "tests/support/FormHarness.h"

using output::PrinterEntry;
using testing_support::FormHarness;

namespace {

// The system's printers as the test wants them.
class FakePrinters : public output::PrinterSystem {
 public:
  std::vector<PrinterEntry> listed = {{"PDF", "PDF", ""}, {"Laser", "Laser", ""}};
  std::string defaultPrinter = "PDF";
  std::map<std::string, short> copiesSetting;  // device → dmCopies in its settings
  int listCalls = 0;

  std::vector<PrinterEntry> List() override {
    ++listCalls;
    return listed;
  }
  std::string DefaultPrinter() override { return defaultPrinter; }
  output::PrinterDetails Details(const std::string& device) override {
    output::PrinterDetails details{"winspool", "LPT1:", {}};
    details.deviceMode.resize(sizeof(DEVMODEA));
    auto* mode = reinterpret_cast<DEVMODEA*>(details.deviceMode.data());
    lstrcpynA(reinterpret_cast<char*>(mode->dmDeviceName), device.c_str(), CCHDEVICENAME);
    mode->dmSize = sizeof(DEVMODEA);
    auto copies = copiesSetting.find(device);
    if (copies != copiesSetting.end()) {
      mode->dmFields = DM_COPIES;
      mode->dmCopies = copies->second;
    }
    return details;
  }
};

// What the print dialog was shown with.
struct DialogSeen {
  DWORD flags;
  WORD minPage, maxPage, fromPage, toPage, copies;
  std::string device;
};

std::string DeviceOf(HGLOBAL names) {
  if (!names) return "(none)";
  auto* base = static_cast<const char*>(GlobalLock(names));
  std::string device = base + reinterpret_cast<const DEVNAMES*>(base)->wDeviceOffset;
  GlobalUnlock(names);
  return device;
}

// Replaces the dialog's device names, as picking another printer does.
void PickPrinter(PRINTDLGA& settings, std::string device, std::string port) {
  std::string driver = "winspool";
  size_t size = sizeof(DEVNAMES) + driver.size() + device.size() + port.size() + 3;
  HGLOBAL names = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  auto* base = static_cast<char*>(GlobalLock(names));
  auto* header = reinterpret_cast<DEVNAMES*>(base);
  size_t at = sizeof(DEVNAMES);
  for (auto [text, offset] :
       {std::pair{&driver, &header->wDriverOffset}, std::pair{&device, &header->wDeviceOffset},
        std::pair{&port, &header->wOutputOffset}}) {
    *offset = static_cast<WORD>(at);
    std::memcpy(base + at, text->c_str(), text->size() + 1);
    at += text->size() + 1;
  }
  GlobalUnlock(names);
  GlobalFree(settings.hDevNames);
  settings.hDevNames = names;
  if (settings.hDevMode) {
    GlobalFree(settings.hDevMode);
    settings.hDevMode = nullptr;
  }
}

struct Answer {
  bool confirm = true;
  DWORD rangeFlag = PD_ALLPAGES;
  WORD from = 0, to = 0, copies = 1;
  bool collate = false;
  std::string device, port;  // another printer picked, when not empty
};

class PrintTest : public testing::Test {
 public:
  void SetUp() override {
    h.form->PRNT->Printers.UseSystem(printers);
    Open(5);
  }
  void Open(int pages) {
    h.fake.openDocument(L"C:\\doc.mdi",
                        std::vector<std::wstring>(static_cast<size_t>(pages), L"p"));
  }
  void Expect(const Answer& answer) {
    h.modal.printAnswers.push_back([this, answer](PRINTDLGA& settings) {
      dialogs.push_back({settings.Flags, settings.nMinPage, settings.nMaxPage, settings.nFromPage,
                         settings.nToPage, settings.nCopies, DeviceOf(settings.hDevNames)});
      settings.Flags &= ~static_cast<DWORD>(PD_PAGENUMS | PD_SELECTION | PD_COLLATE);
      settings.Flags |= answer.rangeFlag | (answer.collate ? PD_COLLATE : 0);
      if (answer.from) settings.nFromPage = answer.from;
      if (answer.to) settings.nToPage = answer.to;
      settings.nCopies = answer.copies;
      if (!answer.device.empty()) PickPrinter(settings, answer.device, answer.port);
      return answer.confirm;
    });
  }
  std::vector<std::string> Errors() const {
    std::vector<std::string> texts;
    for (const auto& message : h.modal.messages) {
      EXPECT_EQ(message.caption, "Error");
      EXPECT_EQ(message.type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
      texts.push_back(message.text);
    }
    return texts;
  }
  std::vector<std::string> Printed() const {
    std::vector<std::string> calls;
    for (const auto& line : h.fake.log)
      if (line.rfind("PrintDocument", 0) == 0) calls.push_back(line);
    return calls;
  }

  FormHarness h;
  FakePrinters printers;
  std::vector<DialogSeen> dialogs;
};

using Calls = std::vector<std::string>;

TEST_F(PrintTest, AllPagesOneCopyOnTheDefaultPrinter) {
  Expect({});
  h.form->Print0Execute();
  EXPECT_EQ(Printed(), Calls{"PrintDocument(0,4,1,PDF,0,0,0)"});
  EXPECT_TRUE(h.modal.messages.empty());
}

TEST_F(PrintTest, PagesTwoToThreeInTwoCopies) {
  Expect({true, PD_PAGENUMS, 2, 3, 2, false, "", ""});
  h.form->Print0Execute();
  EXPECT_EQ(Printed(), Calls{"PrintDocument(1,2,2,PDF,0,0,0)"});
}

TEST_F(PrintTest, AOnePageDocument) {
  Open(1);
  Expect({});
  h.form->Print0Execute();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].minPage, 1);
  EXPECT_EQ(dialogs[0].maxPage, 1);
  EXPECT_EQ(dialogs[0].fromPage, 1);
  EXPECT_EQ(dialogs[0].toPage, 1);
  EXPECT_EQ(Printed(), Calls{"PrintDocument(0,0,1,PDF,0,0,0)"});
}

TEST_F(PrintTest, TheDialogsSettingsBeforeEachUse) {
  Expect({true, PD_PAGENUMS, 2, 3, 2, true, "", ""});
  Expect({true, PD_ALLPAGES, 0, 0, 1, false, "", ""});
  Expect({});
  h.form->Print0Execute();
  Open(7);
  h.form->Print0Execute();
  h.form->Print0Execute();
  ASSERT_EQ(dialogs.size(), 3u);

  const DWORD fixed = PD_NOSELECTION | PD_HIDEPRINTTOFILE | PD_NOWARNING;
  const DWORD never = PD_NOPAGENUMS | PD_SHOWHELP | PD_PRINTTOFILE | PD_SELECTION | PD_RETURNDC |
                      PD_RETURNIC | PD_USEDEVMODECOPIESANDCOLLATE;
  struct Row {
    WORD maxPage;
    DWORD rangeAndCollate;
    WORD copies;
  };
  // The bounds are reset to 1..n every time; range kind, collation and copies carry over.
  const Row rows[] = {{5, 0, 1}, {7, PD_PAGENUMS | PD_COLLATE, 2}, {7, 0, 1}};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE("use " + std::to_string(i + 1));
    const DialogSeen& seen = dialogs[i];
    EXPECT_EQ(seen.flags & fixed, fixed);
    EXPECT_EQ(seen.flags & never, 0u);
    EXPECT_EQ(seen.flags & (PD_PAGENUMS | PD_COLLATE), rows[i].rangeAndCollate);
    EXPECT_EQ(seen.minPage, 1);
    EXPECT_EQ(seen.maxPage, rows[i].maxPage);
    EXPECT_EQ(seen.fromPage, 1);
    EXPECT_EQ(seen.toPage, rows[i].maxPage);
    EXPECT_EQ(seen.copies, rows[i].copies);
    EXPECT_EQ(seen.device, "PDF");
  }
  EXPECT_EQ(Printed(), (Calls{"PrintDocument(1,2,2,PDF,0,0,0)", "PrintDocument(0,6,1,PDF,0,0,0)",
                              "PrintDocument(0,6,1,PDF,0,0,0)"}));
  EXPECT_EQ(printers.listCalls, 1);  // the list is read once per run
}

TEST_F(PrintTest, OneCopyInTheDialogTakesTheCopiesOfThePrintersSettings) {
  printers.copiesSetting["Laser"] = 3;
  Expect({true, PD_ALLPAGES, 0, 0, 1, false, "", ""});
  h.form->Print0Execute();
  // The settings travel with the dialog; the driver keeps the count there.
  h.modal.printAnswers.push_back([](PRINTDLGA& settings) {
    PickPrinter(settings, "Laser", "");
    settings.hDevMode = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DEVMODEA));
    auto* mode = static_cast<DEVMODEA*>(GlobalLock(settings.hDevMode));
    mode->dmSize = sizeof(DEVMODEA);
    mode->dmFields = DM_COPIES;
    mode->dmCopies = 4;
    GlobalUnlock(settings.hDevMode);
    settings.nCopies = 1;
    return true;
  });
  h.form->Print0Execute();
  EXPECT_EQ(Printed(),
            (Calls{"PrintDocument(0,4,1,PDF,0,0,0)", "PrintDocument(0,4,4,Laser,0,0,0)"}));
  EXPECT_EQ(h.form->PRNT->Copies, 4);
}

TEST_F(PrintTest, CancelPrintsNothingAndKeepsTheCurrentPrinter) {
  Expect({false, PD_PAGENUMS, 2, 3, 2, false, "Laser", ""});
  Expect({});
  h.form->Print0Execute();
  EXPECT_TRUE(Printed().empty());
  EXPECT_TRUE(h.modal.messages.empty());
  h.form->Print0Execute();
  ASSERT_EQ(dialogs.size(), 2u);
  EXPECT_EQ(dialogs[1].device, "PDF");
  EXPECT_EQ(Printed(), Calls{"PrintDocument(0,4,1,PDF,0,0,0)"});
}

TEST_F(PrintTest, AConfirmedPrinterBecomesCurrentForTheNextUse) {
  Expect({true, PD_ALLPAGES, 0, 0, 1, false, "Laser", "LPT1:"});
  Expect({});
  h.form->Print0Execute();
  h.form->Print0Execute();
  ASSERT_EQ(dialogs.size(), 2u);
  EXPECT_EQ(dialogs[1].device, "Laser");
  EXPECT_EQ(Printed(),
            (Calls{"PrintDocument(0,4,1,Laser,0,0,0)", "PrintDocument(0,4,1,Laser,0,0,0)"}));
  EXPECT_EQ(h.form->PRNT->Printers.Entries().size(), 2u);
}

TEST_F(PrintTest, APrinterTheListLacksIsAddedAsDeviceOnPort) {
  Expect({true, PD_ALLPAGES, 0, 0, 1, false, "New printer", "USB001"});
  Expect({});
  h.form->Print0Execute();
  h.form->Print0Execute();
  EXPECT_EQ(Printed(), (Calls{"PrintDocument(0,4,1,New printer on USB001,0,0,0)",
                              "PrintDocument(0,4,1,New printer on USB001,0,0,0)"}));
  const auto& entries = h.form->PRNT->Printers.Entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[2].text, "New printer on USB001");
  EXPECT_EQ(dialogs.at(1).device, "New printer");
}

TEST_F(PrintTest, PerPortEntriesAreMatchedByDeviceAndPort) {
  printers.listed = output::PerPortEntries("Laser", "LPT1:,LPT2:");
  printers.defaultPrinter = "Laser";
  Expect({true, PD_ALLPAGES, 0, 0, 1, false, "Laser", "LPT2:"});
  Expect({true, PD_ALLPAGES, 0, 0, 1, false, "Laser", "COM1:"});
  h.form->Print0Execute();
  h.form->Print0Execute();
  EXPECT_EQ(Printed(), (Calls{"PrintDocument(0,4,1,Laser on LPT2:,0,0,0)",
                              "PrintDocument(0,4,1,Laser on COM1:,0,0,0)"}));
}

TEST(PrinterEntries, PerPortTextsAreDeviceOnPort) {
  auto entries = output::PerPortEntries("HP LaserJet", "LPT1:, FILE:,");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].text, "HP LaserJet on LPT1:");
  EXPECT_EQ(entries[0].device, "HP LaserJet");
  EXPECT_EQ(entries[0].port, "LPT1:");
  EXPECT_EQ(entries[1].text, "HP LaserJet on FILE:");
}

// Rows: how printing fails, and whether the dialog was shown before it did.
struct FailureRow {
  const char* name;
  void (*arrange)(PrintTest&);
  int dialogsShown;
};

class PrintFailure : public PrintTest, public testing::WithParamInterface<FailureRow> {};

TEST_P(PrintFailure, IsAnsweredWithTheOneMessage) {
  GetParam().arrange(*this);
  Expect({});
  h.form->Print0Execute();
  EXPECT_EQ(Errors(), std::vector<std::string>{"Failed to print document"});
  EXPECT_EQ(h.modal.printCalls, GetParam().dialogsShown);
  EXPECT_TRUE(Printed().size() <= 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PrintFailure,
    testing::Values(
        FailureRow{"NoPrinterInstalled", [](PrintTest& t) { t.printers.listed.clear(); }, 0},
        FailureRow{"NoDefaultPrinter", [](PrintTest& t) { t.printers.defaultPrinter.clear(); }, 0},
        FailureRow{"DefaultPrinterNotListed",
                   [](PrintTest& t) { t.printers.defaultPrinter = "Gone"; }, 0},
        FailureRow{"NoDocumentObject",
                   [](PrintTest& t) { t.h.fake.documentObject = fakes::DocumentObjectKind::Null; },
                   0},
        FailureRow{
            "NoIDocumentObject",
            [](PrintTest& t) { t.h.fake.documentObject = fakes::DocumentObjectKind::DispatchOnly; },
            0},
        FailureRow{"ComponentRefusesTheJob",
                   [](PrintTest& t) {
                     t.h.fake.fail["PrintDocument"] = {E_FAIL, L"Printer offline"};
                   },
                   1}),
    [](const testing::TestParamInfo<FailureRow>& info) { return std::string(info.param.name); });

TEST_F(PrintTest, APageCountFailureReachesTheDefaultReport) {
  h.fake.fail["PageCount.get"] = {E_FAIL, L"No count"};
  Expect({});
  EXPECT_THROW(h.form->Print0Execute(), std::exception);
  EXPECT_EQ(h.modal.printCalls, 0);
  EXPECT_TRUE(h.modal.messages.empty());
}

}  // namespace

namespace {

// The system's own printers (CUPS's PDF printer under ./test): listed by name
// at level 4, the default among them, and its driver and settings readable.
TEST(SystemPrinters, ListTheDefaultPrinterByNameWithItsSettings) {
  output::PrinterSystem& system = output::SystemPrinters();
  std::vector<PrinterEntry> entries = system.List();
  if (entries.empty()) GTEST_SKIP() << "no printer installed";
  std::string name = system.DefaultPrinter();
  ASSERT_FALSE(name.empty());
  auto found = std::find_if(entries.begin(), entries.end(),
                            [&](const PrinterEntry& entry) { return entry.device == name; });
  ASSERT_NE(found, entries.end());
  EXPECT_EQ(found->text, name);
  EXPECT_EQ(found->port, "");
  output::PrinterDetails details = system.Details(name);
  EXPECT_FALSE(details.driver.empty());
  ASSERT_GE(details.deviceMode.size(), sizeof(DEVMODEA));
  auto* mode = reinterpret_cast<const DEVMODEA*>(details.deviceMode.data());
  EXPECT_EQ(name.compare(0, CCHDEVICENAME - 1, reinterpret_cast<const char*>(mode->dmDeviceName)),
            0);
}

}  // namespace
