#include "output/PrintDialog.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "framework/Handles.h"
#include "framework/Modal.h"

namespace output {

namespace {

struct DeviceNames {
  std::string driver, device, port;
};

DeviceNames ReadDeviceNames(HGLOBAL block) {
  if (!block) throw framework::Exception("The print dialog named no printer");
  const SIZE_T size = GlobalSize(block);
  framework::GlobalLocked<char> locked(block);
  const char* base = locked.get();
  auto at = [&](WORD offset) {
    if (offset >= size) return std::string();
    return std::string(base + offset, strnlen(base + offset, size - offset));
  };
  const auto* names = reinterpret_cast<const DEVNAMES*>(base);
  return {at(names->wDriverOffset), at(names->wDeviceOffset), at(names->wOutputOffset)};
}

framework::GlobalMemory MakeDeviceNames(const DeviceNames& names) {
  const size_t header = sizeof(DEVNAMES);
  const size_t size = header + names.driver.size() + names.device.size() + names.port.size() + 3;
  if (size > 0xFFFF) throw framework::Exception("Printer name too long");
  framework::GlobalMemory block = framework::AllocateGlobal(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  {
    framework::GlobalLocked<char> locked(block.get());
    char* base = locked.get();
    auto* header_ = reinterpret_cast<DEVNAMES*>(base);
    size_t offset = header;
    auto put = [&](const std::string& text) {
      std::memcpy(base + offset, text.c_str(), text.size() + 1);
      WORD at = static_cast<WORD>(offset);
      offset += text.size() + 1;
      return at;
    };
    header_->wDriverOffset = put(names.driver);
    header_->wDeviceOffset = put(names.device);
    header_->wOutputOffset = put(names.port);
    header_->wDefault = 0;
  }
  return block;
}

framework::GlobalMemory MakeDeviceMode(const std::vector<BYTE>& mode) {
  framework::GlobalMemory block =
      framework::AllocateGlobal(GMEM_MOVEABLE | GMEM_ZEROINIT, mode.size());
  {
    framework::GlobalLocked<BYTE> locked(block.get());
    std::memcpy(locked.get(), mode.data(), mode.size());
  }
  return block;
}

// The copies a printer's settings ask for; 1 when they say nothing.
int CopiesOf(HGLOBAL deviceMode) {
  if (!deviceMode) return 1;
  const SIZE_T size = GlobalSize(deviceMode);
  if (size < offsetof(DEVMODEA, dmCopies) + sizeof(short)) return 1;
  framework::GlobalLocked<DEVMODEA> mode(deviceMode);
  if (!(mode.get()->dmFields & DM_COPIES) || mode.get()->dmCopies < 1) return 1;
  return mode.get()->dmCopies;
}

bool SameName(const std::string& a, const std::string& b) {
  return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

WORD PageNumber(int page) {
  return static_cast<WORD>(std::clamp(page, 0, 0xFFFF));
}

}  // namespace

void TPrintDialog::FreeDevice() {
  devMode_.reset();
  devNames_.reset();
}

// The dialog opens on the current printer. Settings kept from an earlier use
// stay when they are that printer's; a cancelled dialog may have left another
// printer's behind, and those are dropped.
void TPrintDialog::PrepareDevice(const PrinterEntry& printer) {
  if (devNames_) {
    DeviceNames names = ReadDeviceNames(devNames_.get());
    if (SameName(names.device, printer.device) &&
        (printer.port.empty() || SameName(names.port, printer.port)))
      return;
  }
  FreeDevice();
  PrinterDetails details = Printers.System().Details(printer.device);
  devNames_ = MakeDeviceNames({details.driver.empty() ? "winspool" : details.driver, printer.device,
                               printer.port.empty() ? details.port : printer.port});
  if (!details.deviceMode.empty()) devMode_ = MakeDeviceMode(details.deviceMode);
}

bool TPrintDialog::Execute(HWND owner) {
  PrepareDevice(Printers.Current());

  PRINTDLGA settings{};
  settings.lStructSize = sizeof settings;
  settings.hwndOwner = owner;
  settings.hDevMode = devMode_.get();
  settings.hDevNames = devNames_.get();
  DWORD range = PrintRange == prPageNums    ? PD_PAGENUMS
                : PrintRange == prSelection ? PD_SELECTION
                                            : PD_ALLPAGES;
  settings.Flags = Options | range | (Collate ? PD_COLLATE : 0);
  settings.nMinPage = PageNumber(MinPage);
  settings.nMaxPage = PageNumber(MaxPage);
  settings.nFromPage = PageNumber(FromPage);
  settings.nToPage = PageNumber(ToPage);
  settings.nCopies = static_cast<WORD>(std::clamp(Copies, 1, 0xFFFF));

  bool confirmed = framework::ModalUi().ShowPrintDialog(settings);
  // The dialog may have replaced the blocks, freeing ours; whatever it returns is ours.
  devMode_.release();
  devMode_.reset(settings.hDevMode);
  devNames_.release();
  devNames_.reset(settings.hDevNames);
  if (!confirmed) {
    if (DWORD error = framework::ModalUi().CommonDialogError())
      throw framework::Exception(framework::commonDialogMessage(error));
    return false;
  }

  FromPage = settings.nFromPage;
  ToPage = settings.nToPage;
  Collate = (settings.Flags & PD_COLLATE) != 0;
  PrintRange = (settings.Flags & PD_PAGENUMS)    ? prPageNums
               : (settings.Flags & PD_SELECTION) ? prSelection
                                                 : prAllPages;
  DeviceNames chosen = ReadDeviceNames(devNames_.get());
  Printers.Confirm(chosen.device, chosen.port);
  // Drivers that make the copies themselves take the count in their settings
  // and leave the dialog's at 1.
  Copies = settings.nCopies != 1 ? settings.nCopies : CopiesOf(devMode_.get());
  return true;
}

}  // namespace output
