// A small baseline JPEG encoder (sequential DCT, the example Huffman tables of ITU-T T.81
// Annex K): enough for grey and colour test pages and the sample.
#include <algorithm>
#include <cmath>

#include "tools/docwriter/DocWriter.h"

namespace docwriter {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr float kSqrtHalf = 0.70710678f;

const uint8_t kLumaQuant[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99,
};
const uint8_t kChromaQuant[64] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
};

struct HuffSpec {
  uint8_t counts[16];
  std::vector<uint8_t> values;
};

const HuffSpec kLumaDc = {{0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0},
                          {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}};
const HuffSpec kChromaDc = {{0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0},
                            {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}};
const HuffSpec kLumaAc = {
    {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d},
    {0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61,
     0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52,
     0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25,
     0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45,
     0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64,
     0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
     0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99,
     0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6,
     0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3,
     0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8,
     0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa}};
const HuffSpec kChromaAc = {
    {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77},
    {0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61,
     0x71, 0x13, 0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33,
     0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1, 0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18,
     0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44,
     0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63,
     0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
     0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97,
     0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4,
     0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca,
     0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7,
     0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa}};

// Code and length per symbol, derived from a table's counts (T.81 Annex C).
struct HuffTable {
  uint16_t code[256] = {};
  uint8_t size[256] = {};
  explicit HuffTable(const HuffSpec& spec) {
    uint16_t next = 0;
    size_t k = 0;
    for (int len = 1; len <= 16; ++len) {
      for (int i = 0; i < spec.counts[len - 1]; ++i, ++k) {
        code[spec.values[k]] = next++;
        size[spec.values[k]] = uint8_t(len);
      }
      next = uint16_t(next << 1);
    }
  }
};

// Natural (row-major) index of each coefficient in zig-zag order.
std::vector<int> zigzag() {
  std::vector<int> order;
  for (int s = 0; s < 15; ++s) {
    int lo = std::max(0, s - 7), hi = std::min(s, 7);
    for (int i = lo; i <= hi; ++i) {
      int row = (s % 2 == 0) ? s - i : i;  // even diagonals run upwards
      int col = s - row;
      order.push_back(row * 8 + col);
    }
  }
  return order;
}

class BitSink {
 public:
  explicit BitSink(std::vector<uint8_t>& out) : out_(out) {}
  void put(uint32_t bits, int count) {
    for (int i = count - 1; i >= 0; --i) {
      acc_ = uint8_t(acc_ << 1 | ((bits >> i) & 1));
      if (++used_ == 8) emit();
    }
  }
  void flush() {
    while (used_) put(1, 1);  // pad with ones
  }

 private:
  void emit() {
    out_.push_back(acc_);
    if (acc_ == 0xFF) out_.push_back(0);  // byte stuffing
    acc_ = 0;
    used_ = 0;
  }
  std::vector<uint8_t>& out_;
  uint8_t acc_ = 0;
  int used_ = 0;
};

struct Component {
  const HuffTable* dc;
  const HuffTable* ac;
  const int* quant;  // natural order
  int lastDc = 0;
};

void put16(std::vector<uint8_t>& out, int v) {
  out.push_back(uint8_t(v >> 8));
  out.push_back(uint8_t(v));
}

void writeDht(std::vector<uint8_t>& out, int classAndId, const HuffSpec& spec) {
  out.insert(out.end(), {0xFF, 0xC4});
  put16(out, int(2 + 1 + 16 + spec.values.size()));
  out.push_back(uint8_t(classAndId));
  out.insert(out.end(), spec.counts, spec.counts + 16);
  out.insert(out.end(), spec.values.begin(), spec.values.end());
}

int magnitudeBits(int v) {
  int a = v < 0 ? -v : v, n = 0;
  while (a) ++n, a >>= 1;
  return n;
}

void encodeBlock(BitSink& sink, const float block[64], Component& c, const std::vector<int>& zz) {
  static float cosTable[8][8];
  static bool ready = false;
  if (!ready) {
    for (int x = 0; x < 8; ++x)
      for (int u = 0; u < 8; ++u) cosTable[x][u] = float(std::cos((2 * x + 1) * u * kPi / 16));
    ready = true;
  }
  float tmp[64], coef[64];
  for (int y = 0; y < 8; ++y)  // rows
    for (int u = 0; u < 8; ++u) {
      float s = 0;
      for (int x = 0; x < 8; ++x) s += block[y * 8 + x] * cosTable[x][u];
      tmp[y * 8 + u] = s * (u == 0 ? kSqrtHalf : 1.0f) / 2;
    }
  for (int u = 0; u < 8; ++u)  // columns
    for (int v = 0; v < 8; ++v) {
      float s = 0;
      for (int y = 0; y < 8; ++y) s += tmp[y * 8 + u] * cosTable[y][v];
      coef[v * 8 + u] = s * (v == 0 ? kSqrtHalf : 1.0f) / 2;
    }
  int q[64];
  for (int k = 0; k < 64; ++k) q[k] = int(std::lround(coef[zz[k]] / c.quant[zz[k]]));
  int diff = q[0] - c.lastDc;
  c.lastDc = q[0];
  int n = magnitudeBits(diff);
  sink.put(c.dc->code[n], c.dc->size[n]);
  if (n) sink.put(uint32_t(diff < 0 ? diff + (1 << n) - 1 : diff), n);
  int zeros = 0;
  for (int k = 1; k < 64; ++k) {
    if (q[k] == 0) {
      ++zeros;
      continue;
    }
    while (zeros >= 16) {
      sink.put(c.ac->code[0xF0], c.ac->size[0xF0]);
      zeros -= 16;
    }
    int bits = magnitudeBits(q[k]);
    int symbol = zeros << 4 | bits;
    sink.put(c.ac->code[symbol], c.ac->size[symbol]);
    sink.put(uint32_t(q[k] < 0 ? q[k] + (1 << bits) - 1 : q[k]), bits);
    zeros = 0;
  }
  if (zeros) sink.put(c.ac->code[0], c.ac->size[0]);  // end of block
}

}  // namespace

std::vector<uint8_t> encodeJpeg(const Raster& raster, int quality) {
  const bool colour = raster.bits == 24;
  const int ncomp = colour ? 3 : 1;
  const std::vector<int> zz = zigzag();
  quality = std::clamp(quality, 1, 100);
  int scale = quality < 50 ? 5000 / quality : 200 - quality * 2;  // the IJG scaling
  int lumaQ[64], chromaQ[64];
  for (int i = 0; i < 64; ++i) {
    lumaQ[i] = std::clamp((kLumaQuant[i] * scale + 50) / 100, 1, 255);
    chromaQ[i] = std::clamp((kChromaQuant[i] * scale + 50) / 100, 1, 255);
  }
  std::vector<uint8_t> out = {0xFF, 0xD8};
  for (int t = 0; t < (colour ? 2 : 1); ++t) {
    const int* table = t == 0 ? lumaQ : chromaQ;
    out.insert(out.end(), {0xFF, 0xDB});
    put16(out, 67);
    out.push_back(uint8_t(t));
    for (int k = 0; k < 64; ++k) out.push_back(uint8_t(table[zz[k]]));
  }
  writeDht(out, 0x00, kLumaDc);
  writeDht(out, 0x10, kLumaAc);
  if (colour) {
    writeDht(out, 0x01, kChromaDc);
    writeDht(out, 0x11, kChromaAc);
  }
  out.insert(out.end(), {0xFF, 0xC0});
  put16(out, 8 + 3 * ncomp);
  out.push_back(8);
  put16(out, int(raster.height));
  put16(out, int(raster.width));
  out.push_back(uint8_t(ncomp));
  for (int i = 0; i < ncomp; ++i) {
    out.push_back(uint8_t(i + 1));
    out.push_back(0x11);
    out.push_back(uint8_t(i == 0 ? 0 : 1));
  }
  out.insert(out.end(), {0xFF, 0xDA});
  put16(out, 6 + 2 * ncomp);
  out.push_back(uint8_t(ncomp));
  for (int i = 0; i < ncomp; ++i) {
    out.push_back(uint8_t(i + 1));
    out.push_back(i == 0 ? 0x00 : 0x11);
  }
  out.insert(out.end(), {0, 63, 0});

  static const HuffTable lumaDc(kLumaDc), lumaAc(kLumaAc), chromaDc(kChromaDc), chromaAc(kChromaAc);
  int naturalLuma[64], naturalChroma[64];
  for (int i = 0; i < 64; ++i) naturalLuma[i] = lumaQ[i], naturalChroma[i] = chromaQ[i];
  Component comps[3] = {{&lumaDc, &lumaAc, naturalLuma, 0},
                        {&chromaDc, &chromaAc, naturalChroma, 0},
                        {&chromaDc, &chromaAc, naturalChroma, 0}};
  BitSink sink(out);
  const size_t stride = raster.stride();
  float blocks[3][64];
  for (uint32_t by = 0; by < raster.height; by += 8) {
    for (uint32_t bx = 0; bx < raster.width; bx += 8) {
      for (int y = 0; y < 8; ++y) {
        // Edge blocks repeat the last row and column.
        uint32_t sy = std::min(by + y, raster.height - 1);
        const uint8_t* row = raster.data.data() + sy * stride;
        for (int x = 0; x < 8; ++x) {
          uint32_t sx = std::min(bx + x, raster.width - 1);
          if (!colour) {
            blocks[0][y * 8 + x] = float(row[sx]) - 128;
            continue;
          }
          float r = row[sx * 3], g = row[sx * 3 + 1], b = row[sx * 3 + 2];
          blocks[0][y * 8 + x] = 0.299f * r + 0.587f * g + 0.114f * b - 128;
          blocks[1][y * 8 + x] = -0.168736f * r - 0.331264f * g + 0.5f * b;
          blocks[2][y * 8 + x] = 0.5f * r - 0.418688f * g - 0.081312f * b;
        }
      }
      for (int i = 0; i < ncomp; ++i) encodeBlock(sink, blocks[i], comps[i], zz);
    }
  }
  sink.flush();
  out.insert(out.end(), {0xFF, 0xD9});
  return out;
}

}  // namespace docwriter
