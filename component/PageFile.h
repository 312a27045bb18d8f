// A document file as the reader's byte source (Windows side of the reader).
#pragma once

#include <memory>
#include <string>

#include "document/Document.h"

namespace mdi {

// Opens the file for reading, letting others read and delete it meanwhile; the returned
// source alone holds the handle. Throws ReadError naming the reason: a missing file, a
// folder, a file that cannot be read.
std::unique_ptr<ByteSource> openFileSource(const std::wstring& path);

// Opens the file and walks its directories through a view of the file mapped into memory:
// a thousand directories lie a page's image apart, and reading each with a system call
// took Wine about 70 ms. The view is closed once the walk is done, so that a file another
// program cuts short later makes a read fail rather than fault. Later reads use the handle.
Document openFileDocument(const std::wstring& path);

}  // namespace mdi
