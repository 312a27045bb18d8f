#include "convert/PdfSink.h"

#include <qpdf/QUtil.hh>

#include <algorithm>
#include <stdexcept>
#include <string_view>

namespace convert::pdf {

namespace {

// qpdf's static ID.
constexpr char kPlaceholder[] =
    "/ID [<31415926535897932384626433832795><31415926535897932384626433832795>]";

}  // namespace

OutputSink::OutputSink(OutputFile& file, bool spareProcessor)
    : Pipeline("output", nullptr), file_(file), writer_(spareProcessor) {
  XXH3_128bits_reset(&digest_);
}

void OutputSink::write(unsigned char const* data, size_t size) {
  held_.insert(held_.end(), data, data + size);
  if (held_.size() >= kBatch + kTail) handOver(held_.size() - kTail);
}

void OutputSink::complete() {
  std::string_view held(reinterpret_cast<const char*>(held_.data()), held_.size());
  size_t id = held.rfind(kPlaceholder);
  if (id == std::string_view::npos) throw std::logic_error("qpdf wrote no placeholder ID.");
  handOver(id);
  writer_.wait();
  XXH128_canonical_t digest;  // big-endian, as xxhsum prints it
  XXH128_canonicalFromHash(&digest, XXH3_128bits_digest(&digest_));
  std::string hex =
      QUtil::hex_encode(std::string(reinterpret_cast<char*>(digest.digest), sizeof digest));
  std::string trailerId = "/ID [<" + hex + "><" + hex + ">]";
  std::copy(trailerId.begin(), trailerId.end(), held_.begin());
  file_.writeAt(at_, held_.data(), held_.size());
}

void OutputSink::handOver(size_t count) {
  writer_.wait();  // until the batch before is out: its buffer is reused
  batch_.swap(held_);
  held_.assign(batch_.begin() + std::ptrdiff_t(count), batch_.end());
  batch_.resize(count);
  uint64_t at = at_;
  at_ += count;
  writer_.post([this, at] {
    XXH3_128bits_update(&digest_, batch_.data(), batch_.size());
    file_.writeAt(at, batch_.data(), batch_.size());
    file_.startSync(at, batch_.size());
  });
}

void LazyStreams::provideStreamData(QPDFObjGen const& og, Pipeline* pipeline) {
  makers_.at(og)(*pipeline);
  pipeline->finish();
}

QPDFObjectHandle LazyStreams::add(QPDF& pdf, const std::shared_ptr<LazyStreams>& self, Maker maker,
                                  QPDFObjectHandle dictionary, QPDFObjectHandle filter,
                                  QPDFObjectHandle parameters) {
  QPDFObjectHandle stream = QPDFObjectHandle::newStream(&pdf);
  for (const std::string& key : dictionary.getKeys())
    stream.getDict().replaceKey(key, dictionary.getKey(key));
  self->makers_[stream.getObjGen()] = std::move(maker);
  stream.replaceStreamData(self, filter, parameters);
  return stream;
}

void put(Pipeline& p, const std::vector<uint8_t>& bytes, size_t from) {
  if (bytes.size() > from) p.write(bytes.data() + from, bytes.size() - from);
}

}  // namespace convert::pdf
