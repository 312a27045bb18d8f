// The converter's only contact with the operating system's files and console. Paths are bytes:
// as they are on Linux (FileSystemPosix.cpp), UTF-8 on Windows, where FileSystemWindows.cpp
// turns them into the wide API's UTF-16, so that names in any script work there too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "document/Document.h"

namespace convert {

class Sha256;

// A file system refusal, with the path and the system's reason in its message.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Windows takes either slash between names, and a drive's colon ends its first name.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
inline bool isSeparator(char c) {
  return c == '/' || c == '\\' || c == ':';
}
#else
constexpr char kPathSeparator = '/';
inline bool isSeparator(char c) {
  return c == '/';
}
#endif
// Where the path's last name begins.
inline size_t nameStart(const std::string& path) {
  size_t i = path.size();
  while (i > 0 && !isSeparator(path[i - 1])) --i;
  return i;
}

// A refusal because a file is already there: the caller may find it to be what it wanted.
class ExistsError : public FileError {
 public:
  using FileError::FileError;
};

// Which file a path names, whatever name reached it: device and inode, or on Windows the
// volume's serial number and the file's index.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator<(const FileIdentity& o) const {
    return volume != o.volume ? volume < o.volume : index < o.index;
  }
  bool operator==(const FileIdentity& o) const { return volume == o.volume && index == o.index; }
};

enum class FileKind { Missing, Regular, Directory, Special };

// What a path names, links followed, learnt without opening it (a FIFO never blocks).
struct FileInfo {
  FileKind kind = FileKind::Missing;
  FileIdentity identity;
  uint64_t size = 0;
  std::string special;  // for Special: what it is ("a FIFO", "a device", "a socket")
};

FileInfo fileInfo(const std::string& path);
bool isDirectory(const std::string& path);
bool exists(const std::string& path);
bool isAbsolute(const std::string& path);
std::string currentFolder();
// The path as the file system compares names: upper case where it ignores case (Windows).
std::string nameKey(const std::string& path);
// The whole of a list of inputs, from a file or a pipe.
std::string readListFile(const std::string& path);
// The input's SHA-256 in hexadecimal, and its size, read through once.
std::string sha256OfFile(const std::string& path, uint64_t& size);
// The current time in UTC, as ISO 8601 ("2026-12-09T14:05:00Z").
std::string utcNow();
// The entries of a folder (names only, sorted), without "." and "..".
std::vector<std::string> listDirectory(const std::string& path);
void makeDirectories(const std::string& path);
// True when both paths name the same existing file (links included).
bool sameFile(const std::string& a, const std::string& b);
bool stderrIsTerminal();
// Text for standard error, UTF-8 (shown as such on a Windows console too).
void writeStderr(const std::string& text);
unsigned processorCount();
#ifdef _WIN32
// The command line's arguments (wmain's), as UTF-8.
std::vector<std::string> utf8Arguments(int argc, wchar_t** argv);
#endif

// A document read from its file on demand: memory stays small whatever the file's length.
std::unique_ptr<mdi::ByteSource> openInput(const std::string& path);

// An output being written: invisible under its final name until commit(), and gone when
// dropped without it, also when the process is killed.
class OutputFile {
 public:
  explicit OutputFile(const std::string& finalPath);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void writeAt(uint64_t offset, const void* data, size_t size);
  // Starts putting bytes written on the disk, without waiting: the sync at commit is then short.
  void startSync(uint64_t offset, size_t size);
  size_t readAt(uint64_t offset, void* data, size_t size) const;
  uint64_t size() const;
  // The SHA-256 of what was written: digested on the way when written from start to end, read
  // back otherwise.
  std::string sha256();
  // Puts the file in place, on the disk, its folder synced unless the caller names another file
  // there next and syncs then. Without `replace`, an existing file wins: ExistsError then.
  void commit(bool replace, bool syncFolder = true);
  const std::string& path() const { return finalPath_; }

 private:
  void digest(uint64_t offset, const void* data, size_t size);

  std::string finalPath_;
  std::unique_ptr<Sha256> digest_;
  uint64_t digested_ = 0;      // bytes digested, from the start
  bool inOrder_ = true;        // false once a write went elsewhere than after the bytes digested
  std::string tempPath_;       // empty when the file has no name until commit
  std::intptr_t handle_ = -1;  // the file descriptor, or on Windows the HANDLE
};

}  // namespace convert
