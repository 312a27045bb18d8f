#include "output/Picture.h"

#include <vector>

#include "framework/Handles.h"

namespace output {

namespace {

// A device-dependent bitmap copied bit for bit, in its own format: no
// conversion through a device-independent layout, which could lose colour bits.
framework::Bitmap CopyDeviceBitmap(HBITMAP source, const BITMAP& facts) {
  framework::Bitmap copy(framework::Require(
      CreateBitmap(facts.bmWidth, facts.bmHeight, facts.bmPlanes, facts.bmBitsPixel, nullptr)));
  const LONG size = facts.bmWidthBytes * facts.bmHeight;
  std::vector<BYTE> bits(static_cast<size_t>(size));
  if (GetBitmapBits(source, size, bits.data()) != size ||
      SetBitmapBits(copy.get(), static_cast<DWORD>(size), bits.data()) != size)
    throw framework::Exception("Cannot copy the bitmap");
  return copy;
}

}  // namespace

void TImage::SetBitmap(HBITMAP source) {
  DIBSECTION section{};
  int described = source ? GetObjectA(source, sizeof section, &section) : 0;
  if (described < static_cast<int>(sizeof(BITMAP))) throw framework::Exception("Invalid bitmap");
  bitmap_ = described == sizeof(DIBSECTION)
                ? framework::Bitmap(framework::Require(static_cast<HBITMAP>(
                      CopyImage(source, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))))
                : CopyDeviceBitmap(source, section.dsBm);
}

void TImage::SaveToFile(const std::string& path) const {
  if (!bitmap_) throw framework::Exception("No picture to save");
  ReplaceFileContents(path, BmpFileBytes(bitmap_.get()), Writer);
}

}  // namespace output
