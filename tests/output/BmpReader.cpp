#include "tests/output/BmpReader.h"

#include <gtest/gtest.h>

namespace testing_support {

namespace {

uint32_t Read(const std::vector<uint8_t>& bytes, size_t at, int size) {
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) {
    size_t index = at + static_cast<size_t>(i);
    value = (value << 8) | (index < bytes.size() ? bytes[index] : 0);
  }
  return value;
}

int Shift(uint32_t mask) {
  int shift = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

int Width(uint32_t mask) {
  int width = 0;
  for (; mask; mask &= mask - 1) ++width;
  return width;
}

}  // namespace

BmpFile ParseBmp(const std::string& text) {
  BmpFile file;
  file.bytes.assign(text.begin(), text.end());
  const auto& b = file.bytes;
  if (b.size() < 54) {
    ADD_FAILURE() << "file too short: " << b.size() << " bytes";
    return file;
  }
  file.signature = text.substr(0, 2);
  file.fileSize = Read(b, 2, 4);
  file.reserved = Read(b, 6, 4);
  file.pixelOffset = Read(b, 10, 4);
  file.headerSize = Read(b, 14, 4);
  file.width = static_cast<int32_t>(Read(b, 18, 4));
  file.height = static_cast<int32_t>(Read(b, 22, 4));
  file.planes = static_cast<uint16_t>(Read(b, 26, 2));
  file.bitCount = static_cast<uint16_t>(Read(b, 28, 2));
  file.compression = Read(b, 30, 4);
  file.imageSize = Read(b, 34, 4);
  file.xPelsPerMeter = static_cast<int32_t>(Read(b, 38, 4));
  file.yPelsPerMeter = static_cast<int32_t>(Read(b, 42, 4));
  file.colorsUsed = Read(b, 46, 4);
  file.colorsImportant = Read(b, 50, 4);
  size_t at = 14 + file.headerSize;
  if (file.compression == BI_BITFIELDS) {
    file.hasMasks = true;
    for (int i = 0; i < 3; ++i) file.masks[static_cast<size_t>(i)] = Read(b, at + 4 * i, 4);
    at += 12;
  }
  size_t entries = file.colorsUsed;
  if (!entries && file.bitCount <= 8) entries = size_t{1} << file.bitCount;
  for (size_t i = 0; i < entries; ++i, at += 4)
    file.colorTable.push_back(
        {static_cast<BYTE>(Read(b, at, 1)), static_cast<BYTE>(Read(b, at + 1, 1)),
         static_cast<BYTE>(Read(b, at + 2, 1)), static_cast<BYTE>(Read(b, at + 3, 1))});
  if (at > file.pixelOffset) ADD_FAILURE() << "the pixels start inside the headers";
  return file;
}

uint32_t BmpFile::Stride() const {
  return (static_cast<uint32_t>(width) * bitCount + 31) / 32 * 4;
}

uint32_t BmpFile::RawPixel(int x, int y) const {
  // Rows are stored bottom-up.
  size_t row = pixelOffset + static_cast<size_t>(height - 1 - y) * Stride();
  size_t bit = static_cast<size_t>(x) * bitCount;
  if (row + (bit + bitCount + 7) / 8 > bytes.size()) {
    ADD_FAILURE() << "pixel " << x << "," << y << " lies beyond the end of the file";
    return 0;
  }
  if (bitCount < 8) {
    uint8_t byte = bytes[row + bit / 8];
    int shift = 8 - bitCount - static_cast<int>(bit % 8);  // leftmost pixel in the high bits
    return (byte >> shift) & ((1u << bitCount) - 1);
  }
  return Read(bytes, row + bit / 8, bitCount / 8);
}

BmpFile::Color BmpFile::PixelColor(int x, int y) const {
  uint32_t raw = RawPixel(x, y);
  if (bitCount <= 8) {
    if (raw >= colorTable.size()) {
      ADD_FAILURE() << "index " << raw << " outside the colour table";
      return {};
    }
    const RGBQUAD& entry = colorTable[raw];
    return {entry.rgbRed, entry.rgbGreen, entry.rgbBlue, 8, 8, 8};
  }
  std::array<uint32_t, 3> m = masks;
  if (!hasMasks) m = {0xFF0000, 0x00FF00, 0x0000FF};  // 24 bits: blue, green, red bytes
  return {(raw & m[0]) >> Shift(m[0]),
          (raw & m[1]) >> Shift(m[1]),
          (raw & m[2]) >> Shift(m[2]),
          Width(m[0]),
          Width(m[1]),
          Width(m[2])};
}

}  // namespace testing_support
