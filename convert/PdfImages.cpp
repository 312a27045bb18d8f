#include "convert/PdfImages.h"

#include <algorithm>

#include "convert/PdfSyntax.h"

namespace convert::pdf {

namespace {

// The size a JPEG stream's frame header declares; false when no frame header comes before
// the first scan.
bool jpegFrameSize(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height) {
  if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
  size_t at = 2;
  while (at + 4 <= size) {
    if (data[at] != 0xFF) return false;
    uint8_t marker = data[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length follows
      at += 2;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) return false;  // the scan, or the end, came first
    size_t length = size_t(data[at + 2]) << 8 | data[at + 3];
    if (length < 2 || length > size - at - 2) return false;
    bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (length < 7) return false;
      *height = uint32_t(data[at + 5]) << 8 | data[at + 6];
      *width = uint32_t(data[at + 7]) << 8 | data[at + 8];
      return true;
    }
    at += 2 + length;
  }
  return false;
}

// A JPEG strip's frame size, from its first bytes only: the strip itself is read again when it
// is written. A few kilobytes hold the frame header of nearly every strip; 64 KB, those with
// large application segments before it.
bool stripFrameSize(const mdi::Document& document, const mdi::DataChunk& chunk, uint32_t* width,
                    uint32_t* height) {
  for (uint32_t wanted : {4096u, 65536u}) {
    std::vector<uint8_t> head(std::min(chunk.length, wanted));
    document.source().read(chunk.offset, head.data(), head.size());
    if (jpegFrameSize(head.data(), head.size(), width, height)) return true;
    if (head.size() == chunk.length) return false;
  }
  return false;
}

// The JPEG tables go in front of every strip: a page of many small strips and large tables is
// drawn from its pixels instead, so that the tables do not make the output many times the file.
bool tablesRepeatedTooOften(const mdi::ImageFormat& f) {
  uint64_t stored = 0;
  for (const mdi::DataChunk& chunk : f.chunks) stored += chunk.length;
  return uint64_t{f.jpegTables.size()} * f.chunks.size() > 4 * stored + 65536;
}

}  // namespace

Carry howToCarry(const mdi::Document& document, const mdi::PageReader& reader,
                 std::vector<Strip>& strips) {
  if (!reader.problem().empty()) return Carry::Placeholder;
  const mdi::ImageFormat& f = reader.format();
  bool ccitt = f.compression == COMPRESSION_CCITTFAX4;
  bool jpeg = f.compression == COMPRESSION_JPEG;
  if (f.tiled || !(ccitt || jpeg) || f.planarConfig != PLANARCONFIG_CONTIG ||
      f.orientation != ORIENTATION_TOPLEFT || f.extraSamples != 0)
    return Carry::Pixels;
  if (ccitt) {
    bool plain = f.bitsPerSample == 1 && f.samplesPerPixel == 1 && f.photometric <= 1 &&
                 f.fillOrder == FILLORDER_MSB2LSB &&
                 (f.group4Options & GROUP4OPT_UNCOMPRESSED) == 0;
    if (!plain) return Carry::Pixels;
  } else {
    bool grey = f.samplesPerPixel == 1 && f.photometric <= 1;
    bool colour = f.samplesPerPixel == 3 &&
                  (f.photometric == PHOTOMETRIC_RGB || f.photometric == PHOTOMETRIC_YCBCR);
    if (f.bitsPerSample != 8 || !(grey || colour) || tablesRepeatedTooOften(f))
      return Carry::Pixels;
  }
  uint32_t row = 0;
  for (const mdi::DataChunk& chunk : f.chunks) {
    if (row >= f.height) return Carry::Pixels;
    uint32_t rows = std::min(f.rowsPerStrip, f.height - row);
    if (jpeg) {
      // The stream's own frame must be the strip, or a reader would draw something else.
      uint32_t w = 0, h = 0;
      if (!stripFrameSize(document, chunk, &w, &h) || w != f.width || h != rows)
        return Carry::Pixels;
    }
    strips.push_back({row, rows, chunk});
    row += rows;
  }
  if (row != f.height) return Carry::Pixels;
  return ccitt ? Carry::Ccitt : Carry::Jpeg;
}

// The placeholder of a page whose image cannot be decoded, in a few operators: a frame and its

std::string placeholderDrawing(double width, double height) {
  double thick = std::max(1.0, std::min(width, height) / 150);
  std::string d = "q 0.5 G ";
  appendNumber(d, thick);
  d += " w ";
  for (double v : {thick / 2, thick / 2, width - thick, height - thick}) {
    appendNumber(d, v);
    d += ' ';
  }
  d += "re 0 0 m ";
  for (double v : {width, height}) {
    appendNumber(d, v);
    d += ' ';
  }
  d += "l 0 ";
  appendNumber(d, height);
  d += " m ";
  appendNumber(d, width);
  d += " 0 l S Q\n";
  return d;
}

void putRows(Pipeline& out, const mdi::PageImage& image) {
  const size_t bytes = image.bitsPerPixel == 1
                           ? (size_t(image.width) + 7) / 8
                           : size_t(image.width) * size_t(image.bitsPerPixel / 8);
  std::vector<uint8_t> row(bytes);
  for (uint32_t y = 0; y < image.height; ++y) {
    const uint8_t* from = image.pixels.data() + size_t(y) * image.stride;
    if (image.bitsPerPixel == 1) {
      for (size_t k = 0; k < bytes; ++k) row[k] = uint8_t(~from[k]);
    } else if (image.bitsPerPixel == 24) {
      for (size_t x = 0; x < bytes; x += 3) {
        row[x] = from[x + 2];
        row[x + 1] = from[x + 1];
        row[x + 2] = from[x];
      }
    } else {
      std::copy(from, from + bytes, row.begin());
    }
    out.write(row.data(), row.size());
  }
}

void putBlankRows(Pipeline& out, uint32_t width, uint32_t height, int depth) {
  const size_t bytes = depth == 1 ? (size_t(width) + 7) / 8 : size_t(width) * size_t(depth / 8);
  std::vector<uint8_t> row(bytes, depth == 1 ? 0x00 : 0xFF);
  for (uint32_t y = 0; y < height; ++y) out.write(row.data(), row.size());
}

// A palette page's colour table as /Indexed takes it: red, green, blue for each entry.
std::vector<uint8_t> rgbTable(const std::vector<uint8_t>& colours) {
  std::vector<uint8_t> table(256 * 3, 0);
  for (size_t i = 0; i < 256 && i * 4 + 2 < colours.size(); ++i) {
    table[i * 3] = colours[i * 4 + 2];
    table[i * 3 + 1] = colours[i * 4 + 1];
    table[i * 3 + 2] = colours[i * 4];
  }
  return table;
}

}  // namespace convert::pdf
