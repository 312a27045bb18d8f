// The printers the program offers: the system's list, read once per run, the
// entries added for printers confirmed later, and the current printer.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace output {

struct PrinterEntry {
  std::string text;    // shown to the user and handed to the component as the printer's name
  std::string device;  // the printer's device name
  std::string port;    // empty when the system listed the printer without its port
};

// What a printer's device names and settings are, for the print dialog.
struct PrinterDetails {
  std::string driver;
  std::string port;
  std::vector<BYTE> deviceMode;  // a DEVMODEA with its driver's extra bytes; empty if unknown
};

// The system's printers. Tests install their own.
class PrinterSystem {
 public:
  virtual ~PrinterSystem() = default;
  // Local printers and printer connections, by name; one entry per port
  // where the system can list printers only with their ports.
  virtual std::vector<PrinterEntry> List();
  // The system's default printer's device name; empty when there is none.
  virtual std::string DefaultPrinter();
  virtual PrinterDetails Details(const std::string& device);
};

// The system's real printers.
PrinterSystem& SystemPrinters();

// "%s on %s": the entry text of a printer on a port.
std::string PrinterOnPort(const std::string& device, const std::string& port);

// The entries of a printer listed with a comma-separated list of ports: one
// per port, each "%s on %s".
std::vector<PrinterEntry> PerPortEntries(const std::string& device, const std::string& ports);

class TPrinters {
 public:
  // Another source of printers, before the list is first read.
  void UseSystem(PrinterSystem& system) { system_ = &system; }
  PrinterSystem& System() const { return *system_; }

  // The list, read from the system at the first call and kept for the run.
  const std::vector<PrinterEntry>& Entries();
  // The current printer: the system's default until one was confirmed.
  // Throws framework::Exception when there is no printer or no default one.
  int CurrentIndex();
  const PrinterEntry& Current() { return Entries()[static_cast<size_t>(CurrentIndex())]; }
  // Makes the printer confirmed in the print dialog current, adding an entry
  // "%s on %s" when the list lacks it.
  void Confirm(const std::string& device, const std::string& port);

 private:
  PrinterSystem* system_ = &SystemPrinters();
  bool read_ = false;
  std::vector<PrinterEntry> entries_;
  int current_ = -1;
};

}  // namespace output
