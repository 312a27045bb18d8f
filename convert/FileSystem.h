// The converter's only contact with the operating system's files. Paths are bytes (UTF-8 on
// Windows, where a wide-API version of FileSystemPosix.cpp sits beside it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "component/reader/Document.h"

namespace convert {

// A file system refusal, with the path and the system's reason in its message.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

bool isDirectory(const std::string& path);
bool exists(const std::string& path);
// The entries of a folder (names only, sorted), without "." and "..".
std::vector<std::string> listDirectory(const std::string& path);
void makeDirectories(const std::string& path);
// True when both paths name the same existing file (links included).
bool sameFile(const std::string& a, const std::string& b);
bool stderrIsTerminal();
unsigned processorCount();

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
  size_t readAt(uint64_t offset, void* data, size_t size) const;
  uint64_t size() const;
  // Puts the file in place. Without `replace`, an existing file wins: FileError then.
  void commit(bool replace);
  const std::string& path() const { return finalPath_; }

 private:
  std::string finalPath_;
  std::string tempPath_;  // empty when the file has no name until commit
  int fd_ = -1;
};

}  // namespace convert
