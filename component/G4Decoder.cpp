#include "component/G4Decoder.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace mdi {

namespace {

// --- Codes, as the recommendation's tables write them -----------------------------------

struct RunCode {
  int run;
  const char* code;
};

const RunCode kWhiteCodes[] = {
    {0, "00110101"},     {1, "000111"},       {2, "0111"},         {3, "1000"},
    {4, "1011"},         {5, "1100"},         {6, "1110"},         {7, "1111"},
    {8, "10011"},        {9, "10100"},        {10, "00111"},       {11, "01000"},
    {12, "001000"},      {13, "000011"},      {14, "110100"},      {15, "110101"},
    {16, "101010"},      {17, "101011"},      {18, "0100111"},     {19, "0001100"},
    {20, "0001000"},     {21, "0010111"},     {22, "0000011"},     {23, "0000100"},
    {24, "0101000"},     {25, "0101011"},     {26, "0010011"},     {27, "0100100"},
    {28, "0011000"},     {29, "00000010"},    {30, "00000011"},    {31, "00011010"},
    {32, "00011011"},    {33, "00010010"},    {34, "00010011"},    {35, "00010100"},
    {36, "00010101"},    {37, "00010110"},    {38, "00010111"},    {39, "00101000"},
    {40, "00101001"},    {41, "00101010"},    {42, "00101011"},    {43, "00101100"},
    {44, "00101101"},    {45, "00000100"},    {46, "00000101"},    {47, "00001010"},
    {48, "00001011"},    {49, "01010010"},    {50, "01010011"},    {51, "01010100"},
    {52, "01010101"},    {53, "00100100"},    {54, "00100101"},    {55, "01011000"},
    {56, "01011001"},    {57, "01011010"},    {58, "01011011"},    {59, "01001010"},
    {60, "01001011"},    {61, "00110010"},    {62, "00110011"},    {63, "00110100"},
    {64, "11011"},       {128, "10010"},      {192, "010111"},     {256, "0110111"},
    {320, "00110110"},   {384, "00110111"},   {448, "01100100"},   {512, "01100101"},
    {576, "01101000"},   {640, "01100111"},   {704, "011001100"},  {768, "011001101"},
    {832, "011010010"},  {896, "011010011"},  {960, "011010100"},  {1024, "011010101"},
    {1088, "011010110"}, {1152, "011010111"}, {1216, "011011000"}, {1280, "011011001"},
    {1344, "011011010"}, {1408, "011011011"}, {1472, "010011000"}, {1536, "010011001"},
    {1600, "010011010"}, {1664, "011000"},    {1728, "010011011"},
};

const RunCode kBlackCodes[] = {
    {0, "0000110111"},
    {1, "010"},
    {2, "11"},
    {3, "10"},
    {4, "011"},
    {5, "0011"},
    {6, "0010"},
    {7, "00011"},
    {8, "000101"},
    {9, "000100"},
    {10, "0000100"},
    {11, "0000101"},
    {12, "0000111"},
    {13, "00000100"},
    {14, "00000111"},
    {15, "000011000"},
    {16, "0000010111"},
    {17, "0000011000"},
    {18, "0000001000"},
    {19, "00001100111"},
    {20, "00001101000"},
    {21, "00001101100"},
    {22, "00000110111"},
    {23, "00000101000"},
    {24, "00000010111"},
    {25, "00000011000"},
    {26, "000011001010"},
    {27, "000011001011"},
    {28, "000011001100"},
    {29, "000011001101"},
    {30, "000001101000"},
    {31, "000001101001"},
    {32, "000001101010"},
    {33, "000001101011"},
    {34, "000011010010"},
    {35, "000011010011"},
    {36, "000011010100"},
    {37, "000011010101"},
    {38, "000011010110"},
    {39, "000011010111"},
    {40, "000001101100"},
    {41, "000001101101"},
    {42, "000011011010"},
    {43, "000011011011"},
    {44, "000001010100"},
    {45, "000001010101"},
    {46, "000001010110"},
    {47, "000001010111"},
    {48, "000001100100"},
    {49, "000001100101"},
    {50, "000001010010"},
    {51, "000001010011"},
    {52, "000000100100"},
    {53, "000000110111"},
    {54, "000000111000"},
    {55, "000000100111"},
    {56, "000000101000"},
    {57, "000001011000"},
    {58, "000001011001"},
    {59, "000000101011"},
    {60, "000000101100"},
    {61, "000001011010"},
    {62, "000001100110"},
    {63, "000001100111"},
    {64, "0000001111"},
    {128, "000011001000"},
    {192, "000011001001"},
    {256, "000001011011"},
    {320, "000000110011"},
    {384, "000000110100"},
    {448, "000000110101"},
    {512, "0000001101100"},
    {576, "0000001101101"},
    {640, "0000001001010"},
    {704, "0000001001011"},
    {768, "0000001001100"},
    {832, "0000001001101"},
    {896, "0000001110010"},
    {960, "0000001110011"},
    {1024, "0000001110100"},
    {1088, "0000001110101"},
    {1152, "0000001110110"},
    {1216, "0000001110111"},
    {1280, "0000001010010"},
    {1344, "0000001010011"},
    {1408, "0000001010100"},
    {1472, "0000001010101"},
    {1536, "0000001011010"},
    {1600, "0000001011011"},
    {1664, "0000001100100"},
    {1728, "0000001100101"},
};

// Make-up codes both colours share, for runs past 1728.
const RunCode kSharedCodes[] = {
    {1792, "00000001000"},  {1856, "00000001100"},  {1920, "00000001101"},  {1984, "000000010010"},
    {2048, "000000010011"}, {2112, "000000010100"}, {2176, "000000010101"}, {2240, "000000010110"},
    {2304, "000000010111"}, {2368, "000000011100"}, {2432, "000000011101"}, {2496, "000000011110"},
    {2560, "000000011111"},
};

// --- Lookup tables: the next bits index straight to the code they start with -------------

struct RunEntry {
  uint16_t run = 0;
  uint8_t length = 0;  // 0: no code starts with these bits
};

enum class Mode : uint8_t { Invalid, Pass, Horizontal, Vertical, Extension, Zeros };

struct ModeEntry {
  Mode mode = Mode::Invalid;
  uint8_t length = 0;
  int8_t delta = 0;  // vertical modes: a1 - b1
};

constexpr int kWhiteBits = 12;
constexpr int kBlackBits = 13;
constexpr int kModeBits = 7;

struct Tables {
  RunEntry white[1 << kWhiteBits];
  RunEntry black[1 << kBlackBits];
  ModeEntry modes[1 << kModeBits];

  Tables() {
    for (const RunCode& c : kWhiteCodes) add(white, kWhiteBits, c);
    for (const RunCode& c : kBlackCodes) add(black, kBlackBits, c);
    for (const RunCode& c : kSharedCodes) {
      add(white, kWhiteBits, c);
      add(black, kBlackBits, c);
    }
    mode("1", Mode::Vertical, 0);
    mode("011", Mode::Vertical, 1);
    mode("000011", Mode::Vertical, 2);
    mode("0000011", Mode::Vertical, 3);
    mode("010", Mode::Vertical, -1);
    mode("000010", Mode::Vertical, -2);
    mode("0000010", Mode::Vertical, -3);
    mode("001", Mode::Horizontal, 0);
    mode("0001", Mode::Pass, 0);
    mode("0000001", Mode::Extension, 0);
    mode("0000000", Mode::Zeros, 0);
  }

  template <class Entry, class Fill>
  static void spread(Entry* table, int indexBits, const char* code, Fill fill) {
    const int length = int(std::strlen(code));
    uint32_t value = 0;
    for (int i = 0; i < length; ++i) value = value << 1 | uint32_t(code[i] == '1');
    const uint32_t first = value << (indexBits - length);
    const uint32_t count = 1u << (indexBits - length);
    for (uint32_t i = 0; i < count; ++i) fill(table[first + i], uint8_t(length));
  }
  static void add(RunEntry* table, int indexBits, const RunCode& c) {
    spread(table, indexBits, c.code, [&](RunEntry& e, uint8_t length) {
      e.run = uint16_t(c.run);
      e.length = length;
    });
  }
  void mode(const char* code, Mode m, int delta) {
    spread(modes, kModeBits, code, [&](ModeEntry& e, uint8_t length) {
      e.mode = m;
      e.length = length;
      e.delta = int8_t(delta);
    });
  }
};

const Tables& tables() {
  static const Tables instance;
  return instance;
}

// Most significant bit first; past the data's end it reads zeros, and says so.
class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size) : next_(data), end_(data + size) {}

  uint32_t peek(int count) {
    if (held_ < 32) refill();
    return uint32_t(buffer_ >> (64 - count));
  }
  void skip(int count) {
    buffer_ <<= count;
    held_ -= count;
  }
  // True once more bits were taken than the data holds.
  bool overrun() const { return next_ == end_ && held_ < padding_; }

 private:
  void refill() {
    while (held_ <= 56) {
      uint64_t byte = 0;
      if (next_ != end_)
        byte = *next_++;
      else
        padding_ += 8;
      buffer_ |= byte << (56 - held_);
      held_ += 8;
    }
  }

  const uint8_t* next_;
  const uint8_t* end_;
  uint64_t buffer_ = 0;
  int held_ = 0;
  int padding_ = 0;  // zero bits added past the end, still in the buffer or already taken
};

// One run: make-up codes (64 and longer) add up until a terminating code ends it.
bool readRun(BitReader& bits, const RunEntry* table, int indexBits, uint32_t limit, uint32_t& run) {
  run = 0;
  for (;;) {
    const RunEntry& entry = table[bits.peek(indexBits)];
    if (!entry.length) return false;
    bits.skip(entry.length);
    run += entry.run;
    if (entry.run < 64) return true;
    if (run > limit) return false;
  }
}

// Clears the bits of pixels [from, to) of a row, most significant bit first.
void clearRun(uint8_t* row, uint32_t from, uint32_t to) {
  if (from >= to) return;
  const uint32_t firstByte = from >> 3, lastByte = (to - 1) >> 3;
  const uint8_t head = uint8_t(0xFF >> (from & 7));
  const uint8_t tail = uint8_t(0xFF << (7 - ((to - 1) & 7)));
  if (firstByte == lastByte) {
    row[firstByte] &= uint8_t(~(head & tail));
    return;
  }
  row[firstByte] &= uint8_t(~head);
  std::memset(row + firstByte + 1, 0, lastByte - firstByte - 1);
  row[lastByte] &= uint8_t(~tail);
}

}  // namespace

bool decodeG4Strip(const uint8_t* data, size_t size, uint32_t width, uint32_t rows, uint8_t* out,
                   size_t stride) {
  if (width == 0 || width > (1u << 24) || stride < (size_t(width) + 7) / 8) return false;
  const Tables& t = tables();
  BitReader bits(data, size);
  const int64_t w = width;
  // Changing elements: where the colour changes, white to black at even indices. Each line
  // ends with sentinels at the width, so the search for b1 and b2 always stops.
  constexpr size_t kSentinels = 4;
  std::vector<int64_t> reference(width + 2 + kSentinels, w), coding(width + 2 + kSentinels, w);
  size_t referenceCount = 0;  // the imaginary white line before the first
  for (uint32_t row = 0; row < rows; ++row) {
    for (size_t k = 0; k < kSentinels; ++k) reference[referenceCount + k] = w;
    int64_t a0 = -1;
    int colour = 0;  // 0 white, 1 black
    size_t count = 0, b = 0;
    while (a0 < w) {
      // b1: the first change to the other colour right of a0; its index has the colour's parity.
      while (reference[b] <= a0) b += 2;
      const ModeEntry& m = t.modes[bits.peek(kModeBits)];
      switch (m.mode) {
        case Mode::Vertical: {
          bits.skip(m.length);
          const int64_t a1 = reference[b] + m.delta;
          if (a1 < 0 || a1 > w || a1 < a0) return false;
          coding[count++] = a1;
          a0 = a1;
          colour ^= 1;
          b = b > 0 ? b - 1 : b + 1;  // back to the other colour's parity
          break;
        }
        case Mode::Horizontal: {
          bits.skip(m.length);
          uint32_t first = 0, second = 0;
          const RunEntry* firstTable = colour ? t.black : t.white;
          const RunEntry* secondTable = colour ? t.white : t.black;
          if (!readRun(bits, firstTable, colour ? kBlackBits : kWhiteBits, width, first) ||
              !readRun(bits, secondTable, colour ? kWhiteBits : kBlackBits, width, second))
            return false;
          const int64_t a1 = std::max<int64_t>(a0, 0) + first;
          const int64_t a2 = a1 + second;
          if (a2 > w) return false;
          coding[count++] = a1;
          coding[count++] = a2;
          a0 = a2;
          break;
        }
        case Mode::Pass:
          bits.skip(m.length);
          a0 = reference[b + 1];
          b += 2;
          break;
        default:  // end of block before the last row, the uncompressed extension, or junk
          return false;
      }
      if (bits.overrun()) return false;
    }
    // Paint the line and keep its changes, without empty runs, as the next reference.
    uint8_t* line = out + size_t(row) * stride;
    std::memset(line, 0xFF, stride);
    referenceCount = 0;
    for (size_t k = 0; k < count; ++k) {
      const int64_t at = std::min(coding[k], w);
      if (referenceCount && reference[referenceCount - 1] == at)
        --referenceCount;  // two changes at one place cancel
      else
        reference[referenceCount++] = at;
    }
    while (referenceCount && reference[referenceCount - 1] >= w) --referenceCount;
    for (size_t k = 0; k < referenceCount; k += 2)
      clearRun(line, uint32_t(reference[k]),
               uint32_t(k + 1 < referenceCount ? reference[k + 1] : w));
  }
  return true;
}

namespace {

// Fill order 2 (bits reversed within bytes) and the uncompressed mode are left to others.
bool plainCoding(const Document& document, const Page& page) {
  const ByteSource& source = document.source();
  const bool big = document.bigEndian();
  auto u16 = [big](const uint8_t* p) { return big ? p[0] << 8 | p[1] : p[1] << 8 | p[0]; };
  auto u32 = [big](const uint8_t* p) {
    return big ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
               : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
  };
  uint8_t countBytes[2];
  source.read(page.ifdOffset, countBytes, 2);
  std::vector<uint8_t> entries(size_t(u16(countBytes)) * 12);
  source.read(page.ifdOffset + 2, entries.data(), entries.size());
  for (size_t i = 0; i < entries.size(); i += 12) {
    const uint8_t* entry = entries.data() + i;
    const int tag = u16(entry), type = u16(entry + 2);
    const uint32_t value = type == 3 ? uint32_t(u16(entry + 8)) : u32(entry + 8);
    if (tag == 266 && value != 1) return false;
    if (tag == 293 && (value & 2)) return false;
  }
  return true;
}

}  // namespace

std::optional<PageImage> decodeG4Page(const Document& document, size_t index,
                                      std::vector<uint8_t> storage) {
  const Page& page = document.page(index);
  if (page.compression != 4 || page.bitsPerSample != 1 || page.samplesPerPixel != 1 ||
      page.photometric > 1 || page.tiled || page.width == 0 || page.height == 0 ||
      !plainCoding(document, page))
    return std::nullopt;
  const uint32_t rowsPerStrip =
      page.rowsPerStrip && page.rowsPerStrip < page.height ? page.rowsPerStrip : page.height;
  const std::vector<DataChunk> strips = document.pageData(index);
  if (strips.size() < (uint64_t(page.height) + rowsPerStrip - 1) / rowsPerStrip)
    return std::nullopt;
  PageImage image;
  image.width = page.width;
  image.height = page.height;
  image.bitsPerPixel = 1;
  image.stride = ((page.width + 31) / 32) * 4;
  image.pixels = std::move(storage);
  image.pixels.resize(size_t(image.stride) * page.height);
  for (uint32_t first = 0, strip = 0; first < page.height; first += rowsPerStrip, ++strip) {
    const uint32_t rows = std::min(rowsPerStrip, page.height - first);
    const std::vector<uint8_t> bytes = document.chunkBytes(strips[strip]);
    if (!decodeG4Strip(bytes.data(), bytes.size(), page.width, rows,
                       image.pixels.data() + size_t(first) * image.stride, image.stride))
      return std::nullopt;
  }
  // Photometric 1 has black as zero: the runs coded white are the black ones.
  if (page.photometric == 1)
    for (uint8_t& byte : image.pixels) byte = uint8_t(~byte);
  return image;
}

}  // namespace mdi
