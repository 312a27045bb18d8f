// libtiff over the converter's own byte sources and output files, one handle per use, each
// collecting its own error messages (libtiff's global handlers are shared by every thread).
#pragma once

#include <tiffio.h>

#include <memory>
#include <string>

#include "component/reader/Document.h"
#include "convert/FileSystem.h"

namespace convert {

class TiffHandle {
 public:
  TiffHandle();
  TiffHandle(TiffHandle&& other) noexcept;
  TiffHandle& operator=(TiffHandle&&) = delete;
  ~TiffHandle();

  TIFF* get() const { return tiff_; }
  // libtiff's last error, or `fallback` when it gave none.
  std::string error(const std::string& fallback) const;
  // Flushes and closes; false when libtiff could not finish the file.
  bool close();

  // One page of the document, as a one-page TIFF.
  static TiffHandle readPage(const mdi::Document& document, size_t page);
  // A new little-endian ("II") TIFF written into the output.
  static TiffHandle write(OutputFile& file);

  struct State;

 private:
  std::unique_ptr<State> state_;
  TIFF* tiff_ = nullptr;
};

}  // namespace convert
