#include "output/Picture.h"

#include <utility>
#include <vector>

#include "framework/Exception.h"

namespace output {

namespace {

// A bitmap owned until it is handed over.
class OwnedBitmap {
 public:
  explicit OwnedBitmap(HBITMAP bitmap) : bitmap_(bitmap) {
    if (!bitmap_) framework::raiseLastError();
  }
  ~OwnedBitmap() {
    if (bitmap_) DeleteObject(bitmap_);
  }
  OwnedBitmap(const OwnedBitmap&) = delete;
  OwnedBitmap& operator=(const OwnedBitmap&) = delete;
  HBITMAP get() const { return bitmap_; }
  HBITMAP release() { return std::exchange(bitmap_, nullptr); }

 private:
  HBITMAP bitmap_;
};

// A device-dependent bitmap copied bit for bit, in its own format: no
// conversion through a device-independent layout, which could lose colour bits.
HBITMAP CopyDeviceBitmap(HBITMAP source, const BITMAP& facts) {
  OwnedBitmap copy(
      CreateBitmap(facts.bmWidth, facts.bmHeight, facts.bmPlanes, facts.bmBitsPixel, nullptr));
  const LONG size = facts.bmWidthBytes * facts.bmHeight;
  std::vector<BYTE> bits(static_cast<size_t>(size));
  if (GetBitmapBits(source, size, bits.data()) != size ||
      SetBitmapBits(copy.get(), static_cast<DWORD>(size), bits.data()) != size)
    throw framework::Exception("Cannot copy the bitmap");
  return copy.release();
}

}  // namespace

TImage::~TImage() {
  if (bitmap_) DeleteObject(bitmap_);
}

void TImage::SetBitmap(HBITMAP source) {
  DIBSECTION section{};
  int described = source ? GetObjectA(source, sizeof section, &section) : 0;
  if (described < static_cast<int>(sizeof(BITMAP))) throw framework::Exception("Invalid bitmap");
  HBITMAP copy = described == sizeof(DIBSECTION)
                     ? OwnedBitmap(static_cast<HBITMAP>(
                                       CopyImage(source, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)))
                           .release()
                     : CopyDeviceBitmap(source, section.dsBm);
  if (bitmap_) DeleteObject(bitmap_);
  bitmap_ = copy;
}

void TImage::SaveToFile(const std::string& path) const {
  if (!bitmap_) throw framework::Exception("No picture to save");
  ReplaceFileContents(path, BmpFileBytes(bitmap_), Writer);
}

}  // namespace output
