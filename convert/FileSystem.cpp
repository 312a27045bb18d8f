// The file operations that are the same on every system, built on the system's own ones.
#include <ctime>
#include <vector>

#include "convert/FileSystem.h"
#include "convert/Sha256.h"

namespace convert {

std::string sha256OfFile(const std::string& path, uint64_t& size) {
  std::unique_ptr<mdi::ByteSource> file = openInput(path);
  size = file->size();
  Sha256 digest;
  std::vector<char> buffer(1 << 20);
  for (uint64_t at = 0; at < size; at += buffer.size()) {
    size_t n = size_t(std::min<uint64_t>(buffer.size(), size - at));
    file->read(at, buffer.data(), n);
    digest.update(buffer.data(), n);
  }
  return digest.hex();
}

std::string utcNow() {
  std::time_t now = std::time(nullptr);
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &now);
#else
  gmtime_r(&now, &utc);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

void OutputFile::digest(uint64_t offset, const void* data, size_t size) {
  if (!inOrder_) return;
  if (offset != digested_) {
    inOrder_ = false;  // sha256() reads the file back instead
    return;
  }
  if (!digest_) digest_ = std::make_unique<Sha256>();
  digest_->update(data, size);
  digested_ += size;
}

std::string OutputFile::sha256() {
  uint64_t total = size();
  if (inOrder_ && digested_ == total && digest_) {
    inOrder_ = false;  // spent
    return digest_->hex();
  }
  Sha256 digest;
  std::vector<char> buffer(1 << 20);
  for (uint64_t at = 0; at < total;) {
    size_t n = readAt(at, buffer.data(), size_t(std::min<uint64_t>(buffer.size(), total - at)));
    if (n == 0) throw FileError("Cannot read back " + finalPath_ + ": it ends early.");
    digest.update(buffer.data(), n);
    at += n;
  }
  return digest.hex();
}

}  // namespace convert
