#include "convert/PagePixels.h"

#include <algorithm>
#include <cstring>

#include "convert/TiffSupport.h"

namespace convert {

namespace {

bool isPalette(const mdi::Page& p) {
  return p.photometric == PHOTOMETRIC_PALETTE && p.bitsPerSample == 8 && p.samplesPerPixel == 1;
}

// Pages libtiff decodes in their own layout; everything else goes through its RGBA path.
bool nativeLayout(const mdi::Page& p, uint16_t planar) {
  if (planar != PLANARCONFIG_CONTIG) return false;
  if (p.samplesPerPixel == 1)
    return (p.bitsPerSample == 1 || p.bitsPerSample == 8) &&
           (p.photometric <= PHOTOMETRIC_MINISBLACK || isPalette(p));
  return p.samplesPerPixel == 3 && p.bitsPerSample == 8 &&
         (p.photometric == PHOTOMETRIC_RGB ||
          (p.photometric == PHOTOMETRIC_YCBCR && p.compression == COMPRESSION_JPEG));
}

void invert(std::vector<uint8_t>& bytes) {
  for (uint8_t& b : bytes) b = uint8_t(~b);
}

// Copies a decoded tile into the page's rows, clipped at the page's edges.
void placeTile(PagePixels& px, const std::vector<uint8_t>& tile, uint32_t tileWidth,
               uint32_t tileLength, uint32_t x0, uint32_t y0) {
  size_t tileStride = PagePixels::stride(px.kind, tileWidth);
  uint32_t columns = std::min(tileWidth, px.width - x0);
  for (uint32_t y = 0; y < tileLength && y0 + y < px.height; ++y) {
    const uint8_t* from = tile.data() + y * tileStride;
    uint8_t* to = px.rows.data() + (y0 + y) * px.stride();
    if (px.kind == PixelKind::Bilevel) {
      for (uint32_t x = 0; x < columns; ++x) {
        uint8_t mask = uint8_t(0x80 >> ((x0 + x) & 7));
        if (from[x >> 3] & (0x80 >> (x & 7)))
          to[(x0 + x) >> 3] |= mask;
        else
          to[(x0 + x) >> 3] &= uint8_t(~mask);
      }
    } else {
      size_t bytesPerPixel = px.kind == PixelKind::Rgb ? 3 : 1;
      std::memcpy(to + x0 * bytesPerPixel, from, columns * bytesPerPixel);
    }
  }
}

void decodeNative(TIFF* tiff, const TiffHandle& handle, const mdi::Page& page, PagePixels& px) {
  if (page.photometric == PHOTOMETRIC_YCBCR)
    TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);  // the codec converts
  auto failed = [&handle] { return UndecodablePage(handle.error("its image data is damaged")); };
  if (page.tiled) {
    std::vector<uint8_t> tile(size_t(TIFFTileSize64(tiff)));
    if (tile.size() < PagePixels::stride(px.kind, page.tileWidth) * page.tileLength)
      throw UndecodablePage("its tiles are smaller than they claim");
    for (uint32_t y = 0; y < page.height; y += page.tileLength)
      for (uint32_t x = 0; x < page.width; x += page.tileWidth) {
        if (TIFFReadEncodedTile(tiff, TIFFComputeTile(tiff, x, y, 0, 0), tile.data(),
                                tmsize_t(tile.size())) < 0)
          throw failed();
        placeTile(px, tile, page.tileWidth, page.tileLength, x, y);
      }
    return;
  }
  if (size_t(TIFFScanlineSize64(tiff)) != px.stride())
    throw UndecodablePage("its rows do not have the size its directory gives");
  size_t stripBytes = px.stride() * page.rowsPerStrip;
  for (uint32_t strip = 0, y = 0; y < page.height; ++strip, y += page.rowsPerStrip) {
    size_t rows = std::min(page.rowsPerStrip, page.height - y);
    uint8_t* at = px.rows.data() + y * px.stride();
    if (TIFFReadEncodedStrip(tiff, strip, at, tmsize_t(std::min(stripBytes, rows * px.stride()))) <
        0)
      throw failed();
  }
}

void decodeThroughRgba(TIFF* tiff, const TiffHandle& handle, PagePixels& px) {
  std::vector<uint32_t> rgba(size_t(px.width) * px.height);
  if (!TIFFReadRGBAImageOriented(tiff, px.width, px.height, rgba.data(), ORIENTATION_TOPLEFT, 0))
    throw UndecodablePage(handle.error("its image data is damaged"));
  for (size_t i = 0; i < rgba.size(); ++i) {
    px.rows[i * 3] = uint8_t(TIFFGetR(rgba[i]));
    px.rows[i * 3 + 1] = uint8_t(TIFFGetG(rgba[i]));
    px.rows[i * 3 + 2] = uint8_t(TIFFGetB(rgba[i]));
  }
}

TiffHandle openForDecoding(const mdi::Document& document, size_t index) {
  const mdi::Page& page = document.page(index);
  if (!codecAvailable(page.compression))
    throw UndecodablePage("its image is stored with compression " +
                          std::to_string(page.compression) + ", which no decoder here reads");
  if (!document.decodable(index))
    throw UndecodablePage("its image data is cut short or claims far more pixels than it holds");
  TiffHandle handle = TiffHandle::readPage(document, index);
  if (!handle.get()) throw UndecodablePage(handle.error("its directory cannot be read"));
  return handle;
}

}  // namespace

size_t PagePixels::stride(PixelKind kind, uint32_t width) {
  switch (kind) {
    case PixelKind::Bilevel:
      return (size_t(width) + 7) / 8;
    case PixelKind::Rgb:
      return size_t(width) * 3;
    default:
      return width;
  }
}

bool codecAvailable(uint16_t compression) {
  return TIFFIsCODECConfigured(compression) == 1;
}

PixelKind pixelKind(const mdi::Page& p) {
  if (!nativeLayout(p, PLANARCONFIG_CONTIG) || p.samplesPerPixel == 3) return PixelKind::Rgb;
  if (p.bitsPerSample == 1) return PixelKind::Bilevel;
  return isPalette(p) ? PixelKind::Palette : PixelKind::Grey;
}

PagePixels decode(const mdi::Document& document, size_t index) {
  const mdi::Page& page = document.page(index);
  TiffHandle handle = openForDecoding(document, index);
  TIFF* tiff = handle.get();
  PagePixels px;
  px.kind = pixelKind(page);
  px.width = page.width;
  px.height = page.height;
  px.rows.assign(px.stride() * px.height, 0);
  uint16_t planar = PLANARCONFIG_CONTIG;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
  if (nativeLayout(page, planar)) {
    decodeNative(tiff, handle, page, px);
    // Bilevel pages come out with a set bit for black, grey ones with 0 for black.
    bool whiteIsZero = page.photometric == PHOTOMETRIC_MINISWHITE;
    if ((px.kind == PixelKind::Bilevel && !whiteIsZero) ||
        (px.kind == PixelKind::Grey && whiteIsZero))
      invert(px.rows);
  } else {
    px.kind = PixelKind::Rgb;
    px.rows.assign(px.stride() * px.height, 0);
    decodeThroughRgba(tiff, handle, px);
  }
  if (px.kind == PixelKind::Palette) px.palette = decodePalette(document, index);
  return px;
}

std::vector<uint8_t> decodePalette(const mdi::Document& document, size_t index) {
  TiffHandle handle = TiffHandle::readPage(document, index);
  uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
  std::vector<uint8_t> palette(256 * 3, 0);
  if (!handle.get() || !TIFFGetField(handle.get(), TIFFTAG_COLORMAP, &red, &green, &blue))
    return palette;  // no table: black, as a reader without one would show
  for (int i = 0; i < 256; ++i) {
    palette[i * 3] = uint8_t(red[i] >> 8);
    palette[i * 3 + 1] = uint8_t(green[i] >> 8);
    palette[i * 3 + 2] = uint8_t(blue[i] >> 8);
  }
  return palette;
}

}  // namespace convert
