#include "platform/dynlib/DynamicLibrary.h"

#include <dlfcn.h>

namespace quorvane::platform {

namespace {

std::string LastLoaderError(const std::string& fallback) {
  const char* text = ::dlerror();
  return text != nullptr ? std::string(text) : fallback;
}

}  // namespace

DynamicLibrary::~DynamicLibrary() { Close(); }

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

Result<DynamicLibrary> DynamicLibrary::Open(const std::string& path) {
  if (path.find('/') == std::string::npos) {
    return MakeError("library path \"" + path + "\" names no folder");
  }
  (void)::dlerror();
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return MakeError(LastLoaderError("cannot load " + path));
  return DynamicLibrary(handle);
}

void DynamicLibrary::Close() {
  if (handle_ != nullptr) {
    ::dlclose(handle_);
    handle_ = nullptr;
  }
}

Result<void*> DynamicLibrary::Symbol(const std::string& name) const {
  if (handle_ == nullptr) return MakeError("no library loaded");
  (void)::dlerror();
  void* address = ::dlsym(handle_, name.c_str());
  // A symbol may legitimately be null; only dlerror tells a missing one.
  const char* error = ::dlerror();
  if (error != nullptr) return MakeError(error);
  if (address == nullptr) return MakeError("symbol " + name + " is null");
  return address;
}

}  // namespace quorvane::platform
