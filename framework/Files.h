// Files named in the ANSI code page, and replacing a file without ever leaving
// it half written. The system's ANSI functions stop at MAX_PATH characters;
// the files made here are reached through the extended-length form of their
// path instead, so that a temporary file fits beside any target that itself
// fits in MAX_PATH (the longest the save dialog returns).
#pragma once

#include <windows.h>

#include <string>

namespace framework {

// `path` made absolute in the "\\?\" form, which the system's wide functions
// take up to 32,767 characters long. Converted from the ANSI code page as the
// ANSI functions convert. Throws framework::Exception.
std::wstring ExtendedPath(const std::string& path);

// The attributes of the file or folder at `path`; INVALID_FILE_ATTRIBUTES
// when there is none.
DWORD FileAttributes(const std::string& path);

// The name of the temporary file that replaces `target`: in the target's
// folder, short, and one per process, so that two copies of the program
// writing into one folder never share it.
std::string TemporaryNameBeside(const std::string& target);

class FileHandle {
 public:
  // Throws framework::Exception with the system's text when `handle` is invalid.
  explicit FileHandle(HANDLE handle);
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  HANDLE get() const { return handle_; }
  void Close();

 private:
  HANDLE handle_;
};

// A new file that is to take the place of `target`: created empty under the
// temporary name beside it, and deleted again unless it was put in place.
class ReplacementFile {
 public:
  // Throws framework::Exception when the file cannot be created.
  explicit ReplacementFile(const std::string& target);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  HANDLE handle() const { return file_.get(); }
  // Flushes and closes the file and moves it over the target. Throws
  // framework::Exception; the target is then as it was.
  void PutInPlace();

 private:
  std::wstring target_;
  std::wstring temporary_;
  FileHandle file_;
  bool placed_ = false;
};

}  // namespace framework
