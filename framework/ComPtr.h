// An owning COM interface pointer. Copying adds a reference; moving does not.
#pragma once

#include <unknwn.h>

#include <utility>

namespace framework {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Adopts a reference the caller already holds (an out-parameter's result).
  static ComPtr adopt(T* raw) {
    ComPtr p;
    p.ptr_ = raw;
    return p;
  }
  // Takes a new reference to a pointer owned elsewhere.
  static ComPtr share(T* raw) {
    if (raw) raw->AddRef();
    return adopt(raw);
  }
  ComPtr(const ComPtr& other) : ptr_(other.ptr_) {
    if (ptr_) ptr_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(ptr_, other.ptr_);
    return *this;
  }
  ~ComPtr() { reset(); }

  void reset() {
    if (T* p = std::exchange(ptr_, nullptr)) p->Release();
  }
  T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }
  // For out-parameters: releases what is held and hands out the slot.
  T** put() {
    reset();
    return &ptr_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }

  // QueryInterface; an empty pointer when the object does not answer.
  template <class U>
  ComPtr<U> as(REFIID iid) const {
    ComPtr<U> result;
    if (ptr_) ptr_->QueryInterface(iid, result.putVoid());
    return result;
  }

 private:
  T* ptr_ = nullptr;
};

}  // namespace framework
