#pragma once
// Internal to platform/xml: libxml2 and libxslt report errors through
// callbacks that print to stderr by default. ErrorCapture routes them, for
// the calling thread and the lifetime of the scope, into a list that the
// operation turns into an Error value.

#include <string>
#include <string_view>

struct _xmlError;

namespace quorvane::platform::xml::detail {

// Initialises libxml2 and libxslt once per process and installs the
// process-wide handlers that forward to the current thread's capture.
void EnsureInitialised();

class ErrorCapture {
 public:
  ErrorCapture();
  ~ErrorCapture();
  ErrorCapture(const ErrorCapture&) = delete;
  ErrorCapture& operator=(const ErrorCapture&) = delete;

  // The capture active on this thread, or nullptr.
  static ErrorCapture* Current();

  void AddError(std::string message);
  void AddGenericText(std::string_view fragment);
  // Whether an error (not a warning or other free text) was reported.
  bool HasError() const { return !first_.empty(); }

  // The first error reported, else the free text, else `fallback`.
  std::string Message(std::string_view fallback) const;

 private:
  std::string first_;
  std::string generic_;
  using StructuredHandler = void (*)(void*, _xmlError*);
  using GenericHandler = void (*)(void*, const char*, ...);

  ErrorCapture* previousCapture_;
  StructuredHandler previousStructured_;
  void* previousStructuredContext_;
  GenericHandler previousGeneric_;
  void* previousGenericContext_;
};

}  // namespace quorvane::platform::xml::detail
