#pragma once
// A compiled XSLT stylesheet. Transformations run under security
// preferences that forbid writing files, creating folders, any network
// access and reading other documents (document()), so a stylesheet can only
// turn its input into its output.

#include <string>
#include <utility>
#include <vector>

#include "platform/base/Result.h"
#include "platform/xml/XmlDocument.h"

struct _xsltStylesheet;

namespace quorvane::platform::xml {

// Stylesheet parameters: name and literal string value (never evaluated as
// an XPath expression).
using StringParams = std::vector<std::pair<std::string, std::string>>;

class Stylesheet {
 public:
  ~Stylesheet();
  Stylesheet(Stylesheet&& other) noexcept;
  Stylesheet& operator=(Stylesheet&& other) noexcept;
  Stylesheet(const Stylesheet&) = delete;
  Stylesheet& operator=(const Stylesheet&) = delete;

  // Compiles a parsed stylesheet document; the stylesheet takes it over.
  static Result<Stylesheet> FromDocument(Document document);
  static Result<Stylesheet> LoadFile(const std::string& path, const ParseOptions& options = {});

  Result<Document> Apply(const Document& input, const StringParams& params = {}) const;
  // The result serialised as the stylesheet's xsl:output asks (method,
  // encoding, indentation).
  Result<std::string> ApplyToString(const Document& input, const StringParams& params = {}) const;

 private:
  explicit Stylesheet(_xsltStylesheet* style) : style_(style) {}
  Result<Document> Run(const Document& input, const StringParams& params) const;
  _xsltStylesheet* style_ = nullptr;
};

}  // namespace quorvane::platform::xml
