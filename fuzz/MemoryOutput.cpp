// The converter's output file, kept in memory for the fuzz targets and the regressions: they
// link this in place of the system's file system.
#include <map>
#include <mutex>
#include <vector>

#include "convert/Sha256.h"
#include "fuzz/Outputs.h"

namespace convert {

namespace {

std::mutex filesMutex;
std::map<const OutputFile*, std::vector<uint8_t>>& files() {
  static std::map<const OutputFile*, std::vector<uint8_t>> all;
  return all;
}

std::vector<uint8_t>& bytesOf(const OutputFile* file) {
  std::lock_guard<std::mutex> lock(filesMutex);
  return files()[file];
}

}  // namespace

OutputFile::OutputFile(const std::string& finalPath) : finalPath_(finalPath) {
  bytesOf(this);
}

OutputFile::~OutputFile() {
  std::lock_guard<std::mutex> lock(filesMutex);
  files().erase(this);
}

void OutputFile::writeAt(uint64_t offset, const void* data, size_t size) {
  std::vector<uint8_t>& bytes = bytesOf(this);
  // Far past any output's budget: the target reports it rather than running out of memory.
  if (offset + size > (1u << 30)) throw FileError("The output passed 1 GB.");
  if (bytes.size() < offset + size) bytes.resize(size_t(offset + size));
  const auto* from = static_cast<const uint8_t*>(data);
  std::copy(from, from + size, bytes.begin() + std::ptrdiff_t(offset));
}

void OutputFile::startSync(uint64_t, size_t) {}

size_t OutputFile::readAt(uint64_t offset, void* data, size_t size) const {
  const std::vector<uint8_t>& bytes = bytesOf(this);
  if (offset >= bytes.size()) return 0;
  size_t n = std::min<size_t>(size, size_t(bytes.size() - offset));
  std::copy(bytes.begin() + std::ptrdiff_t(offset), bytes.begin() + std::ptrdiff_t(offset + n),
            static_cast<uint8_t*>(data));
  return n;
}

uint64_t OutputFile::size() const {
  return bytesOf(this).size();
}

void OutputFile::commit(bool, bool) {
  handle_ = -1;  // nothing to put in place: the bytes stay in memory
}

}  // namespace convert

const std::vector<uint8_t>& fuzzoutputs::contents(const convert::OutputFile& file) {
  return convert::bytesOf(&file);
}
