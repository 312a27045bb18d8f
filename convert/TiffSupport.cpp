#include "convert/TiffSupport.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace convert {

struct TiffHandle::State {
  std::unique_ptr<mdi::ByteSource> source;  // reading
  OutputFile* output = nullptr;             // writing
  uint64_t position = 0;
  std::string lastError;
};

namespace {

int collectError(TIFF*, void* user, const char* module, const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  auto* message = static_cast<std::string*>(user);
  *message = module && *module ? std::string(module) + ": " + text : text;
  return 1;
}

int ignoreWarning(TIFF*, void*, const char*, const char*, va_list) {
  return 1;  // unknown tags and the like: the conversion decides what matters
}

template <class S>
S& stateOf(thandle_t handle) {
  return *static_cast<S*>(handle);
}

}  // namespace

TiffHandle::TiffHandle() = default;

TiffHandle::TiffHandle(TiffHandle&& other) noexcept
    : state_(std::move(other.state_)), tiff_(other.tiff_) {
  other.tiff_ = nullptr;
}

TiffHandle::~TiffHandle() {
  if (tiff_) TIFFClose(tiff_);
}

std::string TiffHandle::error(const std::string& fallback) const {
  return state_ && !state_->lastError.empty() ? state_->lastError : fallback;
}

bool TiffHandle::close() {
  if (!tiff_) return false;
  bool flushed = TIFFFlush(tiff_) == 1;
  TIFFClose(tiff_);
  tiff_ = nullptr;
  return flushed;
}

namespace {

struct Procs {
  static tmsize_t read(thandle_t h, void* buf, tmsize_t size) {
    auto& s = stateOf<TiffHandle::State>(h);
    if (s.source) {
      uint64_t total = s.source->size();
      if (s.position >= total) return 0;
      size_t n = size_t(std::min<uint64_t>(uint64_t(size), total - s.position));
      try {
        s.source->read(s.position, buf, n);
      } catch (const std::exception&) {
        return -1;
      }
      s.position += n;
      return tmsize_t(n);
    }
    size_t n = s.output->readAt(s.position, buf, size_t(size));
    s.position += n;
    return tmsize_t(n);
  }
  static tmsize_t write(thandle_t h, void* buf, tmsize_t size) {
    auto& s = stateOf<TiffHandle::State>(h);
    if (!s.output) return -1;
    try {
      s.output->writeAt(s.position, buf, size_t(size));
    } catch (const std::exception& e) {
      s.lastError = e.what();
      return -1;
    }
    s.position += uint64_t(size);
    return size;
  }
  static toff_t size(thandle_t h) {
    auto& s = stateOf<TiffHandle::State>(h);
    return s.source ? s.source->size() : s.output->size();
  }
  static toff_t seek(thandle_t h, toff_t offset, int whence) {
    auto& s = stateOf<TiffHandle::State>(h);
    if (whence == SEEK_SET)
      s.position = offset;
    else if (whence == SEEK_CUR)
      s.position += offset;
    else
      s.position = size(h) + offset;
    return s.position;
  }
  static int close(thandle_t) { return 0; }
  static int map(thandle_t, void**, toff_t*) { return 0; }
  static void unmap(thandle_t, void*, toff_t) {}
};

}  // namespace

namespace {

TIFF* openWith(TiffHandle::State& state, const char* name, const char* mode) {
  std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(),
                                                                       &TIFFOpenOptionsFree);
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), collectError, &state.lastError);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), ignoreWarning, nullptr);
  return TIFFClientOpenExt(name, mode, &state, Procs::read, Procs::write, Procs::seek, Procs::close,
                           Procs::size, Procs::map, Procs::unmap, options.get());
}

}  // namespace

TiffHandle TiffHandle::readPage(const mdi::Document& document, size_t page) {
  TiffHandle handle;
  handle.state_ = std::make_unique<State>();
  handle.state_->source = document.singlePageView(page);
  // "m": no memory mapping, the procs above read what is asked for. "c": the strips as stored;
  // libtiff would otherwise cut a large uncompressed strip into strips of 8 KB, unlike the
  // directory that decoders and the TIFF output go by.
  handle.tiff_ = openWith(*handle.state_, "page", "rmc");
  return handle;
}

TiffHandle TiffHandle::write(OutputFile& file) {
  TiffHandle handle;
  handle.state_ = std::make_unique<State>();
  handle.state_->output = &file;
  handle.tiff_ = openWith(*handle.state_, file.path().c_str(), "wl");
  return handle;
}

}  // namespace convert
