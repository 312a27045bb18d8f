// A BMP file reader written for the tests, independent of the program's writer:
// it parses the bytes field by field and decodes pixels to colours.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct BmpFile {
  // File header.
  std::string signature;
  uint32_t fileSize = 0, reserved = 0, pixelOffset = 0;
  // Information header.
  uint32_t headerSize = 0;
  int32_t width = 0, height = 0;
  uint16_t planes = 0, bitCount = 0;
  uint32_t compression = 0, imageSize = 0;
  int32_t xPelsPerMeter = 0, yPelsPerMeter = 0;
  uint32_t colorsUsed = 0, colorsImportant = 0;
  // Masks (bit fields only) and colour table, as found after the header.
  bool hasMasks = false;
  std::array<uint32_t, 3> masks{};
  std::vector<RGBQUAD> colorTable;
  std::vector<uint8_t> bytes;  // the whole file

  // Bytes per stored row, padded to 4.
  uint32_t Stride() const;
  // The stored value of pixel (x, y), y counted from the top of the picture.
  uint32_t RawPixel(int x, int y) const;
  // Red, green and blue of pixel (x, y), each reduced to `bits` significant bits
  // of the component's width in the file (8 for tables and 24 bits).
  struct Color {
    uint32_t red, green, blue;
    int redBits, greenBits, blueBits;
  };
  Color PixelColor(int x, int y) const;
};

// Parses a BMP file; records every problem with gtest's ADD_FAILURE.
BmpFile ParseBmp(const std::string& bytes);

}  // namespace testing_support
