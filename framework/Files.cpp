#include "framework/Files.h"

#include <utility>

#include "framework/Exception.h"
#include "framework/Text.h"

namespace framework {

namespace {

const wchar_t kExtendedPrefix[] = L"\\\\?\\";

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
  return text.rfind(prefix, 0) == 0;
}

std::wstring FullPath(const std::wstring& path) {
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    DWORD length =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) raiseLastError();
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.resize(length);  // the size it needs, terminating zero included
  }
}

// The folder part of an extended path, with its final backslash.
std::wstring FolderOf(const std::wstring& extended) {
  size_t slash = extended.rfind(L'\\');
  if (slash == std::wstring::npos || slash + 1 == extended.size())
    throw Exception("Not a file name");
  return extended.substr(0, slash + 1);
}

}  // namespace

std::wstring ExtendedPath(const std::string& path) {
  std::wstring wide = ansiToWide(path);
  if (StartsWith(wide, kExtendedPrefix)) return wide;
  std::wstring full = FullPath(wide);
  if (StartsWith(full, L"\\\\.\\")) return full;  // a device, not a file
  if (StartsWith(full, L"\\\\")) return kExtendedPrefix + std::wstring(L"UNC\\") + full.substr(2);
  return kExtendedPrefix + full;
}

DWORD FileAttributes(const std::string& path) {
  return GetFileAttributesW(ExtendedPath(path).c_str());
}

std::string TemporaryNameBeside(const std::string& target) {
  std::string name = "flx" + std::to_string(GetCurrentProcessId()) + ".tmp";
  size_t slash = target.find_last_of("\\/");
  std::string targetName = slash == std::string::npos ? target : target.substr(slash + 1);
  // A target of that very name must not be its own temporary file.
  if (lstrcmpiA(targetName.c_str(), name.c_str()) == 0) name += ".tmp";
  return name;
}

FileHandle::FileHandle(HANDLE handle) : handle_(handle) {
  if (handle_ == INVALID_HANDLE_VALUE) raiseLastError();
}

void FileHandle::Close() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
}

ReplacementFile::ReplacementFile(const std::string& target)
    : target_(ExtendedPath(target)),
      temporary_(FolderOf(target_) + ansiToWide(TemporaryNameBeside(target))),
      // A file of that name left by an earlier copy of the program that died is replaced.
      file_(CreateFileW(temporary_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr)) {}

ReplacementFile::~ReplacementFile() {
  if (placed_) return;
  file_.Close();
  DeleteFileW(temporary_.c_str());
}

void ReplacementFile::PutInPlace() {
  if (!FlushFileBuffers(file_.get())) raiseLastError();
  file_.Close();
  if (!MoveFileExW(temporary_.c_str(), target_.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    raiseLastError();
  placed_ = true;
}

}  // namespace framework
