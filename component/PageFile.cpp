#include "component/PageFile.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

namespace mdi {

namespace {

std::string systemText(DWORD error) {
  char* buffer = nullptr;
  FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = buffer ? buffer : "";
  LocalFree(buffer);
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == '.' || text.back() == ' '))
    text.pop_back();
  return text.empty() ? "error " + std::to_string(error) : text;
}

// Reads through one handle. Small reads, such as the directories' entries walked at open,
// come from a cached block, so a document of a thousand pages opens with a few dozen reads.
// Pages are read from the window's thread and from the one preparing the next page: the
// block is theirs in turn.
class FileSource : public ByteSource {
 public:
  FileSource(HANDLE handle, uint64_t size) : handle_(handle), size_(size) {}
  ~FileSource() override {
    unmap();
    CloseHandle(handle_);
  }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  uint64_t size() const override { return size_; }

  // Until unmap(), reads come from a view of the whole file: no system call each. Where the
  // system refuses the view (an empty file, no address space for it) reads go on as before.
  void map() {
    if (view_ || size_ == 0 || size_ > SIZE_MAX) return;
    HANDLE mapping = CreateFileMappingW(handle_, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping) return;
    view_ = static_cast<const uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    CloseHandle(mapping);  // the view keeps the mapping
  }
  void unmap() {
    if (view_) UnmapViewOfFile(view_);
    view_ = nullptr;
  }

  void read(uint64_t offset, void* dst, size_t len) const override {
    if (offset > size_ || len > size_ - offset)
      throw ReadError("The file is truncated: a read runs past its end.");
    if (view_) {
      if (len) std::memcpy(dst, view_ + offset, len);
      return;
    }
    if (len > kBlock / 4) {
      readAt(offset, dst, len);
      return;
    }
    std::lock_guard<std::mutex> lock(blockMutex_);
    if (offset < blockStart_ || offset + len > blockStart_ + block_.size()) {
      blockStart_ = offset & ~uint64_t{kAlign - 1};
      block_.resize(size_t(std::min<uint64_t>(kBlock, size_ - blockStart_)));
      readAt(blockStart_, block_.data(), block_.size());
    }
    if (len) std::memcpy(dst, block_.data() + (offset - blockStart_), len);
  }

 private:
  // Small: a page's directory and its values lie together, but the directories of a long
  // document lie a page's image apart, so a larger block would read mostly image data.
  static constexpr size_t kBlock = 8 * 1024;
  static constexpr size_t kAlign = 4096;

  void readAt(uint64_t offset, void* dst, size_t len) const {
    auto* out = static_cast<uint8_t*>(dst);
    while (len > 0) {
      OVERLAPPED at{};
      at.Offset = DWORD(offset);
      at.OffsetHigh = DWORD(offset >> 32);
      DWORD chunk = DWORD(std::min<size_t>(len, 1u << 24)), got = 0;
      if (!ReadFile(handle_, out, chunk, &got, &at))
        throw ReadError("The file cannot be read: " + systemText(GetLastError()) + ".");
      if (got == 0) throw ReadError("The file became shorter while it was read.");
      out += got;
      offset += got;
      len -= got;
    }
  }

  HANDLE handle_;
  uint64_t size_;
  const uint8_t* view_ = nullptr;
  mutable std::mutex blockMutex_;
  mutable std::vector<uint8_t> block_;
  mutable uint64_t blockStart_ = 0;
};

std::unique_ptr<FileSource> openFile(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
        error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH)
      throw ReadError("The file does not exist.");
    throw ReadError("The file cannot be read: " + systemText(error) + ".");
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY)
    throw ReadError("The name is that of a folder, not of a document.");
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    throw ReadError("The file cannot be read: " + systemText(GetLastError()) + ".");
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(handle, &size)) {
    DWORD error = GetLastError();
    CloseHandle(handle);
    throw ReadError("The file cannot be read: " + systemText(error) + ".");
  }
  // The source owns the handle from here on, also when make_unique throws.
  try {
    return std::make_unique<FileSource>(handle, uint64_t(size.QuadPart));
  } catch (...) {
    CloseHandle(handle);
    throw;
  }
}

}  // namespace

std::unique_ptr<ByteSource> openFileSource(const std::wstring& path) {
  return openFile(path);
}

Document openFileDocument(const std::wstring& path) {
  std::unique_ptr<FileSource> source = openFile(path);
  FileSource* file = source.get();
  file->map();
  Document document = Document::open(std::move(source));  // the document owns the source now
  file->unmap();
  return document;
}

}  // namespace mdi
