// `PRNT`: the print dialog, kept for the run, and the printers it offers.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include "framework/Handles.h"
#include "output/Printers.h"

namespace output {

class TPrintDialog {
 public:
  enum TPrintRange { prAllPages, prSelection, prPageNums };

  // A page range may be chosen; no selection, no print-to-file box, no help
  // button, and no warning when there is no default printer.
  DWORD Options = PD_NOSELECTION | PD_HIDEPRINTTOFILE | PD_NOWARNING;
  int MinPage = 0;
  int MaxPage = 0;
  int FromPage = 0;
  int ToPage = 0;
  int Copies = 1;
  bool Collate = false;
  TPrintRange PrintRange = prAllPages;
  TPrinters Printers;

  // Shows the dialog on the current printer. True when confirmed: the pages,
  // copies, range kind and collation are read back and the printer chosen
  // becomes current. A cancel changes nothing. Throws framework::Exception
  // when there is no printer to open on or the dialog fails.
  bool Execute(HWND owner);

 private:
  void PrepareDevice(const PrinterEntry& printer);
  void FreeDevice();

  // The device names and settings of the current printer, kept between uses
  // so that what the user set up for it is offered again.
  framework::GlobalMemory devMode_;
  framework::GlobalMemory devNames_;
};

}  // namespace output
