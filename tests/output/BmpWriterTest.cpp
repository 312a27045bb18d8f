// The BMP writer against bitmaps of every depth, read back by the test's own
// reader; and the file replacement that never leaves a half-written file.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/Exception.h"
#include "output/BmpWriter.h"
#include "output/Picture.h"
#include "tests/output/BmpReader.h"
#include "tests/output/OutputTestSupport.h"
#include "tests/support/FormHarness.h"

using testing_support::BmpFile;
using testing_support::ParseBmp;

namespace {

// The bits a pattern bitmap is made of: rows top-down, word-aligned as
// CreateBitmap takes them.
struct Pattern {
  int width, height, bitCount;
  int Stride() const { return (width * bitCount + 15) / 16 * 2; }
  BYTE Byte(size_t i) const { return static_cast<BYTE>(i * 53 + 7); }
  uint32_t Pixel(int x, int y) const {
    size_t row = static_cast<size_t>(y * Stride());
    size_t bit = static_cast<size_t>(x * bitCount);
    if (bitCount < 8) {
      int shift = 8 - bitCount - static_cast<int>(bit % 8);
      return (Byte(row + bit / 8) >> shift) & ((1u << bitCount) - 1);
    }
    uint32_t value = 0;
    for (int i = bitCount / 8 - 1; i >= 0; --i)
      value = (value << 8) | Byte(row + bit / 8 + static_cast<size_t>(i));
    return value;
  }
  HBITMAP Create() const {
    std::vector<BYTE> bits(static_cast<size_t>(Stride() * height));
    for (size_t i = 0; i < bits.size(); ++i) bits[i] = Byte(i);
    return CreateBitmap(width, height, 1, static_cast<UINT>(bitCount), bits.data());
  }
};

// The bitmap's colours as the system renders it at 32 bits, top-down: the
// reference the file's decoded colours are compared with.
std::vector<uint32_t> TrueColors(HBITMAP bitmap, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<uint32_t> colors(static_cast<size_t>(width * height));
  HDC dc = CreateCompatibleDC(nullptr);
  int rows =
      GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), colors.data(), &info, DIB_RGB_COLORS);
  DeleteDC(dc);
  EXPECT_EQ(rows, height);
  return colors;
}

// Every pixel of the file, decoded through its table or masks, compared with
// the system's colour at the precision of the file's colour components.
void ExpectSamePixels(const BmpFile& file, HBITMAP bitmap) {
  std::vector<uint32_t> colors = TrueColors(bitmap, file.width, file.height);
  int mismatches = 0;
  for (int y = 0; y < file.height; ++y) {
    for (int x = 0; x < file.width; ++x) {
      uint32_t expected = colors[static_cast<size_t>(y * file.width + x)];
      BmpFile::Color got = file.PixelColor(x, y);
      auto reduce = [](uint32_t component, int bits) { return (component & 0xFF) >> (8 - bits); };
      bool same = got.red == reduce(expected >> 16, got.redBits) &&
                  got.green == reduce(expected >> 8, got.greenBits) &&
                  got.blue == reduce(expected, got.blueBits);
      if (!same && ++mismatches <= 5)
        ADD_FAILURE() << "pixel " << x << "," << y << ": file " << got.red << "/" << got.green
                      << "/" << got.blue << ", bitmap 0x" << std::hex << expected;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

struct DepthCase {
  int bitCount, width, height;
};

class BmpWriterDepth : public testing::TestWithParam<DepthCase> {};

TEST_P(BmpWriterDepth, WritesEveryHeaderFieldTableAndPixel) {
  const DepthCase row = GetParam();
  const Pattern pattern{row.width, row.height, row.bitCount};
  HBITMAP bitmap = pattern.Create();
  ASSERT_TRUE(bitmap);
  std::vector<BYTE> bytes = output::BmpFileBytes(bitmap);
  BmpFile file = ParseBmp(std::string(bytes.begin(), bytes.end()));

  const bool masked = row.bitCount == 16 || row.bitCount == 32;
  const uint32_t tableEntries = row.bitCount <= 8 ? 1u << row.bitCount : 0;
  const uint32_t stride = (static_cast<uint32_t>(row.width) * row.bitCount + 31) / 32 * 4;
  const uint32_t offset = 14 + 40 + (masked ? 12 : 0) + 4 * tableEntries;
  EXPECT_EQ(file.signature, "BM");
  EXPECT_EQ(file.fileSize, bytes.size());
  EXPECT_EQ(file.reserved, 0u);
  EXPECT_EQ(file.pixelOffset, offset);
  EXPECT_EQ(file.headerSize, 40u);
  EXPECT_EQ(file.width, row.width);
  EXPECT_EQ(file.height, row.height);  // positive: bottom-up
  EXPECT_EQ(file.planes, 1);
  EXPECT_EQ(file.bitCount, row.bitCount);
  EXPECT_EQ(file.compression, masked ? static_cast<uint32_t>(BI_BITFIELDS) : BI_RGB);
  EXPECT_EQ(file.imageSize, stride * static_cast<uint32_t>(row.height));
  EXPECT_EQ(file.colorsUsed, tableEntries);
  EXPECT_EQ(file.colorsImportant, 0u);
  EXPECT_EQ(bytes.size(), offset + stride * static_cast<uint32_t>(row.height));
  EXPECT_EQ(file.colorTable.size(), tableEntries);
  // Wine describes its 16-bit device bitmaps as 5-5-5 bit fields and its
  // 32-bit ones without masks.
  using Masks = std::array<uint32_t, 3>;
  if (row.bitCount == 16) {
    EXPECT_EQ(file.masks, (Masks{0x7C00, 0x03E0, 0x001F}));
  } else if (row.bitCount == 32) {
    EXPECT_EQ(file.masks, (Masks{0xFF0000, 0x00FF00, 0x0000FF}));
  }
  ExpectSamePixels(file, bitmap);
  // Indexes and direct pixels keep their stored values.
  {
    int mismatches = 0;
    for (int y = 0; y < row.height; ++y)
      for (int x = 0; x < row.width; ++x)
        if (file.RawPixel(x, y) != pattern.Pixel(x, y) && ++mismatches <= 5)
          ADD_FAILURE() << "pixel " << x << "," << y << ": file " << file.RawPixel(x, y)
                        << ", bitmap " << pattern.Pixel(x, y);
    EXPECT_EQ(mismatches, 0);
  }
  DeleteObject(bitmap);
}

INSTANTIATE_TEST_SUITE_P(Depths, BmpWriterDepth,
                         testing::Values(DepthCase{1, 13, 5}, DepthCase{4, 7, 3},
                                         DepthCase{8, 5, 4}, DepthCase{16, 3, 3},
                                         DepthCase{24, 5, 2}, DepthCase{32, 3, 2}),
                         [](const testing::TestParamInfo<DepthCase>& info) {
                           return std::to_string(info.param.bitCount) + "bits";
                         });

// A DIB section of the given format with a fixed pattern of bits.
HBITMAP PatternSection(int bitCount, DWORD compression, std::array<DWORD, 3> masks) {
  struct {
    BITMAPINFOHEADER header;
    DWORD masks[3];
  } info{};
  info.header = {
      sizeof(BITMAPINFOHEADER), 5, 3, 1, static_cast<WORD>(bitCount), compression, 0, 0, 0, 0, 0};
  std::copy(masks.begin(), masks.end(), info.masks);
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                     &bits, nullptr, 0);
  if (!section) return nullptr;
  DIBSECTION facts{};
  GetObjectA(section, sizeof facts, &facts);
  auto* bytes = static_cast<BYTE*>(bits);
  for (size_t i = 0; i < facts.dsBmih.biSizeImage; ++i) bytes[i] = static_cast<BYTE>(i * 53 + 7);
  return section;
}

// Rows: a bitmap's format → the masks its file carries.
struct MaskCase {
  const char* name;
  int bitCount;
  DWORD compression;
  std::array<DWORD, 3> sectionMasks;
  std::array<uint32_t, 3> fileMasks;
};

TEST(BmpWriter, BitFieldMasksAreTheSystemsOrTheDefaults) {
  const MaskCase rows[] = {
      // The system describes bit-field bitmaps with their masks: kept.
      {"16 bits, 4-4-4 masks",
       16,
       BI_BITFIELDS,
       {0x0F00, 0x00F0, 0x000F},
       {0x0F00, 0x00F0, 0x000F}},
      {"32 bits, red and blue swapped",
       32,
       BI_BITFIELDS,
       {0x0000FF, 0x00FF00, 0xFF0000},
       {0x0000FF, 0x00FF00, 0xFF0000}},
      // Wine describes a plain 16-bit bitmap as 5-5-5 bit fields, so the 5-6-5
      // default is never needed here; Windows may describe it without masks.
      {"16 bits, plain", 16, BI_RGB, {}, {0x7C00, 0x03E0, 0x001F}},
      // Without masks from the system: one byte per colour at 32 bits.
      {"32 bits without masks", 32, BI_RGB, {}, {0xFF0000, 0x00FF00, 0x0000FF}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    HBITMAP section = PatternSection(row.bitCount, row.compression, row.sectionMasks);
    ASSERT_TRUE(section);
    std::vector<BYTE> bytes = output::BmpFileBytes(section);
    BmpFile file = ParseBmp(std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(file.compression, static_cast<uint32_t>(BI_BITFIELDS));
    EXPECT_EQ(file.pixelOffset, 14u + 40u + 12u);
    EXPECT_EQ(file.masks, row.fileMasks);
    EXPECT_EQ(file.imageSize, file.Stride() * 3);
    ExpectSamePixels(file, section);
    DeleteObject(section);
  }
}

TEST(BmpWriter, RefusesWhatIsNotABitmap) {
  EXPECT_THROW(output::BmpFileBytes(nullptr), framework::Exception);
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  EXPECT_THROW(output::BmpFileBytes(reinterpret_cast<HBITMAP>(brush)), framework::Exception);
  DeleteObject(brush);
}

// -------------------------------------------------------------- replacing a file

TEST(ReplaceFileContents, PutsTheNewBytesInPlaceAndLeavesNothingElse) {
  testing_support::TempDir dir;
  std::string path = dir.write("target.bmp", "old");
  output::ReplaceFileContents(path, {'n', 'e', 'w', '!'});
  EXPECT_EQ(testing_support::ReadFileBytes(path), "new!");
  EXPECT_EQ(testing_support::FolderEntries(dir.path()), std::vector<std::string>{"target.bmp"});
  output::ReplaceFileContents(dir.file("fresh.bmp"), {'x'});
  EXPECT_EQ(testing_support::ReadFileBytes(dir.file("fresh.bmp")), "x");
}

TEST(ReplaceFileContents, AFailingWriteKeepsTheEarlierFileAndRemovesTheTemporaryOne) {
  testing_support::TempDir dir;
  std::string path = dir.write("target.bmp", "old");
  std::string temporary;
  auto failing = [&](HANDLE file, const BYTE* data, DWORD size) {
    DWORD written = 0;
    WriteFile(file, data, size / 2, &written, nullptr);
    // The half-written file sits beside the target, under another name.
    auto names = testing_support::FolderEntries(dir.path());
    EXPECT_EQ(names.size(), 2u);
    for (const auto& name : names)
      if (name != "target.bmp") temporary = name;
    SetLastError(ERROR_DISK_FULL);
    return false;
  };
  EXPECT_THROW(output::ReplaceFileContents(path, std::vector<BYTE>(100, 'n'), failing),
               framework::Exception);
  EXPECT_FALSE(temporary.empty());
  EXPECT_EQ(testing_support::ReadFileBytes(path), "old");
  EXPECT_EQ(testing_support::FolderEntries(dir.path()), std::vector<std::string>{"target.bmp"});
}

}  // namespace
