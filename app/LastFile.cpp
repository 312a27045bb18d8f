#include "app/LastFile.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/Exception.h"
#include "framework/Files.h"

namespace {

bool EndsName(char c) {
  return c == '\r' || c == '\x1a';
}

void WriteAll(HANDLE file, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
      framework::raiseLastError();
    done += written;
  }
}

}  // namespace

std::string ExecutablePath() {
  // The path may be longer than MAX_PATH; a full buffer means it was cut short.
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) framework::raiseLastError();
    if (length < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

std::string LastFileRecordPath() {
  return ExecutablePath() + ".cfg";
}

std::string ReadLastFileName(const std::string& path) {
  // Sharing everything: another copy of the program may be replacing the record.
  framework::FileHandle file(CreateFileW(framework::ExtendedPath(path).c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string name;
  char buffer[4096];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) framework::raiseLastError();
    if (got == 0) return name;
    const char* begin = buffer;
    const char* end = buffer + got;
    const char* stop = std::find_if(begin, end, EndsName);
    name.append(begin, stop);
    if (stop != end) return name;
  }
}

void WriteLastFileName(const std::string& path, const std::string& name) {
  // A read-only record stays as it is. Windows refuses to replace it anyway;
  // not every system that runs the program does.
  DWORD attributes = framework::FileAttributes(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetLastError(ERROR_ACCESS_DENIED);
    framework::raiseLastError();
  }
  framework::ReplacementFile record(path);
  WriteAll(record.handle(), name + "\r\n");
  record.PutInPlace();
}
