#pragma once
// Owns one reference to a COM-style interface and releases it when it goes.

#include <cstdint>
#include <utility>

#include "platform/capture/Unknown.h"

namespace quorvane::platform {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  // Adopts a reference the caller already holds.
  explicit ComPtr(T* adopted) : ptr_(adopted) {}
  ComPtr(const ComPtr& other) : ptr_(other.ptr_) {
    if (ptr_) ptr_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(ptr_, other.ptr_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  T* Get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }

  // Releases the held reference; returns the count the object reports
  // afterwards (0 when nothing was held).
  std::uint32_t Reset() {
    T* old = std::exchange(ptr_, nullptr);
    return old ? old->Release() : 0;
  }

  // For out parameters: releases what is held and hands out the slot.
  T** Put() {
    Reset();
    return &ptr_;
  }

  // Asks the held object for interface U.
  template <class U>
  HRESULT As(ComPtr<U>* out) const {
    if (!ptr_) return E_POINTER;
    void* raw = nullptr;
    const HRESULT hr = ptr_->QueryInterface(U::kIid, &raw);
    *out = ComPtr<U>(Succeeded(hr) ? static_cast<U*>(raw) : nullptr);
    return hr;
  }

 private:
  T* ptr_ = nullptr;
};

}  // namespace quorvane::platform
