// A device-independent bitmap selected into a memory DC of its own, so that
// painting is a plain BitBlt or StretchBlt from it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "component/PageImage.h"
#include "framework/Handles.h"

namespace mipv {

class Raster {
 public:
  // Top-down rows. 1 bit: black and white (a set bit is white); 8 bits: grey; 24 and 32
  // bits: blue, green, red (and an unused byte).
  Raster(int width, int height, int bitsPerPixel);
  Raster(const Raster&) = delete;
  Raster& operator=(const Raster&) = delete;

  HDC dc() const { return dc_.get(); }
  int width() const { return width_; }
  int height() const { return height_; }
  size_t stride() const { return stride_; }
  uint8_t* bits() const { return bits_; }

 private:
  int width_;
  int height_;
  size_t stride_;
  uint8_t* bits_ = nullptr;  // before bitmap_, which sets it
  framework::Dc dc_;
  framework::Bitmap bitmap_;
  framework::Selected selected_;
};

// The page's own pixels and depth, for painting it enlarged.
std::unique_ptr<Raster> rasterOf(const mdi::PageImage& page);

// The page reduced to width x height with a box filter (see Downscale.h), in 32 bits.
std::unique_ptr<Raster> reducedRaster(const mdi::PageImage& page, int width, int height);
// The same into an existing 32-bit raster, at its size.
void reduceInto(const mdi::PageImage& page, Raster& raster);

// BITMAPINFO with room for a full colour table.
using BitmapInfo = framework::BitmapInfo;

// Header and colour table (black/white for 1 bit, grey ramp for 8 bits) for
// top-down (height < 0) or bottom-up rows.
BitmapInfo describeBitmap(int width, int height, int bitsPerPixel);
// The same for a page, with a palette page's own colour table.
BitmapInfo describePage(const mdi::PageImage& page, bool topDown);
int colourCount(int bitsPerPixel);

}  // namespace mipv
