// A document file as the reader's byte source (Windows side of the reader).
#pragma once

#include <memory>
#include <string>

#include "component/reader/Document.h"

namespace mdi {

// Opens the file for reading, letting others read and delete it meanwhile; the returned
// source alone holds the handle. Throws ReadError naming the reason: a missing file, a
// folder, a file that cannot be read.
std::unique_ptr<ByteSource> openFileSource(const std::wstring& path);

}  // namespace mdi
