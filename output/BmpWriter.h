// Our own BMP writer: a device-dependent bitmap turned into the bytes of a
// Windows BMP file, and those bytes put in place of a file without ever
// leaving it half written.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace output {

// The whole BMP file for `bitmap`: the 14-byte file header, the 40-byte
// information header, the three colour masks at 16 and 32 bits per pixel, the
// full colour table at 8 bits or fewer, and the rows bottom-up, each padded to
// 4 bytes. The bitmap must not be selected into a device context.
// Throws framework::Exception.
std::vector<BYTE> BmpFileBytes(HBITMAP bitmap);

// Writes `size` bytes to an open file; false on failure, with the last error set.
using FileWriter = std::function<bool(HANDLE file, const BYTE* data, DWORD size)>;

// The system's WriteFile, all bytes or failure.
bool WriteWholeFile(HANDLE file, const BYTE* data, DWORD size);

// Writes `bytes` under a temporary name in the target's folder and moves the
// result over `path` only when it is complete. On failure the file that was at
// `path` is untouched, no temporary file stays behind, and a
// framework::Exception is thrown.
void ReplaceFileContents(const std::string& path, const std::vector<BYTE>& bytes,
                         const FileWriter& write = WriteWholeFile);

}  // namespace output
