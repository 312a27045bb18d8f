#include "output/BmpWriter.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

#include "framework/Handles.h"
#include "framework/Files.h"

namespace output {

namespace {

using Masks = std::array<DWORD, 3>;

const Masks kDefault16BitMasks = {0xF800, 0x07E0, 0x001F};
const Masks kDefault32BitMasks = {0x00FF0000, 0x0000FF00, 0x000000FF};

constexpr DWORD kFileHeaderSize = 14;
constexpr DWORD kInfoHeaderSize = 40;

bool HasBitFields(int bitCount) {
  return bitCount == 16 || bitCount == 32;
}

bool HasColorTable(int bitCount) {
  return bitCount <= 8;
}

// The masks the system uses for the bitmap converted to a DIB of its own
// depth, when it describes that DIB with bit fields.
std::optional<Masks> SystemMasks(HDC dc, HBITMAP bitmap, int bitCount) {
  framework::BitmapInfo query{};
  query.header.biSize = sizeof query.header;
  // A zero depth asks for the bitmap's own format, header only.
  if (!GetDIBits(dc, bitmap, 0, 0, nullptr, query.get(), DIB_RGB_COLORS)) return std::nullopt;
  if (query.header.biCompression != BI_BITFIELDS || query.header.biBitCount != bitCount)
    return std::nullopt;
  // Asked again with the depth set, the system fills in the masks.
  if (!GetDIBits(dc, bitmap, 0, 0, nullptr, query.get(), DIB_RGB_COLORS)) return std::nullopt;
  Masks masks;
  std::memcpy(masks.data(), query.colors, sizeof masks);
  if (!masks[0] || !masks[1] || !masks[2]) return std::nullopt;
  return masks;
}

Masks ChooseMasks(HDC dc, HBITMAP bitmap, int bitCount) {
  if (auto masks = SystemMasks(dc, bitmap, bitCount)) return *masks;
  return bitCount == 16 ? kDefault16BitMasks : kDefault32BitMasks;
}

void Put16(std::vector<BYTE>& out, size_t at, WORD value) {
  out[at] = static_cast<BYTE>(value);
  out[at + 1] = static_cast<BYTE>(value >> 8);
}

void Put32(std::vector<BYTE>& out, size_t at, DWORD value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<BYTE>(value >> (8 * i));
}

void PutInfoHeader(std::vector<BYTE>& out, const BITMAPINFOHEADER& header) {
  size_t at = kFileHeaderSize;
  Put32(out, at, header.biSize);
  Put32(out, at + 4, static_cast<DWORD>(header.biWidth));
  Put32(out, at + 8, static_cast<DWORD>(header.biHeight));
  Put16(out, at + 12, header.biPlanes);
  Put16(out, at + 14, header.biBitCount);
  Put32(out, at + 16, header.biCompression);
  Put32(out, at + 20, header.biSizeImage);
  Put32(out, at + 24, static_cast<DWORD>(header.biXPelsPerMeter));
  Put32(out, at + 28, static_cast<DWORD>(header.biYPelsPerMeter));
  Put32(out, at + 32, header.biClrUsed);
  Put32(out, at + 36, header.biClrImportant);
}

}  // namespace

std::vector<BYTE> BmpFileBytes(HBITMAP bitmap) {
  BITMAP facts{};
  if (!bitmap || GetObjectA(bitmap, sizeof facts, &facts) < static_cast<int>(sizeof facts))
    throw framework::Exception("Invalid bitmap");
  const int bitCount = facts.bmPlanes * facts.bmBitsPixel;
  if (facts.bmWidth <= 0 || facts.bmHeight <= 0 || bitCount <= 0 || bitCount > 32)
    throw framework::Exception("Invalid bitmap");

  const uint64_t stride = (static_cast<uint64_t>(facts.bmWidth) * bitCount + 31) / 32 * 4;
  const uint64_t imageSize = stride * static_cast<uint64_t>(facts.bmHeight);
  const DWORD tableSize = HasColorTable(bitCount) ? (1u << bitCount) : 0;
  const DWORD masksSize = HasBitFields(bitCount) ? 3 * sizeof(DWORD) : 0;
  const DWORD pixelOffset = kFileHeaderSize + kInfoHeaderSize + masksSize + tableSize * 4;
  if (pixelOffset + imageSize > 0x7FFFFFFF) throw framework::Exception("Bitmap too large");
  const DWORD fileSize = static_cast<DWORD>(pixelOffset + imageSize);

  framework::BitmapInfo info{};
  BITMAPINFOHEADER& header = info.header;
  header.biSize = kInfoHeaderSize;
  header.biWidth = facts.bmWidth;
  header.biHeight = facts.bmHeight;  // positive: rows bottom-up
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(bitCount);
  header.biCompression = BI_RGB;

  framework::MemoryDc dc;
  if (HasBitFields(bitCount)) {
    // The pixels are asked for in the layout the masks describe, so the file
    // and its masks always agree.
    Masks masks = ChooseMasks(dc.get(), bitmap, bitCount);
    header.biCompression = BI_BITFIELDS;
    std::memcpy(info.colors, masks.data(), sizeof masks);
  }

  std::vector<BYTE> file(fileSize);
  int rows = GetDIBits(dc.get(), bitmap, 0, static_cast<UINT>(facts.bmHeight),
                       file.data() + pixelOffset, info.get(), DIB_RGB_COLORS);
  if (rows != facts.bmHeight) throw framework::Exception("Cannot convert the bitmap");

  // The call may rewrite header fields; the file states what it holds.
  header.biSize = kInfoHeaderSize;
  header.biWidth = facts.bmWidth;
  header.biHeight = facts.bmHeight;
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(bitCount);
  header.biCompression = masksSize ? BI_BITFIELDS : BI_RGB;
  header.biSizeImage = static_cast<DWORD>(imageSize);
  header.biXPelsPerMeter = 0;
  header.biYPelsPerMeter = 0;
  header.biClrUsed = tableSize;
  header.biClrImportant = 0;

  file[0] = 'B';
  file[1] = 'M';
  Put32(file, 2, fileSize);
  Put32(file, 6, 0);
  Put32(file, 10, pixelOffset);
  PutInfoHeader(file, header);
  std::memcpy(file.data() + kFileHeaderSize + kInfoHeaderSize, info.colors,
              masksSize + tableSize * 4);
  return file;
}

// ------------------------------------------------------------ replacing a file

bool WriteWholeFile(HANDLE file, const BYTE* data, DWORD size) {
  DWORD written = 0;
  if (!WriteFile(file, data, size, &written, nullptr)) return false;
  if (written != size) {
    SetLastError(ERROR_WRITE_FAULT);
    return false;
  }
  return true;
}

void ReplaceFileContents(const std::string& path, const std::vector<BYTE>& bytes,
                         const FileWriter& write) {
  if (bytes.size() > 0x7FFFFFFF) throw framework::Exception("File too large");
  // Truncating a read-only file fails; replacing it must fail the same way,
  // whether or not the system's move checks the attribute.
  DWORD attributes = framework::FileAttributes(path);
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
    throw framework::Exception(framework::systemMessage(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)));
  framework::ReplacementFile file(path);
  if (!write(file.handle(), bytes.data(), static_cast<DWORD>(bytes.size())))
    framework::raiseLastError();
  file.PutInPlace();
}

}  // namespace output
