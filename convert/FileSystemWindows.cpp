// Windows file operations through the wide API: paths arrive as UTF-8 and reach the system as
// UTF-16, so that names in any script work whatever the ANSI code page. Everything that names
// a Windows call lives here.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

#include "convert/FileSystem.h"
#include "convert/Sha256.h"

namespace convert {

namespace {

std::wstring wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring out(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), n);
  return out;
}

std::string utf8(const wchar_t* text, size_t length) {
  if (length == 0) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text, int(length), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, int(length), out.data(), n, nullptr, nullptr);
  return out;
}

// The system's sentence for an error code, without its closing full stop and line end.
std::string reasonFor(DWORD error) {
  wchar_t* text = nullptr;
  DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::unique_ptr<wchar_t, decltype(&LocalFree)> owned(text, &LocalFree);
  std::string reason = n ? utf8(text, n) : "error " + std::to_string(error);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                             reason.back() == ' ' || reason.back() == '.'))
    reason.pop_back();
  return reason;
}

[[noreturn]] void fail(const std::string& what, const std::string& path,
                       DWORD error = GetLastError()) {
  throw FileError(what + " " + path + ": " + reasonFor(error) + ".");
}

class Handle {
 public:
  explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
  ~Handle() {
    if (valid()) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

// The folder a path is in, "." for a bare name.
std::string folderOf(const std::string& path) {
  size_t start = nameStart(path);
  if (start == 0) return ".";
  std::string folder = path.substr(0, start);
  // "C:\", "C:" and "\" are folders themselves: their separator stays.
  bool root = start == 1 || (start <= 3 && path[1] == ':');
  if (!root) folder.pop_back();
  return folder;
}

// A hidden name beside the output, for the file while it is written.
std::string tempNameFor(const std::string& finalPath) {
  static std::atomic<unsigned> counter{0};
  size_t start = nameStart(finalPath);
  return finalPath.substr(0, start) + "." + finalPath.substr(start) + "." +
         std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++) + ".part";
}

// Positional reads and writes through one handle, as pread and pwrite do.
OVERLAPPED at(uint64_t offset) {
  OVERLAPPED o{};
  o.Offset = DWORD(offset);
  o.OffsetHigh = DWORD(offset >> 32);
  return o;
}

class FileSource : public mdi::ByteSource {
 public:
  explicit FileSource(const std::string& path) : path_(path) {
    if (isDirectory(path)) throw FileError(path + " is a folder.");
    file_ = std::make_unique<Handle>(CreateFileW(
        wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr));
    if (!file_->valid()) fail("Cannot open", path);
    if (GetFileType(file_->get()) != FILE_TYPE_DISK)
      throw FileError(path + " is a device or a pipe, not a document: refused.");
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file_->get(), &size)) fail("Cannot read", path);
    size_ = uint64_t(size.QuadPart);
  }
  uint64_t size() const override { return size_; }
  void read(uint64_t offset, void* dst, size_t len) const override {
    if (offset > size_ || len > size_ - offset)
      throw mdi::ReadError("The file is truncated: a read runs past its end.");
    auto* out = static_cast<char*>(dst);
    while (len > 0) {
      OVERLAPPED o = at(offset);
      DWORD n = 0;
      DWORD chunk = DWORD(std::min<size_t>(len, 1u << 30));
      if (!ReadFile(file_->get(), out, chunk, &n, &o) || n == 0)
        throw mdi::ReadError("The file could not be read: " + path_ + ".");
      out += n, offset += n, len -= n;
    }
  }

 private:
  std::string path_;
  std::unique_ptr<Handle> file_;
  uint64_t size_ = 0;
};

HANDLE handleOf(std::intptr_t h) {
  return reinterpret_cast<HANDLE>(h);
}

// Marks an open file to be deleted when its last handle closes, or takes the mark off. With
// the mark, the system removes the file also when the process is killed.
bool setDeleteOnClose(HANDLE file, bool remove) {
  FILE_DISPOSITION_INFO info{};
  info.DeleteFile = remove;
  return SetFileInformationByHandle(file, FileDispositionInfo, &info, sizeof info);
}

}  // namespace

FileInfo fileInfo(const std::string& path) {
  FileInfo info;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(wide(path).c_str(), GetFileExInfoStandard, &data)) return info;
  bool folder = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
  // Opened for its attributes only, following links; a folder needs backup semantics.
  Handle file(CreateFileW(wide(path).c_str(), FILE_READ_ATTRIBUTES,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION byHandle;
  if (!file.valid() || !GetFileInformationByHandle(file.get(), &byHandle)) return info;
  info.identity = {byHandle.dwVolumeSerialNumber,
                   uint64_t(byHandle.nFileIndexHigh) << 32 | byHandle.nFileIndexLow};
  info.size = uint64_t(byHandle.nFileSizeHigh) << 32 | byHandle.nFileSizeLow;
  if (folder) {
    info.kind = FileKind::Directory;
  } else if (GetFileType(file.get()) == FILE_TYPE_DISK) {
    info.kind = FileKind::Regular;
  } else {
    info.kind = FileKind::Special;
    info.special = "a device or a pipe";
  }
  return info;
}

bool isAbsolute(const std::string& path) {
  return (path.size() >= 3 && path[1] == ':' && isSeparator(path[2])) ||
         (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1]));
}

std::string currentFolder() {
  DWORD n = GetCurrentDirectoryW(0, nullptr);
  std::wstring folder(n, L'\0');
  n = GetCurrentDirectoryW(n, folder.data());
  if (n == 0) fail("Cannot tell", "the current folder");
  return utf8(folder.data(), n);
}

std::string nameKey(const std::string& path) {
  std::wstring w = wide(path);
  CharUpperBuffW(w.data(), DWORD(w.size()));
  return utf8(w.data(), w.size());
}

std::string readListFile(const std::string& path) {
  Handle file(CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) fail("Cannot open", path);
  std::string text;
  char buffer[65536];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr)) {
      if (GetLastError() == ERROR_BROKEN_PIPE) return text;  // the writer is done
      fail("Cannot read", path);
    }
    if (n == 0) return text;
    text.append(buffer, n);
  }
}

bool isDirectory(const std::string& path) {
  DWORD attributes = GetFileAttributesW(wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool exists(const std::string& path) {
  return GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> listDirectory(const std::string& path) {
  std::string pattern = path;
  if (pattern.empty() || !isSeparator(pattern.back())) pattern += kPathSeparator;
  WIN32_FIND_DATAW entry;
  HANDLE found = FindFirstFileExW(wide(pattern + "*").c_str(), FindExInfoBasic, &entry,
                                  FindExSearchNameMatch, nullptr, 0);
  if (found == INVALID_HANDLE_VALUE) fail("Cannot list", path);
  std::unique_ptr<void, decltype(&FindClose)> search(found, &FindClose);
  std::vector<std::string> names;
  do {
    std::string name = utf8(entry.cFileName, wcslen(entry.cFileName));
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileW(found, &entry));
  if (GetLastError() != ERROR_NO_MORE_FILES) fail("Cannot list", path);
  std::sort(names.begin(), names.end());
  return names;
}

void makeDirectories(const std::string& path) {
  if (path.empty() || isDirectory(path)) return;
  std::string parent = folderOf(path);
  if (parent != path && parent != ".") makeDirectories(parent);
  if (!CreateDirectoryW(wide(path).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    fail("Cannot make the folder", path);
}

bool sameFile(const std::string& a, const std::string& b) {
  auto identity = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    Handle file(CreateFileW(wide(path).c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file.valid() && GetFileInformationByHandle(file.get(), &info);
  };
  BY_HANDLE_FILE_INFORMATION ia, ib;
  return identity(a, ia) && identity(b, ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
         ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool stderrIsTerminal() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode);
}

void writeStderr(const std::string& text) {
  // A console shows UTF-16 whatever its code page; a pipe or a file gets the UTF-8 bytes.
  HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode, written;
  if (GetConsoleMode(console, &mode)) {
    std::wstring w = wide(text);
    WriteConsoleW(console, w.data(), DWORD(w.size()), &written, nullptr);
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

unsigned processorCount() {
  return std::max(1u, std::thread::hardware_concurrency());
}

std::vector<std::string> utf8Arguments(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(utf8(argv[i], wcslen(argv[i])));
  return arguments;
}

std::unique_ptr<mdi::ByteSource> openInput(const std::string& path) {
  return std::make_unique<FileSource>(path);
}

OutputFile::OutputFile(const std::string& finalPath) : finalPath_(finalPath) {
  tempPath_ = tempNameFor(finalPath);
  HANDLE file = CreateFileW(wide(tempPath_).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                            FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    tempPath_.clear();
    fail("Cannot write", finalPath, error);
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  // Gone with the handle, also when the process is killed; the destructor deletes it by name
  // where the file system cannot do that.
  setDeleteOnClose(file, true);
}

OutputFile::~OutputFile() {
  if (handle_ != -1) CloseHandle(handleOf(handle_));
  if (!tempPath_.empty()) DeleteFileW(wide(tempPath_).c_str());
}

void OutputFile::writeAt(uint64_t offset, const void* data, size_t size) {
  digest(offset, data, size);
  auto* in = static_cast<const char*>(data);
  while (size > 0) {
    OVERLAPPED o = at(offset);
    DWORD n = 0;
    DWORD chunk = DWORD(std::min<size_t>(size, 1u << 30));
    if (!WriteFile(handleOf(handle_), in, chunk, &n, &o) || n == 0)
      fail("Cannot write", finalPath_);
    in += n, offset += n, size -= n;
  }
}

// Windows starts writing a file's cached bytes out by itself; there is no call to hurry it.
void OutputFile::startSync(uint64_t, size_t) {}

size_t OutputFile::readAt(uint64_t offset, void* data, size_t size) const {
  OVERLAPPED o = at(offset);
  DWORD n = 0;
  DWORD chunk = DWORD(std::min<size_t>(size, 1u << 30));
  if (!ReadFile(handleOf(handle_), data, chunk, &n, &o) && GetLastError() != ERROR_HANDLE_EOF)
    fail("Cannot read back", finalPath_);
  return n;
}

uint64_t OutputFile::size() const {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(handleOf(handle_), &size)) fail("Cannot read back", finalPath_);
  return uint64_t(size.QuadPart);
}

// The rename is written through: nothing to sync after it.
void OutputFile::commit(bool replace, bool) {
  HANDLE file = handleOf(handle_);
  if (!FlushFileBuffers(file)) fail("Cannot write", finalPath_);
  // Shown as an ordinary file before it has its name: a kill after the rename leaves no hidden
  // file there.
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  if (!SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic))
    fail("Cannot write", finalPath_);
  // Kept from here on: a kill before the rename below leaves the temporary name, never a
  // partial file under the output's own name.
  if (!setDeleteOnClose(file, false)) fail("Cannot write", finalPath_);
  CloseHandle(file);
  handle_ = -1;
  DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (!MoveFileExW(wide(tempPath_).c_str(), wide(finalPath_).c_str(), flags)) {
    DWORD error = GetLastError();
    // Without replacing, an existing file wins: another run's output is left as it is.
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
      throw ExistsError(finalPath_ + " already exists.");
    fail("Cannot write", finalPath_, error);
  }
  tempPath_.clear();
}

}  // namespace convert
