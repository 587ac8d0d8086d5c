#include "platform/xml/XsltStylesheet.h"

#include <libxml/tree.h>
#include <libxslt/documents.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/variables.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>

#include "platform/xml/XmlErrors.h"

namespace quorvane::platform::xml {
namespace {

int Forbid(xsltSecurityPrefsPtr, xsltTransformContextPtr context, const char* value) {
  if (auto* capture = detail::ErrorCapture::Current(); capture != nullptr) {
    capture->AddError(std::string("stylesheet access refused: ") + (value != nullptr ? value : ""));
  }
  if (context != nullptr) context->state = XSLT_STATE_STOPPED;
  return 0;
}

xsltSecurityPrefsPtr SecurityPrefs() {
  static xsltSecurityPrefsPtr prefs = [] {
    xsltSecurityPrefsPtr p = xsltNewSecurityPrefs();
    for (xsltSecurityOption option : {XSLT_SECPREF_READ_FILE, XSLT_SECPREF_WRITE_FILE, XSLT_SECPREF_CREATE_DIRECTORY,
                                      XSLT_SECPREF_READ_NETWORK, XSLT_SECPREF_WRITE_NETWORK}) {
      xsltSetSecurityPrefs(p, option, Forbid);
    }
    return p;
  }();
  return prefs;
}

// xsl:import and xsl:include load through this loader. The stock loader
// parses with entity substitution and DTD loading; these files get the same
// options as every other document, and document() loads nothing at all.
xmlDocPtr LoadWithSafeOptions(const xmlChar* uri, xmlDictPtr dict, int options, void* context, xsltLoadType type) {
  if (type == XSLT_LOAD_DOCUMENT) return nullptr;
  options &= ~(XML_PARSE_NOENT | XML_PARSE_DTDLOAD | XML_PARSE_DTDATTR | XML_PARSE_DTDVALID);
  options |= XML_PARSE_NONET;
  return xsltDocDefaultLoader(uri, dict, options, context, type);
}

void EnsureLoaderInstalled() {
  static std::once_flag once;
  std::call_once(once, [] { xsltSetLoaderFunc(LoadWithSafeOptions); });
}

void OnTransformError(void* context, const char* format, ...) {
  auto* capture = static_cast<detail::ErrorCapture*>(context);
  if (capture == nullptr || format == nullptr) return;
  char buffer[1024];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (length > 0) capture->AddGenericText(std::string_view(buffer, std::min<std::size_t>(length, sizeof buffer - 1)));
}

}  // namespace

Stylesheet::~Stylesheet() {
  if (style_ != nullptr) xsltFreeStylesheet(style_);
}

Stylesheet::Stylesheet(Stylesheet&& other) noexcept : style_(std::exchange(other.style_, nullptr)) {}

Stylesheet& Stylesheet::operator=(Stylesheet&& other) noexcept {
  if (this != &other) {
    if (style_ != nullptr) xsltFreeStylesheet(style_);
    style_ = std::exchange(other.style_, nullptr);
  }
  return *this;
}

Result<Stylesheet> Stylesheet::FromDocument(Document document) {
  detail::EnsureInitialised();
  EnsureLoaderInstalled();
  detail::ErrorCapture capture;
  xmlDocPtr doc = document.raw();
  if (doc == nullptr || xmlDocGetRootElement(doc) == nullptr) return MakeError("stylesheet document is empty");
  xsltStylesheetPtr style = xsltParseStylesheetDoc(doc);
  if (style == nullptr) return MakeError(capture.Message("not a valid stylesheet"));
  // From here on the stylesheet owns and frees the document.
  (void)document.Release();
  if (style->errors > 0) {
    xsltFreeStylesheet(style);
    return MakeError(capture.Message("stylesheet has errors"));
  }
  return Stylesheet(style);
}

Result<Stylesheet> Stylesheet::LoadFile(const std::string& path, const ParseOptions& options) {
  ParseOptions stylesheetOptions = options;
  stylesheetOptions.mergeCdata = true;
  Result<Document> document = Document::ParseFile(path, stylesheetOptions);
  if (!document) return document.error();
  return FromDocument(std::move(*document));
}

Result<Document> Stylesheet::Run(const Document& input, const StringParams& params) const {
  if (style_ == nullptr || input.raw() == nullptr) return MakeError("nothing to transform");
  detail::ErrorCapture capture;
  std::unique_ptr<xsltTransformContext, decltype(&xsltFreeTransformContext)> context(
      xsltNewTransformContext(style_, input.raw()), xsltFreeTransformContext);
  if (context == nullptr) return MakeError("out of memory");
  xsltSetTransformErrorFunc(context.get(), &capture, OnTransformError);
  if (xsltSetCtxtSecurityPrefs(SecurityPrefs(), context.get()) != 0) {
    return MakeError("cannot apply the stylesheet security preferences");
  }
  std::vector<const char*> flat;
  for (const auto& [name, value] : params) {
    flat.push_back(name.c_str());
    flat.push_back(value.c_str());
  }
  flat.push_back(nullptr);
  if (xsltQuoteUserParams(context.get(), flat.data()) != 0) {
    return MakeError(capture.Message("invalid stylesheet parameters"));
  }
  xmlDocPtr result = xsltApplyStylesheetUser(style_, input.raw(), nullptr, nullptr, nullptr, context.get());
  Document output = Document::Adopt(result);
  if (result == nullptr || context->state != XSLT_STATE_OK || capture.HasError()) {
    return MakeError(capture.Message("transformation failed"));
  }
  return output;
}

Result<Document> Stylesheet::Apply(const Document& input, const StringParams& params) const {
  return Run(input, params);
}

Result<std::string> Stylesheet::ApplyToString(const Document& input, const StringParams& params) const {
  Result<Document> output = Run(input, params);
  if (!output) return output.error();
  detail::ErrorCapture capture;
  xmlChar* bytes = nullptr;
  int length = 0;
  if (xsltSaveResultToString(&bytes, &length, output->raw(), style_) != 0) {
    if (bytes != nullptr) xmlFree(bytes);
    return MakeError(capture.Message("cannot serialise the transformation result"));
  }
  std::string text = bytes == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(bytes), length);
  if (bytes != nullptr) xmlFree(bytes);
  return text;
}

}  // namespace quorvane::platform::xml
