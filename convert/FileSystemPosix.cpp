// POSIX file operations. Everything that names a system call lives here.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>

#include "convert/FileSystem.h"
#include "convert/Sha256.h"

namespace convert {

namespace {

[[noreturn]] void fail(const std::string& what, const std::string& path, int error = errno) {
  throw FileError(what + " " + path + ": " + std::strerror(error) + ".");
}

std::string folderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

const char* specialKind(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a regular file";
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string randomSuffix() {
  static thread_local std::mt19937_64 generator{std::random_device{}()};
  const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string s;
  for (int i = 0; i < 10; ++i) s += digits[generator() % 36];
  return s;
}

// A hidden name beside the output: a killed run that could not use an unnamed file leaves
// only this behind, never a partial file under the output's own name.
std::string tempNameFor(const std::string& finalPath) {
  std::string folder = folderOf(finalPath);
  size_t slash = finalPath.rfind('/');
  std::string name = slash == std::string::npos ? finalPath : finalPath.substr(slash + 1);
  return (folder == "." && slash == std::string::npos ? "" : folder + "/") + "." + name + "." +
         randomSuffix() + ".part";
}

class FileSource : public mdi::ByteSource {
 public:
  explicit FileSource(const std::string& path) : path_(path) {
    // Not blocking: a FIFO given as a document is refused below, never waited on.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) fail("Cannot open", path);
    struct stat st;
    if (::fstat(fd_, &st) != 0) {
      int error = errno;
      ::close(fd_);
      fail("Cannot read", path, error);
    }
    if (!S_ISREG(st.st_mode)) {
      ::close(fd_);
      if (S_ISDIR(st.st_mode)) throw FileError(path + " is a folder.");
      throw FileError(path + " is " + specialKind(st.st_mode) + ", not a document: refused.");
    }
    size_ = uint64_t(st.st_size);
  }
  ~FileSource() override { ::close(fd_); }
  uint64_t size() const override { return size_; }
  void read(uint64_t offset, void* dst, size_t len) const override {
    if (offset > size_ || len > size_ - offset)
      throw mdi::ReadError("The file is truncated: a read runs past its end.");
    auto* out = static_cast<char*>(dst);
    while (len > 0) {
      ssize_t n = ::pread(fd_, out, len, off_t(offset));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) throw mdi::ReadError("The file could not be read: " + path_ + ".");
      out += n, offset += uint64_t(n), len -= size_t(n);
    }
  }

 private:
  std::string path_;
  int fd_ = -1;
  uint64_t size_ = 0;
};

// The folder's entry for a name just made is on the disk too, not only the file's bytes.
void syncFolder(const std::string& path) {
  Descriptor folder(::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() < 0 || ::fsync(folder.get()) != 0) fail("Cannot sync the folder of", path);
}

}  // namespace

FileInfo fileInfo(const std::string& path) {
  FileInfo info;
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return info;
  info.identity = {uint64_t(st.st_dev), uint64_t(st.st_ino)};
  info.size = uint64_t(st.st_size);
  if (S_ISREG(st.st_mode)) {
    info.kind = FileKind::Regular;
  } else if (S_ISDIR(st.st_mode)) {
    info.kind = FileKind::Directory;
  } else {
    info.kind = FileKind::Special;
    info.special = specialKind(st.st_mode);
  }
  return info;
}

bool isAbsolute(const std::string& path) {
  return !path.empty() && path[0] == '/';
}

std::string currentFolder() {
  std::vector<char> buffer(4096);
  while (!::getcwd(buffer.data(), buffer.size())) {
    if (errno != ERANGE) fail("Cannot tell", "the current folder");
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

std::string nameKey(const std::string& path) {
  return path;
}

std::string readListFile(const std::string& path) {
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) fail("Cannot open", path);
  std::string text;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(file.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail("Cannot read", path);
    if (n == 0) return text;
    text.append(buffer, size_t(n));
  }
}

bool isDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> listDirectory(const std::string& path) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.c_str()), &::closedir);
  if (!dir) fail("Cannot list", path);
  std::vector<std::string> names;
  while (dirent* entry = ::readdir(dir.get())) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void makeDirectories(const std::string& path) {
  if (path.empty() || isDirectory(path)) return;
  std::string parent = folderOf(path);
  if (parent != path) makeDirectories(parent);
  if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) fail("Cannot make the folder", path);
}

bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

bool stderrIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

unsigned processorCount() {
  return std::max(1u, std::thread::hardware_concurrency());
}

void writeStderr(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
}

std::unique_ptr<mdi::ByteSource> openInput(const std::string& path) {
  return std::make_unique<FileSource>(path);
}

OutputFile::OutputFile(const std::string& finalPath) : finalPath_(finalPath) {
#ifdef O_TMPFILE
  // An unnamed file in the output's folder: nothing of it survives a kill.
  handle_ = ::open(folderOf(finalPath).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
#endif
  if (handle_ >= 0) return;
  tempPath_ = tempNameFor(finalPath);
  handle_ = ::open(tempPath_.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
  if (handle_ < 0) fail("Cannot write", finalPath);
}

OutputFile::~OutputFile() {
  if (handle_ >= 0) ::close(int(handle_));
  if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
}

void OutputFile::writeAt(uint64_t offset, const void* data, size_t size) {
  digest(offset, data, size);
  auto* in = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::pwrite(int(handle_), in, size, off_t(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail("Cannot write", finalPath_);
    in += n, offset += uint64_t(n), size -= size_t(n);
  }
}

void OutputFile::startSync(uint64_t offset, size_t size) {
#ifdef SYNC_FILE_RANGE_WRITE
  // Only a hint: the sync at commit still waits for everything and reports what failed.
  ::sync_file_range(int(handle_), off_t(offset), off_t(size), SYNC_FILE_RANGE_WRITE);
#else
  (void)offset, (void)size;
#endif
}

size_t OutputFile::readAt(uint64_t offset, void* data, size_t size) const {
  ssize_t n;
  do n = ::pread(int(handle_), data, size, off_t(offset));
  while (n < 0 && errno == EINTR);
  if (n < 0) fail("Cannot read back", finalPath_);
  return size_t(n);
}

uint64_t OutputFile::size() const {
  struct stat st;
  if (::fstat(int(handle_), &st) != 0) fail("Cannot read back", finalPath_);
  return uint64_t(st.st_size);
}

void OutputFile::commit(bool replace, bool sync) {
  if (::fsync(int(handle_)) != 0) fail("Cannot write", finalPath_);
  if (tempPath_.empty()) {
    // Give the unnamed file a name: the final one directly, or a hidden one to rename over
    // the existing output.
    std::string self = "/proc/self/fd/" + std::to_string(int(handle_));
    std::string target = replace ? tempNameFor(finalPath_) : finalPath_;
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) != 0) {
      if (errno == EEXIST) throw ExistsError(finalPath_ + " already exists.");
      fail("Cannot write", finalPath_);
    }
    if (!replace) return sync ? syncFolder(finalPath_) : void();
    tempPath_ = target;
  }
  if (replace) {
    if (::rename(tempPath_.c_str(), finalPath_.c_str()) != 0) fail("Cannot write", finalPath_);
  } else if (::link(tempPath_.c_str(), finalPath_.c_str()) != 0) {
    // A hard link never replaces what is there: another run's output wins.
    if (errno == EEXIST) throw ExistsError(finalPath_ + " already exists.");
    fail("Cannot write", finalPath_);
  } else {
    ::unlink(tempPath_.c_str());
  }
  tempPath_.clear();
  if (sync) syncFolder(finalPath_);
}

}  // namespace convert
