// CCITT Group 4 (ITU-T T.6) coding of 1-bit pages: two-dimensional coding against the
// previous line, starting from an imaginary white line, ending with EOFB.
#include <cstring>

#include "tools/docwriter/DocWriter.h"

namespace docwriter {

namespace {

struct Code {
  uint16_t length;
  uint16_t bits;
};

// Codes are written as strings of '0'/'1' so that they read like the recommendation's tables.
struct RunCode {
  int run;
  const char* code;
};

const RunCode kWhite[] = {
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

const RunCode kBlack[] = {
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

// Make-up codes past 1728, the same for both colours.
const RunCode kExtended[] = {
    {1792, "00000001000"},  {1856, "00000001100"},  {1920, "00000001101"},  {1984, "000000010010"},
    {2048, "000000010011"}, {2112, "000000010100"}, {2176, "000000010101"}, {2240, "000000010110"},
    {2304, "000000010111"}, {2368, "000000011100"}, {2432, "000000011101"}, {2496, "000000011110"},
    {2560, "000000011111"},
};

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
  void put(const char* code) {
    for (const char* c = code; *c; ++c) bit(*c == '1');
  }
  void flush() {
    while (used_) bit(false);
  }

 private:
  void bit(bool b) {
    acc_ = uint8_t(acc_ << 1 | b);
    if (++used_ == 8) {
      out_.push_back(acc_);
      acc_ = 0;
      used_ = 0;
    }
  }
  std::vector<uint8_t>& out_;
  uint8_t acc_ = 0;
  int used_ = 0;
};

const char* lookup(const RunCode* table, size_t n, int run) {
  for (size_t i = 0; i < n; ++i)
    if (table[i].run == run) return table[i].code;
  return nullptr;
}

// A run: make-up codes for the multiples of 64, then the terminating code.
void putRun(BitWriter& w, bool black, int run) {
  const RunCode* table = black ? kBlack : kWhite;
  size_t n = black ? sizeof(kBlack) / sizeof(kBlack[0]) : sizeof(kWhite) / sizeof(kWhite[0]);
  while (run >= 2560 + 64) {
    w.put(lookup(kExtended, 13, 2560));
    run -= 2560;
  }
  if (run >= 64) {
    int makeup = run / 64 * 64;
    const char* code = makeup > 1728 ? lookup(kExtended, 13, makeup) : lookup(table, n, makeup);
    w.put(code);
    run -= makeup;
  }
  w.put(lookup(table, n, run));
}

// The line's pixels as 0 (white) and 1 (black).
class Line {
 public:
  Line(const uint8_t* row, int width) : row_(row), width_(width) {}
  int at(int x) const { return row_ ? (row_[x >> 3] >> (7 - (x & 7))) & 1 : 0; }
  // The first position at or after `from` whose colour is not `colour`; the width if none.
  int next(int from, int colour) const {
    int x = from;
    while (x < width_ && at(x) == colour) ++x;
    return x;
  }

 private:
  const uint8_t* row_;
  int width_;
};

}  // namespace

std::vector<uint8_t> encodeG4(const Raster& raster) {
  std::vector<uint8_t> out;
  BitWriter w(out);
  const int width = int(raster.width);
  static const char* const kVertical[7] = {"0000011", "000011", "011",    "1",
                                           "010",     "000010", "0000010"};
  const uint8_t* previous = nullptr;  // the imaginary all-white line above the page
  for (uint32_t y = 0; y < raster.height; ++y) {
    const uint8_t* row = raster.data.data() + y * raster.stride();
    Line coding(row, width), reference(previous, width);
    // a0 starts on an imaginary white pixel before the line.
    int a0 = 0;
    int colour = 0;  // a0's colour
    int a1 = coding.at(0) ? 0 : coding.next(0, 0);
    int b1 = reference.at(0) ? 0 : reference.next(0, 0);
    for (;;) {
      int b2 = b1 < width ? reference.next(b1, reference.at(b1)) : width;
      if (b2 < a1) {
        w.put("0001");  // pass
        a0 = b2;
      } else if (b1 - a1 >= -3 && b1 - a1 <= 3) {
        w.put(kVertical[b1 - a1 + 3]);
        a0 = a1;
        colour ^= 1;
      } else {
        int a2 = a1 < width ? coding.next(a1, coding.at(a1)) : width;
        w.put("001");  // horizontal
        putRun(w, colour == 1, a1 - a0);
        putRun(w, colour == 0, a2 - a1);
        a0 = a2;
      }
      if (a0 >= width) break;
      a1 = coding.next(a0, colour);
      b1 = reference.next(a0, 1 - colour);
      b1 = reference.next(b1, colour);
    }
    previous = row;
  }
  w.put("000000000001");  // EOFB
  w.put("000000000001");
  w.flush();
  return out;
}

}  // namespace docwriter
