#include "app/LastFile.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/main.h"
#include "framework/Exception.h"

namespace {

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {
    if (handle_ == INVALID_HANDLE_VALUE) framework::raiseLastError();
  }
  ~FileHandle() { CloseHandle(handle_); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// A temporary file of this program's: deleted on leaving the scope unless it
// was never created or has been put in place.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (owned_) DeleteFileA(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& path() const { return path_; }
  void Created() { owned_ = true; }
  void PutInPlace() { owned_ = false; }

 private:
  std::string path_;
  bool owned_ = false;
};

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

void WriteNewRecord(TemporaryFile& temporary, const std::string& bytes) {
  FileHandle file(CreateFileA(temporary.path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  temporary.Created();
  WriteAll(file.get(), bytes);
  if (!FlushFileBuffers(file.get())) framework::raiseLastError();
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
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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
  // One temporary name per process: two copies closing at once do not collide.
  TemporaryFile temporary(path + "." + std::to_string(GetCurrentProcessId()) + ".tmp");
  // A read-only record stays as it is. Windows refuses to replace it anyway;
  // not every system that runs the program does.
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetLastError(ERROR_ACCESS_DENIED);
    framework::raiseLastError();
  }
  WriteNewRecord(temporary, name + "\r\n");
  if (!MoveFileExA(temporary.path().c_str(), path.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    framework::raiseLastError();
  temporary.PutInPlace();
}

void TForm1::ReadLastFileRecord() {
  // Every failure is silent: the item keeps what it had, and once shown it
  // stays shown for the rest of the run.
  try {
    const std::string name = ReadLastFileName(LastFileRecordPath());
    if (name.empty()) return;
    lastfile1->SetCaption(name);
    lastfile1->Hint = name;
    lastfile1->SetVisible(true);
  } catch (const std::exception&) {
  }
}

void TForm1::WriteLastFileRecord() {
  if (LastFileName.empty()) return;
  try {
    WriteLastFileName(LastFileRecordPath(), LastFileName);
  } catch (const std::exception&) {
  }
}

// The caption may show the name altered ("&" marks an accelerator); the hint
// holds it exactly.
void TForm1::lastfile1Click() {
  OpenDocument(lastfile1->Hint);
}
