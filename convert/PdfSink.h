// Where the PDF's bytes go, and the streams whose data is made only while qpdf writes them.
#pragma once

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#define XXH_INLINE_ALL  // the header is the whole library: nothing to link, on either system
#include <xxhash.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "convert/FileSystem.h"
#include "convert/Worker.h"

namespace convert::pdf {

// Where qpdf's bytes go: to the file a megabyte at a time, and through a 128-bit XXH3 digest for
// the trailer's ID, which qpdf writes as a fixed placeholder and this puts in place at the end.
// The same document so gives the same bytes, as qpdf's own deterministic ID would; but qpdf's
// MD5 took half of a long document's time, where XXH3 takes a hundredth, and the digest and the
// writing can run on a processor of their own beside qpdf.
class OutputSink : public Pipeline {
 public:
  OutputSink(OutputFile& file, bool spareProcessor);
  void write(unsigned char const* data, size_t size) override;
  // qpdf finishes its pipelines, and so this one, again and again while it writes.
  void finish() override {}
  // Once qpdf is done: the digest of everything before the ID becomes the ID.
  void complete();

 private:
  static constexpr size_t kBatch = 1 << 20;
  static constexpr size_t kTail = 4096;  // more than a trailer: the placeholder stays held

  // The first `count` bytes held go to the digest and the file, while qpdf goes on.
  void handOver(size_t count);

  OutputFile& file_;
  XXH3_state_t digest_;
  uint64_t at_ = 0;
  std::vector<unsigned char> held_;   // from qpdf, not yet handed over
  std::vector<unsigned char> batch_;  // being digested and written
  Worker writer_;                     // last: its work uses the rest
};

// Streams whose data a function makes when qpdf asks for it.
class LazyStreams : public QPDFObjectHandle::StreamDataProvider {
 public:
  using Maker = std::function<void(Pipeline&)>;
  void provideStreamData(QPDFObjGen const& og, Pipeline* pipeline) override;
  static QPDFObjectHandle add(QPDF& pdf, const std::shared_ptr<LazyStreams>& self, Maker maker,
                              QPDFObjectHandle dictionary,
                              QPDFObjectHandle filter = QPDFObjectHandle::newNull(),
                              QPDFObjectHandle parameters = QPDFObjectHandle::newNull());

 private:
  std::map<QPDFObjGen, Maker> makers_;
};

void put(Pipeline& p, const std::vector<uint8_t>& bytes, size_t from = 0);

}  // namespace convert::pdf
