// Pages in every layout, made by Debian's libtiff tools and ImageMagick (make_pages.sh), opened
// through the control and copied to the clipboard: the CF_DIB must show what libtiff's own
// decode (tiff2rgba) shows, pixel for pixel for lossless codings and within 40 dB for JPEG, and
// keep the page's nature. One test per layout, named after it.
#include <gtest/gtest.h>
#include <tiffio.h>
#include <windows.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/MODI_TLB.h"
#include "tests/component/Host.h"

namespace {

using componenttest::ComPtr;
using componenttest::Host;

struct Layout {
  std::string name;
  std::string page;
  std::string reference;
  bool lossless = true;
  int bits = 24;
  bool palette = false;
};

void PrintTo(const Layout& layout, std::ostream* out) {
  *out << layout.name;
}

// The list make_pages.sh wrote into the test's working folder.
std::vector<Layout> layouts() {
  std::vector<Layout> rows;
  std::ifstream list("layouts.txt");
  std::string line;
  while (std::getline(list, line)) {
    std::istringstream fields(line);
    Layout row;
    std::string coding, bits;
    if (!(fields >> row.name >> row.page >> row.reference >> coding >> bits)) continue;
    row.lossless = coding == "lossless";
    row.palette = bits == "8p";
    row.bits = std::stoi(bits);
    rows.push_back(row);
  }
  return rows;
}

// Pixels as 0xRRGGBB, top-down.
struct Picture {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint32_t> pixels;
};

// libtiff's decode, composited over white as the component shows alpha.
Picture readReference(const std::string& path) {
  Picture picture;
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (!tiff) return picture;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &picture.width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &picture.height);
  std::vector<uint32_t> rgba(size_t(picture.width) * picture.height);
  if (TIFFReadRGBAImageOriented(tiff, picture.width, picture.height, rgba.data(),
                                ORIENTATION_TOPLEFT, 1)) {
    picture.pixels.reserve(rgba.size());
    for (uint32_t p : rgba) {
      auto over = [&](uint32_t value) {
        return std::min<uint32_t>(255, value + 255 - TIFFGetA(p));
      };
      picture.pixels.push_back(over(TIFFGetR(p)) << 16 | over(TIFFGetG(p)) << 8 |
                               over(TIFFGetB(p)));
    }
  }
  TIFFClose(tiff);
  return picture;
}

struct Copied {
  BITMAPINFOHEADER header{};
  std::vector<RGBQUAD> colours;
  Picture picture;
};

Copied readDib(const std::vector<uint8_t>& dib) {
  Copied copied;
  if (dib.size() < sizeof(BITMAPINFOHEADER)) return copied;
  std::memcpy(&copied.header, dib.data(), sizeof copied.header);
  const BITMAPINFOHEADER& h = copied.header;
  const size_t colours = h.biBitCount <= 8 ? (h.biClrUsed ? h.biClrUsed : 1u << h.biBitCount) : 0;
  const auto* table = reinterpret_cast<const RGBQUAD*>(dib.data() + h.biSize);
  copied.colours.assign(table, table + colours);
  const uint8_t* rows = dib.data() + h.biSize + colours * sizeof(RGBQUAD);
  const uint32_t width = uint32_t(h.biWidth), height = uint32_t(std::abs(h.biHeight));
  const size_t stride = (size_t(width) * h.biBitCount + 31) / 32 * 4;
  if (rows + stride * height > dib.data() + dib.size()) return copied;
  copied.picture.width = width;
  copied.picture.height = height;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = rows + (h.biHeight > 0 ? height - 1 - y : y) * stride;
    for (uint32_t x = 0; x < width; ++x) {
      uint32_t value;
      if (h.biBitCount == 24) {
        value = uint32_t(row[3 * x + 2]) << 16 | uint32_t(row[3 * x + 1]) << 8 | row[3 * x];
      } else {
        const size_t index = h.biBitCount == 1 ? (row[x / 8] >> (7 - x % 8)) & 1 : row[x];
        const RGBQUAD c = index < colours ? table[index] : RGBQUAD{};
        value = uint32_t(c.rgbRed) << 16 | uint32_t(c.rgbGreen) << 8 | c.rgbBlue;
      }
      copied.picture.pixels.push_back(value);
    }
  }
  return copied;
}

std::vector<uint8_t> clipboardDib() {
  std::vector<uint8_t> bytes;
  if (!OpenClipboard(nullptr)) return bytes;
  if (HANDLE dib = GetClipboardData(CF_DIB)) {
    if (auto* data = static_cast<const uint8_t*>(GlobalLock(dib))) {
      bytes.assign(data, data + GlobalSize(dib));
      GlobalUnlock(dib);
    }
  }
  CloseClipboard();
  return bytes;
}

// Peak signal to noise over the three channels; infinite when identical.
double psnr(const Picture& a, const Picture& b) {
  double squares = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i)
    for (int shift : {0, 8, 16}) {
      const int d = int(a.pixels[i] >> shift & 0xFF) - int(b.pixels[i] >> shift & 0xFF);
      squares += double(d) * d;
    }
  if (squares == 0) return INFINITY;
  return 10 * std::log10(255.0 * 255.0 / (squares / (3.0 * double(a.pixels.size()))));
}

// Where two pictures first differ, for the failure's message.
std::string firstDifference(const Picture& got, const Picture& want) {
  for (size_t i = 0; i < got.pixels.size(); ++i)
    if (got.pixels[i] != want.pixels[i]) {
      char text[96];
      std::snprintf(text, sizeof text, "first difference at (%zu, %zu): %06X, libtiff %06X",
                    i % got.width, i / got.width, got.pixels[i], want.pixels[i]);
      return text;
    }
  return "none";
}

class LayoutTest : public testing::TestWithParam<Layout> {
 protected:
  // Opens the page in a hosted control and copies it as the program's Copy Image does.
  std::vector<uint8_t> copyThroughTheControl(const std::string& page) {
    auto dispatch = ComPtr<IUnknown>::share(host_.control()).as<IDispatch>(IID_IDispatch);
    auto view =
        ComPtr<IUnknown>::share(host_.control()).as<MODI_TLB::IMiDocView>(MODI_TLB::IID_IMiDocView);
    wchar_t full[MAX_PATH];
    std::wstring relative(page.begin(), page.end());
    GetFullPathNameW(relative.c_str(), MAX_PATH, full, nullptr);
    auto loaded = componenttest::putProperty(dispatch.get(), MODI_TLB::DISPID_FileName,
                                             componenttest::textVariant(full));
    EXPECT_EQ(S_OK, loaded->hr);
    host_.pump();
    EXPECT_EQ(S_OK, view->SelectPage(0));
    ComPtr<IDispatch> selection;
    EXPECT_EQ(S_OK, view->get_ImageSelection(selection.put()));
    auto image = selection.as<MODI_TLB::IMiSelectableImage>(MODI_TLB::IID_IMiSelectableImage);
    if (!image) return {};
    EXPECT_EQ(S_OK, image->CopyToClipboard(1, 1));
    return clipboardDib();
  }

 private:
  Host host_;
};

TEST_P(LayoutTest, CopiesWhatLibtiffDecodes) {
  const Layout& row = GetParam();
  Picture want = readReference(row.reference);
  ASSERT_FALSE(want.pixels.empty()) << "libtiff's decode is missing: " << row.reference;
  Copied got = readDib(copyThroughTheControl(row.page));
  ASSERT_EQ(want.width, got.picture.width);
  ASSERT_EQ(want.height, got.picture.height);
  // The page's nature: 1 bit, 8 bits with a grey table or the page's own colours, 24 bits.
  EXPECT_EQ(row.bits, got.header.biBitCount);
  if (row.bits == 8) {
    bool grey = true;
    for (size_t i = 0; i < got.colours.size(); ++i)
      grey &=
          got.colours[i].rgbRed == i && got.colours[i].rgbGreen == i && got.colours[i].rgbBlue == i;
    EXPECT_EQ(!row.palette, grey) << "colour table";
  }
  if (row.lossless)
    EXPECT_TRUE(got.picture.pixels == want.pixels) << firstDifference(got.picture, want);
  else
    EXPECT_GE(psnr(got.picture, want), 40.0);
}

INSTANTIATE_TEST_SUITE_P(Layouts, LayoutTest, testing::ValuesIn(layouts()),
                         [](const testing::TestParamInfo<Layout>& info) {
                           return info.param.name;
                         });

// A missing or short list would leave the rows above untested.
TEST(Layouts, EveryLayoutIsMade) {
  EXPECT_GE(layouts().size(), 50u);
}

}  // namespace
