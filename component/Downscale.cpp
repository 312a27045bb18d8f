#include "component/Downscale.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace mipv {

namespace {

// Pixels at least this light count as background when finding the content.
const int kBackgroundLevel = 192;

// Source ranges [begin[i], begin[i + 1]) of each target pixel along one axis;
// never empty, so a target larger than the source repeats pixels.
std::vector<int> spans(int source, int target) {
  std::vector<int> begin(static_cast<size_t>(target) + 1);
  for (int i = 0; i <= target; ++i)
    begin[i] = static_cast<int>(static_cast<long long>(i) * source / target);
  for (int i = 0; i < target; ++i)
    if (begin[i + 1] <= begin[i]) begin[i + 1] = std::min(source, begin[i] + 1);
  return begin;
}

// Set bits per byte value: a table beats popcount where the CPU has no instruction for it.
struct BitCounts {
  uint8_t of[256];
  constexpr BitCounts() : of() {
    for (int i = 1; i < 256; ++i) of[i] = static_cast<uint8_t>((i & 1) + of[i >> 1]);
  }
};
constexpr BitCounts kBitCounts;

int popcount8(unsigned value) {
  return kBitCounts.of[value & 0xFFu];
}

// Adds the number of set (white) pixels of one 1-bit row within each column span.
void addBitRow(const uint8_t* row, size_t rowBytes, const std::vector<int>& columns,
               std::vector<uint32_t>& prefix, std::vector<uint32_t>& sums) {
  prefix[0] = 0;
  for (size_t k = 0; k < rowBytes; ++k) prefix[k + 1] = prefix[k] + popcount8(row[k]);
  auto before = [&](int x) {  // set pixels in [0, x)
    uint32_t count = prefix[static_cast<size_t>(x) >> 3];
    int partial = x & 7;
    if (partial) count += popcount8(row[x >> 3] >> (8 - partial));
    return count;
  };
  uint32_t start = before(columns[0]);
  for (size_t j = 0; j + 1 < columns.size(); ++j) {
    uint32_t end = before(columns[j + 1]);
    sums[j] += end - start;
    start = end;
  }
}

// Black-and-white pages reduced to fewer pixels than they have: the ink (clear bits) is
// counted rather than the white, so the white rows between lines of text, a third of a
// text page, cost a scan of whole words and nothing more.
class InkCounter {
 public:
  InkCounter(uint32_t width, const std::vector<int>& columns)
      : width_(width), wholeBytes_(width / 8), columns_(columns), prefix_(width / 8 + 2) {}

  // Adds the ink of one row within each column span to `ink`.
  void addRow(const uint8_t* row, std::vector<uint32_t>& ink) {
    if (isWhite(row)) return;
    const size_t rowBytes = (size_t(width_) + 7) / 8;
    prefix_[0] = 0;
    for (size_t k = 0; k < rowBytes; ++k) prefix_[k + 1] = prefix_[k] + popcount8(inkOf(row, k));
    auto before = [&](int x) {  // ink pixels in [0, x)
      uint32_t count = prefix_[static_cast<size_t>(x) >> 3];
      int partial = x & 7;
      if (partial) count += popcount8(inkOf(row, size_t(x) >> 3) >> (8 - partial));
      return count;
    };
    uint32_t start = before(columns_[0]);
    for (size_t j = 0; j + 1 < columns_.size(); ++j) {
      uint32_t end = before(columns_[j + 1]);
      ink[j] += end - start;
      start = end;
    }
  }

 private:
  // The ink bits of byte k; the padding past the width is not page.
  unsigned inkOf(const uint8_t* row, size_t k) const {
    unsigned black = ~row[k] & 0xFFu;
    return k == wholeBytes_ ? black & (0xFFu << (8 - (width_ & 7))) : black;
  }
  bool isWhite(const uint8_t* row) const {
    size_t k = 0;
    for (; k + 8 <= wholeBytes_; k += 8) {
      uint64_t word;
      std::memcpy(&word, row + k, sizeof word);
      if (word != ~uint64_t{0}) return false;
    }
    for (; k < (size_t(width_) + 7) / 8; ++k)
      if (inkOf(row, k)) return false;
    return true;
  }

  uint32_t width_;
  size_t wholeBytes_;
  const std::vector<int>& columns_;
  std::vector<uint32_t> prefix_;
};

void reduceBits(const mdi::PageImage& page, int width, int height, const std::vector<int>& columns,
                const std::vector<int>& rows, uint8_t* target, size_t targetStride) {
  InkCounter counter(page.width, columns);
  std::vector<uint32_t> ink(static_cast<size_t>(width));
  for (int i = 0; i < height; ++i) {
    std::fill(ink.begin(), ink.end(), 0);
    for (int y = rows[i]; y < rows[i + 1]; ++y)
      counter.addRow(page.pixels.data() + static_cast<size_t>(y) * page.stride, ink);
    uint8_t* out = target + static_cast<size_t>(i) * targetStride;
    const uint32_t rowCount = static_cast<uint32_t>(rows[i + 1] - rows[i]);
    for (int j = 0; j < width; ++j) {
      const uint32_t area = rowCount * static_cast<uint32_t>(columns[j + 1] - columns[j]);
      const uint64_t white = uint64_t(area - ink[static_cast<size_t>(j)]) * 255;
      out[j] = static_cast<uint8_t>((white + area / 2) / area);
    }
  }
}

void addByteRow(const uint8_t* row, int channels, const std::vector<int>& columns,
                std::vector<uint32_t>& sums) {
  size_t targetWidth = columns.size() - 1;
  for (size_t j = 0; j < targetWidth; ++j) {
    const uint8_t* p = row + static_cast<size_t>(columns[j]) * channels;
    const uint8_t* end = row + static_cast<size_t>(columns[j + 1]) * channels;
    for (int c = 0; c < channels; ++c) {
      uint32_t sum = 0;
      for (const uint8_t* q = p + c; q < end; q += channels) sum += *q;
      sums[j * channels + c] += sum;
    }
  }
}

}  // namespace

int reducedDepth(const mdi::PageImage& page) {
  return page.bitsPerPixel == 24 || page.hasPalette() ? 24 : 8;
}

namespace {

// A palette page's row as blue-green-red, so that it is averaged as colour.
const uint8_t* coloursOf(const mdi::PageImage& page, const uint8_t* row,
                         std::vector<uint8_t>& out) {
  out.resize(size_t(page.width) * 3);
  for (uint32_t x = 0; x < page.width; ++x)
    std::memcpy(&out[size_t(x) * 3], page.colours.data() + size_t(row[x]) * 4, 3);
  return out.data();
}

}  // namespace

void reduce(const mdi::PageImage& page, int width, int height, uint8_t* target,
            size_t targetStride) {
  const int sourceWidth = static_cast<int>(page.width);
  const int sourceHeight = static_cast<int>(page.height);
  if (width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return;
  const std::vector<int> columns = spans(sourceWidth, width);
  const std::vector<int> rows = spans(sourceHeight, height);
  if (page.bitsPerPixel == 1 && width <= sourceWidth && height <= sourceHeight) {
    reduceBits(page, width, height, columns, rows, target, targetStride);
    return;
  }
  const int channels = reducedDepth(page) == 24 ? 3 : 1;
  std::vector<uint8_t> expanded;
  // A 1-bit pixel counts 255 when white, so all depths share the averaging below.
  const uint32_t unit = page.bitsPerPixel == 1 ? 255 : 1;
  std::vector<uint32_t> sums(static_cast<size_t>(width) * channels);
  std::vector<uint32_t> prefix(page.stride + 1);
  for (int i = 0; i < height; ++i) {
    std::fill(sums.begin(), sums.end(), 0);
    for (int y = rows[i]; y < rows[i + 1]; ++y) {
      const uint8_t* row = page.pixels.data() + static_cast<size_t>(y) * page.stride;
      if (page.bitsPerPixel == 1)
        addBitRow(row, (page.width + 7) / 8, columns, prefix, sums);
      else if (page.hasPalette())
        addByteRow(coloursOf(page, row, expanded), channels, columns, sums);
      else
        addByteRow(row, channels, columns, sums);
    }
    uint8_t* out = target + static_cast<size_t>(i) * targetStride;
    const uint32_t rowCount = static_cast<uint32_t>(rows[i + 1] - rows[i]);
    for (int j = 0; j < width; ++j) {
      const uint32_t area = rowCount * static_cast<uint32_t>(columns[j + 1] - columns[j]);
      for (int c = 0; c < channels; ++c) {
        uint64_t total = static_cast<uint64_t>(sums[static_cast<size_t>(j) * channels + c]) * unit;
        out[j * channels + c] = static_cast<uint8_t>((total + area / 2) / area);
      }
    }
  }
}

namespace {

// The first and last content pixel of one row, or false when it has none.
bool rowContent(const mdi::PageImage& page, const uint8_t* row, int& first, int& last) {
  const int width = static_cast<int>(page.width);
  first = -1;
  if (page.bitsPerPixel == 1) {
    for (int x = 0; x < width; ++x) {
      if (!(x & 7) && x + 8 <= width && row[x >> 3] == 0xFF) {
        x += 7;  // a whole white byte
        continue;
      }
      if (!(row[x >> 3] & (0x80 >> (x & 7)))) {
        if (first < 0) first = x;
        last = x;
      }
    }
    return first >= 0;
  }
  const int channels = page.bitsPerPixel == 24 ? 3 : 1;
  for (int x = 0; x < width; ++x) {
    const uint8_t* p = page.hasPalette() ? page.colours.data() + size_t(row[x]) * 4
                                         : row + static_cast<size_t>(x) * channels;
    int level = channels == 3 || page.hasPalette() ? (p[0] + p[1] + p[2]) / 3 : p[0];
    if (level < kBackgroundLevel) {
      if (first < 0) first = x;
      last = x;
    }
  }
  return first >= 0;
}

}  // namespace

bool contentBounds(const mdi::PageImage& page, RECT& bounds) {
  bool found = false;
  bounds = RECT{};
  for (uint32_t y = 0; y < page.height; ++y) {
    int first = 0, last = 0;
    if (!rowContent(page, page.pixels.data() + static_cast<size_t>(y) * page.stride, first, last))
      continue;
    if (!found) {
      bounds = RECT{first, static_cast<LONG>(y), last + 1, static_cast<LONG>(y) + 1};
      found = true;
      continue;
    }
    bounds.left = std::min<LONG>(bounds.left, first);
    bounds.right = std::max<LONG>(bounds.right, last + 1);
    bounds.bottom = static_cast<LONG>(y) + 1;
  }
  return found;
}

}  // namespace mipv
