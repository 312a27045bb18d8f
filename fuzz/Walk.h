// Everything a caller does with a document, decoding its pages with libtiff included, on bytes
// of any kind: the fuzzing target's body, also run by the regression tests native and under Wine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "component/G4Decoder.h"
#include "document/Document.h"
#include "component/reader/TiffDecode.h"

namespace fuzzwalk {

struct Outcome {
  bool opened = false;
  size_t pages = 0;
  std::string refusal;     // why it did not open
  size_t undecodable = 0;  // pages a decoder refuses before allocating for them
};

// Keeps the reads from being optimised away.
inline volatile uint64_t keep = 0;

// Pages up to this size are decoded: larger ones take the same code, but their pixels alone
// would pass the fuzzer's limit on one allocation.
constexpr uint64_t kDecodedPixels = uint64_t{4096} * 4096;

inline uint64_t decodeAll(const mdi::Document& doc, size_t i) {
  const mdi::Page& p = doc.page(i);
  if (uint64_t{p.width} * p.height > kDecodedPixels) return 0;
  mdi::TiffDecoded decoded = mdi::decodeWithLibtiff(doc, i);
  if (!decoded.image) return decoded.error.size();
  const mdi::PageImage& image = *decoded.image;
  return image.pixels.size() + image.pixels[image.pixels.size() / 2] + image.colours.size();
}

// Returns how many pages a decoder would refuse.
inline size_t readEverything(const mdi::Document& doc);

// Opens the bytes and reads every fact, text, strip and view of every page. Only opening may
// refuse (ReadError); once a document is open, reading what it promised must not fail, so any
// later exception escapes as a finding.
inline Outcome walk(const uint8_t* data, size_t size) {
  Outcome outcome;
  std::unique_ptr<mdi::Document> doc;
  try {
    doc = std::make_unique<mdi::Document>(
        mdi::Document::open(mdi::memorySource(std::vector<uint8_t>(data, data + size))));
  } catch (const mdi::ReadError& e) {
    outcome.refusal = e.what();
    return outcome;
  }
  outcome.opened = true;
  outcome.pages = doc->pageCount();
  outcome.undecodable = readEverything(*doc);
  return outcome;
}

inline size_t readEverything(const mdi::Document& doc) {
  uint64_t sink = 0;
  size_t undecodable = 0;
  for (size_t i = 0; i < doc.pageCount(); ++i) {
    const mdi::Page& p = doc.page(i);
    sink += p.width + p.height + p.bitsPerSample + p.samplesPerPixel + p.photometric +
            p.compression + p.rowsPerStrip + p.tileWidth + p.tileLength + uint64_t(p.dpiX) +
            uint64_t(p.dpiY) + p.tiled;
    std::u16string text = doc.pageText(i);
    for (char16_t c : text) sink += c;
    // What the component asks before it allocates for the page; what passes goes to libtiff
    // and to the component's own G4 decoder.
    if (doc.decodable(i)) {
      if (std::optional<mdi::PageImage> image = mdi::decodeG4Page(doc, i))
        sink += image->pixels.size() + image->pixels[image->pixels.size() / 2];
      sink += decodeAll(doc, i);
    } else {
      ++undecodable;
    }
    for (const mdi::DataChunk& chunk : doc.pageData(i)) {
      std::vector<uint8_t> bytes = doc.chunkBytes(chunk);
      if (!bytes.empty()) sink += bytes.front() + bytes.back();
    }
    // What a codec is handed: the page alone, every byte of it.
    std::unique_ptr<mdi::ByteSource> view = doc.singlePageView(i);
    std::vector<uint8_t> seen(size_t(view->size()));
    view->read(0, seen.data(), seen.size());
    for (size_t at = 0; at < seen.size(); at += 61) sink += seen[at];
    // A codec parses the view as a document of its own; bytes shared with the patched header
    // may make it refuse, which is its right.
    try {
      sink += mdi::Document::open(mdi::memorySource(std::move(seen))).pageCount();
    } catch (const mdi::ReadError&) {
    }
  }
  keep = sink;
  return undecodable;
}

}  // namespace fuzzwalk
