#include "output/Printers.h"

#include <winspool.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <utility>

#include "framework/Handles.h"

namespace output {

namespace {

const DWORD kListed = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;

// EnumPrintersA at one level into a buffer; false when the level is refused.
bool Enumerate(DWORD level, std::vector<BYTE>& buffer, DWORD& count) {
  DWORD needed = 0;
  count = 0;
  for (;;) {
    buffer.resize(needed);
    if (EnumPrintersA(kListed, nullptr, level, buffer.empty() ? nullptr : buffer.data(), needed,
                      &needed, &count))
      return true;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
      if (GetLastError() == ERROR_INVALID_LEVEL) return false;
      framework::raiseLastError();
    }
  }
}

std::string Text(const char* text) {
  return text ? text : "";
}

bool SameName(const std::string& a, const std::string& b) {
  return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

}  // namespace

std::string PrinterOnPort(const std::string& device, const std::string& port) {
  std::vector<char> text(device.size() + port.size() + 8);
  std::snprintf(text.data(), text.size(), "%s on %s", device.c_str(), port.c_str());
  return text.data();
}

std::vector<PrinterEntry> PerPortEntries(const std::string& device, const std::string& ports) {
  std::vector<PrinterEntry> entries;
  size_t start = 0;
  while (start <= ports.size()) {
    size_t end = ports.find(',', start);
    if (end == std::string::npos) end = ports.size();
    std::string port = ports.substr(start, end - start);
    while (!port.empty() && port.front() == ' ') port.erase(port.begin());
    if (!port.empty()) entries.push_back({PrinterOnPort(device, port), device, port});
    start = end + 1;
  }
  return entries;
}

// Level 4 names local printers and connections quickly, without asking each
// printer. Only systems without level 4 (the Windows 95 family) are read at
// level 5, which gives each printer's ports: those are the per-port entries.
std::vector<PrinterEntry> PrinterSystem::List() {
  std::vector<BYTE> buffer;
  DWORD count = 0;
  std::vector<PrinterEntry> entries;
  if (Enumerate(4, buffer, count)) {
    auto* info = reinterpret_cast<const PRINTER_INFO_4A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
      std::string name = Text(info[i].pPrinterName);
      entries.push_back({name, name, ""});
    }
    return entries;
  }
  if (!Enumerate(5, buffer, count)) framework::raiseLastError();
  auto* info = reinterpret_cast<const PRINTER_INFO_5A*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    auto perPort = PerPortEntries(Text(info[i].pPrinterName), Text(info[i].pPortName));
    entries.insert(entries.end(), perPort.begin(), perPort.end());
  }
  return entries;
}

std::string PrinterSystem::DefaultPrinter() {
  DWORD size = 0;
  if (GetDefaultPrinterA(nullptr, &size) || GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    return std::string();
  std::vector<char> name(size);
  if (!GetDefaultPrinterA(name.data(), &size)) return std::string();
  return name.data();
}

// What the system does not tell stays empty: the print dialog fills in its own defaults.
PrinterDetails PrinterSystem::Details(const std::string& device) {
  PrinterDetails details;
  HANDLE opened = nullptr;
  if (!OpenPrinterA(const_cast<char*>(device.c_str()), &opened, nullptr)) return details;
  framework::Printer printer(opened);
  DWORD needed = 0;
  GetPrinterA(printer.get(), 2, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed);
  if (needed && GetPrinterA(printer.get(), 2, buffer.data(), needed, &needed)) {
    auto* info = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    details.driver = Text(info->pDriverName);
    details.port = Text(info->pPortName);
  }
  char* name = const_cast<char*>(device.c_str());
  LONG size = DocumentPropertiesA(nullptr, printer.get(), name, nullptr, nullptr, 0);
  if (size >= static_cast<LONG>(offsetof(DEVMODEA, dmFields) + sizeof(DWORD))) {
    details.deviceMode.resize(static_cast<size_t>(size));
    auto* mode = reinterpret_cast<DEVMODEA*>(details.deviceMode.data());
    if (DocumentPropertiesA(nullptr, printer.get(), name, mode, nullptr, DM_OUT_BUFFER) != IDOK)
      details.deviceMode.clear();
  }
  return details;
}

PrinterSystem& SystemPrinters() {
  static PrinterSystem printers;
  return printers;
}

// ------------------------------------------------------------------ TPrinters

const std::vector<PrinterEntry>& TPrinters::Entries() {
  if (!read_) {
    entries_ = system_->List();
    read_ = true;
  }
  return entries_;
}

int TPrinters::CurrentIndex() {
  const auto& entries = Entries();
  if (entries.empty()) throw framework::Exception("There is no printer installed");
  if (current_ < 0) {
    std::string name = system_->DefaultPrinter();
    for (size_t i = 0; i < entries.size() && !name.empty(); ++i) {
      if (SameName(entries[i].device, name)) {
        current_ = static_cast<int>(i);
        break;
      }
    }
    if (current_ < 0) throw framework::Exception("There is no default printer");
  }
  return current_;
}

void TPrinters::Confirm(const std::string& device, const std::string& port) {
  Entries();
  for (size_t i = 0; i < entries_.size(); ++i) {
    const PrinterEntry& entry = entries_[i];
    if (SameName(entry.device, device) && (entry.port.empty() || SameName(entry.port, port))) {
      current_ = static_cast<int>(i);
      return;
    }
  }
  entries_.push_back({PrinterOnPort(device, port), device, port});
  current_ = static_cast<int>(entries_.size() - 1);
}

}  // namespace output
