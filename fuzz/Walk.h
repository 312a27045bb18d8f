// Everything a caller does with a document through the document library, decoding its pages
// included, on bytes of any kind: the document target's body, also run by the regression
// tests natively and under Wine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/Document.h"
#include "document/PageReader.h"

namespace fuzzwalk {

struct Outcome {
  bool opened = false;
  size_t pages = 0;
  std::string refusal;     // why it did not open
  size_t undecodable = 0;  // pages whose image cannot be decoded
  std::string problem;     // why, for the first of them
};

// Keeps the reads from being optimised away.
inline volatile uint64_t keep = 0;

// Pages up to this size are decoded: larger ones take the same code, but their pixels alone
// would pass the fuzzer's limit on one allocation.
constexpr uint64_t kDecodedPixels = uint64_t{4096} * 4096;

// The page's image, or why not; "" when it decoded or was too large to try here.
inline std::string decodeOne(const mdi::Document& doc, size_t i, uint64_t& sink) {
  mdi::PageReader reader(doc, i);
  const mdi::ImageFormat& f = reader.format();
  sink += f.width + f.bitsPerSample + f.samplesPerPixel + f.photometric + f.compression +
          f.rowsPerStrip + f.tileWidth + f.jpegTables.size() + f.chunks.size() + reader.depth() +
          reader.colours().size();
  if (!reader.problem().empty()) return reader.problem();
  const mdi::Page& p = doc.page(i);
  if (uint64_t{p.width} * p.height > kDecodedPixels) return {};
  std::optional<mdi::PageImage> image = reader.decode();
  if (!image) return reader.problem();
  sink += image->pixels.size() + image->pixels[image->pixels.size() / 2] + image->colours.size();
  return {};
}

inline void readEverything(const mdi::Document& doc, Outcome& outcome) {
  uint64_t sink = 0;
  for (size_t i = 0; i < doc.pageCount(); ++i) {
    const mdi::Page& p = doc.page(i);
    sink += p.width + p.height + uint64_t(p.dpiX) + uint64_t(p.dpiY) + p.tiled + p.orientation;
    for (char16_t c : doc.pageText(i)) sink += c;
    for (uint16_t tag : doc.pageTags(i)) sink += tag;
    std::string problem = decodeOne(doc, i, sink);
    if (!problem.empty() && outcome.undecodable++ == 0) outcome.problem = problem;
    for (const mdi::DataChunk& chunk : doc.pageData(i)) {
      std::vector<uint8_t> bytes = doc.chunkBytes(chunk);
      if (!bytes.empty()) sink += bytes.front() + bytes.back();
    }
    // What libtiff is handed: the page alone, every byte of it.
    std::unique_ptr<mdi::ByteSource> view = doc.singlePageView(i);
    std::vector<uint8_t> seen(size_t(view->size()));
    view->read(0, seen.data(), seen.size());
    for (size_t at = 0; at < seen.size(); at += 61) sink += seen[at];
    // The view read as a document of its own; bytes shared with the patched header may make
    // it refuse, which is its right.
    try {
      sink += mdi::Document::open(mdi::memorySource(std::move(seen))).pageCount();
    } catch (const mdi::ReadError&) {
    }
  }
  keep = sink;
}

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
  readEverything(*doc, outcome);
  return outcome;
}

}  // namespace fuzzwalk
