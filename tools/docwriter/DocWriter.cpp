#include "tools/docwriter/DocWriter.h"

#include "tools/docwriter/Tiff.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <stdexcept>

namespace docwriter {

namespace {

enum : uint16_t { kByte = 1, kShort = 3, kLong = 4, kRational = 5, kUndefined = 7 };

// The size of one value of a type, and the unit swapped for big-endian files.
size_t typeSize(uint16_t type) {
  switch (type) {
    case 3:
    case 8:
      return 2;
    case 4:
    case 9:
    case 11:
    case 13:
      return 4;
    case 5:
    case 10:
    case 12:
      return 8;
    default:
      return 1;
  }
}

size_t swapUnit(uint16_t type) {
  return type == 5 || type == 10 ? 4 : typeSize(type);
}

uint8_t luminance(uint32_t rgb) {
  uint32_t r = rgb >> 16 & 0xFF, g = rgb >> 8 & 0xFF, b = rgb & 0xFF;
  return uint8_t((r * 299 + g * 587 + b * 114 + 500) / 1000);
}

RawTag rational(uint16_t tag, double value) {
  uint32_t den = 100;
  uint32_t num = uint32_t(value * den + 0.5);
  RawTag t = RawTag::longs(tag, {num, den});
  t.type = kRational;
  t.count = 1;
  return t;
}

class FileBuilder {
 public:
  explicit FileBuilder(Header header) : big_(header == Header::MM) {
    const char* mark = header == Header::EP ? "EP" : header == Header::II ? "II" : "MM";
    bytes_.assign(mark, mark + 2);
    put16(42);
    put32(0);  // the first directory, patched when written
  }

  void align() {
    if (bytes_.size() % 2) bytes_.push_back(0);
  }
  uint64_t append(const std::vector<uint8_t>& data) {
    align();
    uint64_t at = bytes_.size();
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return at;
  }
  void put16(uint16_t v) {
    uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    putSwapped(b, 2);
  }
  void put32(uint32_t v) {
    uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    putSwapped(b, 4);
  }
  void patch32(uint64_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[at + (big_ ? 3 - i : i)] = uint8_t(v >> (8 * i));
  }
  // A little-endian value in the file's order.
  std::vector<uint8_t> fileOrder(const RawTag& t) const {
    std::vector<uint8_t> v = t.value;
    size_t unit = swapUnit(t.type);
    if (big_ && unit > 1)
      for (size_t i = 0; i + unit <= v.size(); i += unit)
        std::reverse(v.begin() + i, v.begin() + i + unit);
    return v;
  }
  // Writes the directory (out-of-line values first); returns its offset.
  uint64_t directory(const std::map<uint16_t, RawTag>& tags, uint64_t* nextPointer) {
    std::map<uint16_t, uint64_t> outOfLine;
    for (const auto& [tag, t] : tags)
      if (t.value.size() > 4) outOfLine[tag] = append(fileOrder(t));
    align();
    uint64_t at = bytes_.size();
    put16(uint16_t(tags.size()));
    for (const auto& [tag, t] : tags) {
      put16(tag);
      put16(t.type);
      put32(t.count);
      if (t.value.size() > 4) {
        put32(uint32_t(outOfLine[tag]));
      } else {
        std::vector<uint8_t> v = fileOrder(t);
        v.resize(4, 0);
        bytes_.insert(bytes_.end(), v.begin(), v.end());
      }
    }
    *nextPointer = bytes_.size();
    put32(0);
    return at;
  }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  void putSwapped(const uint8_t* le, size_t n) {
    for (size_t i = 0; i < n; ++i) bytes_.push_back(le[big_ ? n - 1 - i : i]);
  }
  bool big_;
  std::vector<uint8_t> bytes_;
};

struct Chunks {
  std::vector<std::vector<uint8_t>> parts;
};

Chunks strips(const Raster& r, uint32_t rowsPerStrip) {
  Chunks c;
  if (rowsPerStrip == 0) rowsPerStrip = r.height;
  for (uint32_t y = 0; y < r.height; y += rowsPerStrip) {
    uint32_t rows = std::min(rowsPerStrip, r.height - y);
    auto first = r.data.begin() + y * r.stride();
    c.parts.emplace_back(first, first + rows * r.stride());
  }
  return c;
}

// A document the raw writer must lay out: a page with bytes of the caller's choosing, or no
// page at all (libtiff writes none without a directory).
bool needsRawWriter(const std::vector<PageSpec>& pages) {
  return pages.empty() || std::any_of(pages.begin(), pages.end(), [](const PageSpec& p) {
           return p.rawData || p.textTag || !p.extraTags.empty();
         });
}

}  // namespace

Raster Raster::blank(uint32_t width, uint32_t height, int bits) {
  if (bits != 1 && bits != 8 && bits != 24) throw std::invalid_argument("depth 1, 8 or 24");
  Raster r;
  r.width = width;
  r.height = height;
  r.bits = bits;
  r.data.assign(r.stride() * height, bits == 1 ? 0 : 0xFF);
  return r;
}

void Raster::set(uint32_t x, uint32_t y, uint32_t rgb) {
  if (x >= width || y >= height) return;
  uint8_t* row = data.data() + y * stride();
  if (bits == 1) {
    uint8_t mask = uint8_t(0x80 >> (x & 7));
    if (luminance(rgb) < 128)
      row[x >> 3] |= mask;
    else
      row[x >> 3] &= uint8_t(~mask);
  } else if (bits == 8) {
    row[x] = luminance(rgb);
  } else {
    row[x * 3] = uint8_t(rgb >> 16);
    row[x * 3 + 1] = uint8_t(rgb >> 8);
    row[x * 3 + 2] = uint8_t(rgb);
  }
}

void Raster::fill(uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint32_t rgb) {
  for (uint32_t j = y; j < y + h && j < height; ++j)
    for (uint32_t i = x; i < x + w && i < width; ++i) set(i, j, rgb);
}

RawTag RawTag::shorts(uint16_t tag, const std::vector<uint16_t>& values) {
  RawTag t{tag, kShort, uint32_t(values.size()), {}};
  for (uint16_t v : values) t.value.insert(t.value.end(), {uint8_t(v), uint8_t(v >> 8)});
  return t;
}

RawTag RawTag::longs(uint16_t tag, const std::vector<uint32_t>& values) {
  RawTag t{tag, kLong, uint32_t(values.size()), {}};
  for (uint32_t v : values)
    t.value.insert(t.value.end(),
                   {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
  return t;
}

RawTag RawTag::bytes(uint16_t tag, uint16_t type, const std::vector<uint8_t>& values) {
  return RawTag{tag, type, uint32_t(values.size()), values};
}

std::vector<uint8_t> textTagBytes(const std::string& text, bool terminate) {
  std::vector<uint8_t> body(text.begin(), text.end());
  if (terminate) body.insert(body.end(), {'\r', 0});
  uint32_t n = uint32_t(body.size());
  std::vector<uint8_t> tag = {
      1, 0, uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
  tag.insert(tag.end(), body.begin(), body.end());
  return tag;
}

Written write(const std::vector<PageSpec>& pages, Header header) {
  if (!needsRawWriter(pages)) return writeWithLibtiff(pages, header);
  FileBuilder file(header);
  Written result;
  uint64_t previousLink = 4;  // the header's pointer to the first directory
  for (const PageSpec& page : pages) {
    const Raster& r = page.raster;
    PageLayout layout;
    std::map<uint16_t, RawTag> tags;
    uint16_t photometric = r.bits == 1 ? (page.blackIsZero ? 1 : 0) : r.bits == 8 ? 1 : 2;
    uint16_t compression = 1;
    Chunks chunks;
    if (page.rawData) {
      chunks.parts.push_back(*page.rawData);
    } else if (page.codec == Codec::G4) {
      compression = 4;
      chunks.parts = codeWithLibtiff(page).chunks;
    } else if (page.codec == Codec::Jpeg) {
      compression = 7;
      Coded coded = codeWithLibtiff(page);
      chunks.parts = std::move(coded.chunks);
      if (!coded.jpegTables.empty()) tags[347] = RawTag::bytes(347, kUndefined, coded.jpegTables);
      if (r.bits == 24) {
        photometric = 6;  // YCbCr, as the stream holds it
        tags[530] = RawTag::shorts(530, {1, 1});
      }
    } else if (page.tileSize) {
      chunks.parts = tilesOf(storedRaster(page), page.tileSize);
    } else {
      chunks = strips(storedRaster(page), page.rowsPerStrip);
    }
    std::vector<uint32_t> offsets, counts;
    for (const auto& part : chunks.parts) {
      offsets.push_back(uint32_t(file.append(part)));
      counts.push_back(uint32_t(part.size()));
      layout.dataSize += part.size();
    }
    layout.dataOffset = offsets.front();

    uint16_t spp = r.bits == 24 ? 3 : 1;
    tags[256] = RawTag::longs(256, {r.width});
    tags[257] = RawTag::longs(257, {r.height});
    tags[258] = RawTag::shorts(258, std::vector<uint16_t>(spp, uint16_t(r.bits / spp)));
    tags[259] = RawTag::shorts(259, {compression});
    tags[262] = RawTag::shorts(262, {photometric});
    tags[277] = RawTag::shorts(277, {spp});
    if (spp == 3) tags[284] = RawTag::shorts(284, {1});
    if (page.orientation != 1) tags[274] = RawTag::shorts(274, {page.orientation});
    if (page.tileSize && !page.rawData && page.codec == Codec::None) {
      tags[322] = RawTag::longs(322, {page.tileSize});
      tags[323] = RawTag::longs(323, {page.tileSize});
      tags[324] = RawTag::longs(324, offsets);
      tags[325] = RawTag::longs(325, counts);
    } else {
      uint32_t rows = page.codec != Codec::G4 && page.rowsPerStrip && !page.rawData
                          ? page.rowsPerStrip
                          : r.height;
      tags[273] = RawTag::longs(273, offsets);
      tags[278] = RawTag::longs(278, {rows});
      tags[279] = RawTag::longs(279, counts);
    }
    if (page.dpi > 0) {
      double perUnit = page.dpiInCm ? page.dpi / 2.54 : page.dpi;
      tags[282] = rational(282, perUnit);
      tags[283] = rational(283, perUnit);
      tags[296] = RawTag::shorts(296, {uint16_t(page.dpiInCm ? 3 : 2)});
    }
    std::optional<std::vector<uint8_t>> text = page.textTag;
    if (!text && page.text) text = textTagBytes(*page.text);
    if (text) tags[kTextTag] = RawTag::bytes(kTextTag, kUndefined, *text);
    for (const RawTag& extra : page.extraTags) tags[extra.tag] = extra;

    uint64_t nextPointer = 0;
    layout.ifdOffset = file.directory(tags, &nextPointer);
    layout.nextPointerOffset = nextPointer;
    file.patch32(previousLink, uint32_t(layout.ifdOffset));
    previousLink = nextPointer;
    result.pages.push_back(layout);
  }
  result.bytes = std::move(file.bytes());
  // The text tag's bytes are always out of line for real text; find where they landed.
  for (size_t i = 0; i < pages.size(); ++i) {
    const PageLayout& l = result.pages[i];
    const uint8_t* ifd = result.bytes.data() + l.ifdOffset;
    bool big = header == Header::MM;
    auto u16 = [big](const uint8_t* p) { return big ? p[0] << 8 | p[1] : p[1] << 8 | p[0]; };
    auto u32 = [big](const uint8_t* p) {
      return big ? uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]
                 : uint32_t(p[3]) << 24 | p[2] << 16 | p[1] << 8 | p[0];
    };
    int n = u16(ifd);
    for (int e = 0; e < n; ++e) {
      const uint8_t* entry = ifd + 2 + e * 12;
      if (u16(entry) == kTextTag)
        result.pages[i].textOffset =
            u32(entry + 4) > 4 ? u32(entry + 8) : l.ifdOffset + 2 + e * 12 + 8;
    }
  }
  return result;
}

std::vector<uint8_t> encodeG4(const Raster& raster) {
  PageSpec page;
  page.raster = raster;
  page.codec = Codec::G4;
  return codeWithLibtiff(page).chunks.at(0);
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size())
    throw std::runtime_error("cannot write " + path);
}

}  // namespace docwriter
