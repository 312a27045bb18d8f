// Makes the recognition rows' scans from pages rasterized by pdftoppm (1-bit PBM): a G4 document
// that holds each page's text in the recognised-text tag, as the imaging software stores its
// recognition, and the same pages as a plain G4 TIFF without it.
//   mkscan DPI OUT.mdi OUT.tif PAGE.pbm TEXT.txt [PAGE.pbm TEXT.txt]...
#include "tools/docwriter/DocWriter.h"

#include <cctype>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A raw PBM (P4): its rows are packed as the writer's 1-bit rasters are, a set bit black.
docwriter::Raster readPbm(const std::string& path) {
  std::string bytes = readAll(path);
  size_t at = 0;
  auto token = [&]() {
    for (;;) {
      while (at < bytes.size() && isspace(static_cast<unsigned char>(bytes[at]))) ++at;
      if (at < bytes.size() && bytes[at] == '#') {
        while (at < bytes.size() && bytes[at] != '\n') ++at;
        continue;
      }
      break;
    }
    size_t start = at;
    while (at < bytes.size() && !isspace(static_cast<unsigned char>(bytes[at]))) ++at;
    return bytes.substr(start, at - start);
  };
  if (token() != "P4") throw std::runtime_error(path + " is not a raw PBM");
  docwriter::Raster raster;
  raster.width = std::stoul(token());
  raster.height = std::stoul(token());
  raster.bits = 1;
  ++at;  // the one white space before the pixels
  size_t size = raster.stride() * raster.height;
  if (bytes.size() - at < size) throw std::runtime_error(path + " is cut short");
  raster.data.assign(bytes.begin() + at, bytes.begin() + at + size);
  return raster;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6 || (argc - 4) % 2 != 0) {
    std::cerr << "usage: mkscan DPI OUT.mdi OUT.tif PAGE.pbm TEXT.txt [PAGE.pbm TEXT.txt]...\n";
    return 2;
  }
  try {
    double dpi = std::stod(argv[1]);
    std::vector<docwriter::PageSpec> stored, plain;
    for (int i = 4; i < argc; i += 2) {
      docwriter::PageSpec page;
      page.raster = readPbm(argv[i]);
      page.codec = docwriter::Codec::G4;
      page.dpi = dpi;
      plain.push_back(page);
      page.text = readAll(argv[i + 1]);
      stored.push_back(std::move(page));
    }
    docwriter::writeFile(argv[2], docwriter::write(stored, docwriter::Header::EP).bytes);
    docwriter::writeFile(argv[3], docwriter::write(plain, docwriter::Header::II).bytes);
  } catch (const std::exception& e) {
    std::cerr << "mkscan: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
