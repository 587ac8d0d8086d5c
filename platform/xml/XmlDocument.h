#pragma once
// An XML document on libxml2, owned by value (move-only). Parsing never
// reaches the network, never loads a DTD or external entity and refuses
// entity declarations altogether, so neither external files nor entity
// expansion can be smuggled in by a document. Saving controls the exact
// bytes: declaration, encoding, indentation and empty-element form.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "platform/base/Result.h"
#include "platform/xml/XmlNode.h"

struct _xmlDoc;

namespace quorvane::platform::xml {

struct ParseOptions {
  // Larger inputs are refused before parsing.
  std::size_t maxBytes = 16 * 1024 * 1024;
  // Downloaded files often carry a bare '&' in text; with this set, an '&'
  // that does not start an entity or character reference is read as text.
  bool recoverBareAmpersand = false;
  // CDATA sections become plain text nodes.
  bool mergeCdata = false;
};

struct SaveFormat {
  // Written in the declaration and used to encode the output. "UTF-16"
  // gives little-endian with a byte-order mark.
  std::string encoding = "utf-8";
  bool declaration = true;
  // Element-only content is broken into lines, one `indentUnit` per level
  // below the root; elements holding text stay on one line.
  bool indent = true;
  std::string indentUnit = "\t";
  // <a/> rather than <a></a>.
  bool selfCloseEmpty = true;
};

class Document {
 public:
  // An empty document (XML 1.0, no root yet).
  Document();
  ~Document();
  Document(Document&& other) noexcept;
  Document& operator=(Document&& other) noexcept;
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  static Result<Document> Parse(std::string_view bytes, const ParseOptions& options = {},
                                const std::string& url = {});
  static Result<Document> ParseFile(const std::string& path, const ParseOptions& options = {});

  // Takes ownership of a libxml2 document (for the XSLT step).
  static Document Adopt(_xmlDoc* doc);

  Node Root() const;
  // Creates the document element, replacing any existing one.
  Node CreateRoot(std::string_view name);

  Result<std::string> Serialize(const SaveFormat& format = {}) const;
  // Writes the serialised document to `path`, replacing its content, and
  // flushes it to the disk (fsync) before reporting success. A failure may
  // leave a partial file at `path`; callers that must never lose the old
  // content save to a side file and rename it.
  Status SaveToFile(const std::string& path, const SaveFormat& format = {}) const;

  _xmlDoc* raw() const { return doc_; }
  // Gives up ownership of the libxml2 document; this object becomes empty.
  [[nodiscard]] _xmlDoc* Release() { return std::exchange(doc_, nullptr); }

 private:
  explicit Document(_xmlDoc* doc) : doc_(doc) {}
  _xmlDoc* doc_ = nullptr;
};

// Writes `bytes` to `path` (created with `mode` when missing, truncated
// otherwise) and fsyncs it; every short write and error is reported.
Status WriteFileDurably(const std::string& path, std::string_view bytes, unsigned mode = 0644);

// Reads a whole regular file, refusing one larger than `maxBytes`.
Result<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes);

}  // namespace quorvane::platform::xml
