#include "platform/xml/XmlErrors.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltutils.h>

#include <cstdarg>
#include <algorithm>
#include <cstdio>
#include <mutex>

namespace quorvane::platform::xml::detail {
namespace {

thread_local ErrorCapture* tCurrent = nullptr;

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

void OnStructuredError(void* context, xmlErrorPtr error) {
  auto* capture = static_cast<ErrorCapture*>(context);
  if (capture == nullptr || error == nullptr || error->level < XML_ERR_ERROR) return;
  std::string message;
  if (error->file != nullptr && error->file[0] != '\0') {
    message += error->file;
    message += ':';
  }
  if (error->line > 0) {
    message += "line " + std::to_string(error->line) + ": ";
  }
  message += error->message != nullptr ? Trimmed(error->message) : std::string("unknown error");
  capture->AddError(std::move(message));
}

void FormatInto(ErrorCapture* capture, const char* format, va_list args) {
  if (capture == nullptr || format == nullptr) return;
  char buffer[1024];
  const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
  if (length > 0) {
    capture->AddGenericText(std::string_view(buffer, std::min<std::size_t>(length, sizeof buffer - 1)));
  }
}

void OnGenericError(void* context, const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatInto(static_cast<ErrorCapture*>(context), format, args);
  va_end(args);
}

// libxslt keeps one process-wide generic handler; it forwards to whatever
// capture is active on the reporting thread and drops text otherwise.
void OnXsltGenericError(void*, const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatInto(tCurrent, format, args);
  va_end(args);
}

}  // namespace

void EnsureInitialised() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    xsltInit();
    xsltSetGenericErrorFunc(nullptr, OnXsltGenericError);
  });
}

ErrorCapture::ErrorCapture()
    : previousCapture_((EnsureInitialised(), tCurrent)),
      previousStructured_(xmlStructuredError),
      previousStructuredContext_(xmlStructuredErrorContext),
      previousGeneric_(xmlGenericError),
      previousGenericContext_(xmlGenericErrorContext) {
  tCurrent = this;
  xmlSetStructuredErrorFunc(this, OnStructuredError);
  xmlSetGenericErrorFunc(this, OnGenericError);
}

ErrorCapture::~ErrorCapture() {
  xmlSetStructuredErrorFunc(previousStructuredContext_, previousStructured_);
  // A null generic handler would reinstate libxml2's stderr printer, so
  // outside any capture the generic channel stays silent.
  if (previousCapture_ == nullptr) {
    xmlSetGenericErrorFunc(nullptr, OnGenericError);
  } else {
    xmlSetGenericErrorFunc(previousGenericContext_, previousGeneric_);
  }
  tCurrent = previousCapture_;
}

ErrorCapture* ErrorCapture::Current() { return tCurrent; }

void ErrorCapture::AddError(std::string message) {
  if (first_.empty()) first_ = std::move(message);
}

void ErrorCapture::AddGenericText(std::string_view fragment) {
  if (generic_.size() < 4096) generic_.append(fragment);
}

std::string ErrorCapture::Message(std::string_view fallback) const {
  if (!first_.empty()) return first_;
  std::string generic = Trimmed(generic_);
  if (!generic.empty()) return generic;
  return std::string(fallback);
}

}  // namespace quorvane::platform::xml::detail
