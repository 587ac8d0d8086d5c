#pragma once
// A shared library loaded at run time (LoadLibrary / GetProcAddress). The
// object owns the handle and unloads the library when it goes, so every
// pointer taken from it must be dropped first.

#include <cstring>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/base/Result.h"

namespace quorvane::platform {

// A function taken from a library: callable, valid while the library is
// loaded.
template <class Signature>
class LibraryFunction;

template <class Return, class... Args>
class LibraryFunction<Return(Args...)> {
 public:
  explicit LibraryFunction(Return (*function)(Args...)) : function_(function) {}
  Return operator()(Args... args) const { return function_(args...); }
  Return (*get() const)(Args...) { return function_; }

 private:
  Return (*function_)(Args...);
};

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary();
  DynamicLibrary(DynamicLibrary&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // Loads the library at exactly this path: a path without '/' is refused,
  // so that the loader's search of the system folders never picks up a
  // library of the same name. All symbols are bound at load time and stay
  // private to the library.
  static Result<DynamicLibrary> Open(const std::string& path);

  bool IsLoaded() const { return handle_ != nullptr; }
  // Unloads now; later lookups fail.
  void Close();

  // The address of an exported symbol.
  Result<void*> Symbol(const std::string& name) const;

  // An exported function, typed by the caller: Function<int(const char*)>("f").
  template <class Signature>
  Result<LibraryFunction<Signature>> Function(const std::string& name) const {
    static_assert(std::is_function_v<Signature>, "Function<> takes a function type");
    auto address = Symbol(name);
    if (!address) return address.error();
    Signature* function = nullptr;
    static_assert(sizeof(function) == sizeof(void*));
    std::memcpy(&function, &*address, sizeof(function));
    return LibraryFunction<Signature>(function);
  }

 private:
  explicit DynamicLibrary(void* handle) : handle_(handle) {}
  void* handle_ = nullptr;
};

}  // namespace quorvane::platform
