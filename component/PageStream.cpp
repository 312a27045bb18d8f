#include "component/PageStream.h"

#include <algorithm>
#include <new>
#include <utility>

namespace mdi {

namespace {

class ByteStream : public IStream {
 public:
  explicit ByteStream(std::shared_ptr<const ByteSource> source, uint64_t position = 0)
      : source_(std::move(source)), position_(position) {}
  virtual ~ByteStream() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_ISequentialStream || iid == IID_IStream) {
      *out = static_cast<IStream*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE Read(void* dst, ULONG len, ULONG* done) override {
    if (done) *done = 0;
    if (!dst) return STG_E_INVALIDPOINTER;
    uint64_t size = source_->size();
    ULONG n = position_ >= size ? 0 : ULONG(std::min<uint64_t>(len, size - position_));
    try {
      source_->read(position_, dst, n);
    } catch (...) {
      // Exceptions must not cross into the codec; it sees a failed read.
      return STG_E_READFAULT;
    }
    position_ += n;
    if (done) *done = n;
    return n == len ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG* done) override {
    if (done) *done = 0;
    return STG_E_ACCESSDENIED;
  }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                 ULARGE_INTEGER* result) override {
    int64_t base = origin == STREAM_SEEK_SET   ? 0
                   : origin == STREAM_SEEK_CUR ? int64_t(position_)
                   : origin == STREAM_SEEK_END ? int64_t(source_->size())
                                               : -1;
    if (base < 0) return STG_E_INVALIDFUNCTION;
    int64_t target = base + move.QuadPart;
    if (target < 0) return STG_E_INVALIDFUNCTION;
    position_ = uint64_t(target);
    if (result) result->QuadPart = position_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                   ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
    if (!stat) return STG_E_INVALIDPOINTER;
    *stat = STATSTG{};
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = source_->size();
    stat->grfMode = STGM_READ | STGM_SHARE_DENY_WRITE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IStream** out) override {
    if (!out) return STG_E_INVALIDPOINTER;
    *out = new (std::nothrow) ByteStream(source_, position_);
    return *out ? S_OK : E_OUTOFMEMORY;
  }

 private:
  std::shared_ptr<const ByteSource> source_;
  uint64_t position_;
  ULONG refs_ = 1;
};

}  // namespace

framework::ComPtr<IStream> streamOver(std::shared_ptr<const ByteSource> source) {
  return framework::ComPtr<IStream>::adopt(new ByteStream(std::move(source)));
}

}  // namespace mdi
