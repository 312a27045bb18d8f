// Owners of the Windows handles the viewer holds: strings and variants of COM,
// the clipboard, global memory, device contexts, GDI objects and bitmaps,
// icons and printers. Each frees what it holds on every path; the factories
// throw framework::Exception with the system's text when the system refuses.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <winspool.h>

#include <cstddef>
#include <string>
#include <utility>

#include "framework/Exception.h"

namespace framework {

// A handle freed by `Free` unless released first. Null means none.
template <class T, class Free>
class Owned {
 public:
  Owned() = default;
  explicit Owned(T handle) : handle_(handle) {}
  ~Owned() { reset(); }
  Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, T())) {}
  Owned& operator=(Owned&& other) noexcept {
    reset(std::exchange(other.handle_, T()));
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;

  T get() const { return handle_; }
  explicit operator bool() const { return handle_ != T(); }
  T release() { return std::exchange(handle_, T()); }
  void reset(T handle = T()) {
    if (T old = std::exchange(handle_, handle)) Free()(old);
  }
  // For out-parameters: frees what is held and hands out the slot.
  T* put() {
    reset();
    return &handle_;
  }

 private:
  T handle_ = T();
};

// `handle` itself, or the system's text for the last error when it is null.
template <class T>
T Require(T handle) {
  if (!handle) raiseLastError();
  return handle;
}

// The system function that frees a kind of handle, as a type.
template <auto free>
struct FreeWith {
  template <class T>
  void operator()(T handle) const {
    free(handle);
  }
};

// Pens, brushes, fonts, regions and bitmaps.
template <class T>
using GdiObject = Owned<T, FreeWith<DeleteObject>>;
using Bitmap = GdiObject<HBITMAP>;
using Icon = Owned<HICON, FreeWith<DestroyIcon>>;
using GlobalMemory = Owned<HGLOBAL, FreeWith<GlobalFree>>;
using Printer = Owned<HANDLE, FreeWith<ClosePrinter>>;

// A device context made by CreateDC or CreateCompatibleDC.
using Dc = Owned<HDC, FreeWith<DeleteDC>>;

// A memory device context compatible with `dc` (the screen when null).
class MemoryDc : public Dc {
 public:
  explicit MemoryDc(HDC dc = nullptr) : Owned(Require(CreateCompatibleDC(dc))) {}
};

// The device context of a window's client area (the screen's when null), released on every
// path.
class WindowDc {
 public:
  explicit WindowDc(HWND window = nullptr) : window_(window), dc_(Require(GetDC(window))) {}
  ~WindowDc() { ReleaseDC(window_, dc_); }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// A global memory block of `size` bytes.
inline GlobalMemory AllocateGlobal(UINT flags, size_t size) {
  return GlobalMemory(Require(GlobalAlloc(flags, size)));
}

// A global memory block locked for the length of a scope.
template <class T>
class GlobalLocked {
 public:
  explicit GlobalLocked(HGLOBAL block)
      : block_(block), data_(static_cast<T*>(Require(GlobalLock(block)))) {}
  ~GlobalLocked() { GlobalUnlock(block_); }
  GlobalLocked(const GlobalLocked&) = delete;
  GlobalLocked& operator=(const GlobalLocked&) = delete;
  T* get() const { return data_; }

 private:
  HGLOBAL block_;
  T* data_;
};

// An object selected into a device context, the one before it selected again at the end.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~Selected() { SelectObject(dc_, previous_); }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// The clipboard, opened for `owner` and closed on every path. Another program may hold it for
// a moment: `attempts` tries, 10 ms apart, before giving up.
class OpenedClipboard {
 public:
  explicit OpenedClipboard(HWND owner, int attempts = 1) {
    for (int attempt = 1; !OpenClipboard(owner); ++attempt) {
      if (attempt >= attempts) throw Exception("Cannot open clipboard");
      Sleep(10);
    }
  }
  ~OpenedClipboard() { CloseClipboard(); }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
};

// A BITMAPINFO with room for the largest colour table, or for the three masks.
struct BitmapInfo {
  BITMAPINFOHEADER header;
  RGBQUAD colors[256];
  BITMAPINFO* get() { return reinterpret_cast<BITMAPINFO*>(this); }
};

class Bstr : public Owned<BSTR, FreeWith<SysFreeString>> {
 public:
  Bstr() = default;
  // A copy of `text`; throws when the system has no memory for it.
  explicit Bstr(const std::wstring& text) : Bstr(text.data(), text.size()) {}
  explicit Bstr(const std::u16string& text)
      : Bstr(reinterpret_cast<const OLECHAR*>(text.data()), text.size()) {}
  UINT length() const { return SysStringLen(get()); }

 private:
  Bstr(const OLECHAR* text, size_t length)
      : Owned(SysAllocStringLen(text, static_cast<UINT>(length))) {
    if (!get()) throw Exception("Out of memory");
  }
};

// A VARIANT cleared on every path.
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  ~Variant() { VariantClear(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* get() { return &value_; }

 private:
  VARIANT value_;
};

}  // namespace framework
