#include "platform/xml/XmlDocument.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/xml/XmlErrors.h"

namespace quorvane::platform::xml {
namespace {

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// Entity declarations (internal or external, general or parameter) are
// how documents pull in other files or blow up by expansion; none of the
// suite's formats needs them, so the first one stops the parse.
void RefuseEntityDeclaration(void* context, const xmlChar* name, int, const xmlChar*, const xmlChar*,
                             xmlChar*) {
  if (auto* capture = detail::ErrorCapture::Current(); capture != nullptr) {
    capture->AddError(std::string("entity declarations are not accepted (\"") +
                      (name != nullptr ? reinterpret_cast<const char*>(name) : "") + "\")");
  }
  xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
}

void RefuseUnparsedEntity(void* context, const xmlChar* name, const xmlChar* publicId,
                          const xmlChar* systemId, const xmlChar*) {
  RefuseEntityDeclaration(context, name, 0, publicId, systemId, nullptr);
}

// An external DTD subset is never read.
void IgnoreExternalSubset(void*, const xmlChar*, const xmlChar*, const xmlChar*) {}

xmlParserInputPtr ResolveNothing(void*, const xmlChar*, const xmlChar*) { return nullptr; }

bool LooksLikeUtf16(std::string_view bytes) {
  if (bytes.size() >= 2) {
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    const auto b1 = static_cast<unsigned char>(bytes[1]);
    if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF)) return true;
    if (b0 == 0 || b1 == 0) return true;
  }
  return false;
}

bool IsNameByte(unsigned char c, bool first) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80) return true;
  return !first && ((c >= '0' && c <= '9') || c == '-' || c == '.');
}

// Length of a well-formed reference starting at text[i] == '&', or 0.
std::size_t ReferenceLength(std::string_view text, std::size_t i) {
  std::size_t j = i + 1;
  if (j < text.size() && text[j] == '#') {
    ++j;
    const bool hex = j < text.size() && text[j] == 'x';
    if (hex) ++j;
    const std::size_t digits = j;
    while (j < text.size() && (hex ? std::isxdigit(static_cast<unsigned char>(text[j])) != 0
                                   : (text[j] >= '0' && text[j] <= '9'))) {
      ++j;
    }
    if (j == digits) return 0;
  } else {
    if (j >= text.size() || !IsNameByte(static_cast<unsigned char>(text[j]), true)) return 0;
    while (j < text.size() && IsNameByte(static_cast<unsigned char>(text[j]), false)) ++j;
  }
  return (j < text.size() && text[j] == ';') ? j + 1 - i : 0;
}

// Sections whose '&' is literal text already, as their opener and closer.
struct LiteralSection {
  std::string_view open;
  std::string_view close;
};
constexpr LiteralSection kLiteralSections[] = {{"<![CDATA[", "]]>"}, {"<!--", "-->"}, {"<?", "?>"}};

std::string EscapeBareAmpersands(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '<') {
      bool skipped = false;
      for (const LiteralSection& section : kLiteralSections) {
        if (text.substr(i, section.open.size()) != section.open) continue;
        const std::size_t close = text.find(section.close, i + section.open.size());
        const std::size_t end = close == std::string_view::npos ? text.size() : close + section.close.size();
        out.append(text.substr(i, end - i));
        i = end - 1;
        skipped = true;
        break;
      }
      if (skipped) continue;
    }
    if (text[i] == '&' && ReferenceLength(text, i) == 0) {
      out += "&amp;";
    } else {
      out += text[i];
    }
  }
  return out;
}

int AppendToString(void* context, const char* buffer, int length) {
  static_cast<std::string*>(context)->append(buffer, static_cast<std::size_t>(length));
  return length;
}

// libxml2 takes the indentation unit from a per-thread setting when a save
// context is created.
class IndentScope {
 public:
  explicit IndentScope(const std::string& unit)
      : previousString_(xmlTreeIndentString), previousIndent_(xmlIndentTreeOutput) {
    xmlTreeIndentString = unit.c_str();
    xmlIndentTreeOutput = 1;
  }
  ~IndentScope() {
    xmlTreeIndentString = previousString_;
    xmlIndentTreeOutput = previousIndent_;
  }
  IndentScope(const IndentScope&) = delete;
  IndentScope& operator=(const IndentScope&) = delete;

 private:
  const char* previousString_;
  int previousIndent_;
};

}  // namespace

Document::Document() {
  detail::EnsureInitialised();
  doc_ = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
}

Document::~Document() {
  if (doc_ != nullptr) xmlFreeDoc(doc_);
}

Document::Document(Document&& other) noexcept : doc_(std::exchange(other.doc_, nullptr)) {}

Document& Document::operator=(Document&& other) noexcept {
  if (this != &other) {
    if (doc_ != nullptr) xmlFreeDoc(doc_);
    doc_ = std::exchange(other.doc_, nullptr);
  }
  return *this;
}

Document Document::Adopt(_xmlDoc* doc) { return Document(doc); }

Result<Document> Document::Parse(std::string_view bytes, const ParseOptions& options, const std::string& url) {
  detail::EnsureInitialised();
  const std::string where = url.empty() ? std::string() : url + ": ";
  if (bytes.size() > options.maxBytes || bytes.size() > static_cast<std::size_t>(INT_MAX)) {
    return MakeError(where + "document is larger than " + std::to_string(options.maxBytes) + " bytes");
  }
  std::string repaired;
  if (options.recoverBareAmpersand && !LooksLikeUtf16(bytes)) {
    repaired = EscapeBareAmpersands(bytes);
    bytes = repaired;
  }

  detail::ErrorCapture capture;
  std::unique_ptr<xmlParserCtxt, decltype(&xmlFreeParserCtxt)> context(xmlNewParserCtxt(), xmlFreeParserCtxt);
  if (context == nullptr || context->sax == nullptr) return MakeError(where + "out of memory");
  context->sax->entityDecl = RefuseEntityDeclaration;
  context->sax->unparsedEntityDecl = RefuseUnparsedEntity;
  context->sax->externalSubset = IgnoreExternalSubset;
  context->sax->resolveEntity = ResolveNothing;

  int flags = XML_PARSE_NONET;
  if (options.mergeCdata) flags |= XML_PARSE_NOCDATA;
  xmlDoc* doc = xmlCtxtReadMemory(context.get(), bytes.data(), static_cast<int>(bytes.size()),
                                  url.empty() ? nullptr : url.c_str(), nullptr, flags);
  const bool failed = doc == nullptr || context->wellFormed == 0 || capture.HasError();
  if (failed) {
    if (doc != nullptr) xmlFreeDoc(doc);
    return MakeError(where + capture.Message("document is not well-formed"));
  }
  Document document(doc);
  if (document.Root().IsNull()) return MakeError(where + "document has no root element");
  return document;
}

Result<Document> Document::ParseFile(const std::string& path, const ParseOptions& options) {
  Result<std::string> bytes = ReadWholeFile(path, options.maxBytes);
  if (!bytes) return bytes.error();
  return Parse(*bytes, options, path);
}

Node Document::Root() const {
  return doc_ == nullptr ? Node() : Node(xmlDocGetRootElement(doc_));
}

Node Document::CreateRoot(std::string_view name) {
  const std::string key(name);
  if (doc_ == nullptr || key.empty() || xmlValidateName(reinterpret_cast<const xmlChar*>(key.c_str()), 0) != 0) {
    return Node();
  }
  xmlNode* root = xmlNewDocNode(doc_, nullptr, reinterpret_cast<const xmlChar*>(key.c_str()), nullptr);
  if (root == nullptr) return Node();
  if (xmlNode* old = xmlDocSetRootElement(doc_, root); old != nullptr) xmlFreeNode(old);
  return Node(root);
}

Result<std::string> Document::Serialize(const SaveFormat& format) const {
  if (doc_ == nullptr) return MakeError("no document");
  detail::ErrorCapture capture;
  int options = 0;
  if (format.indent) options |= XML_SAVE_FORMAT;
  if (!format.declaration) options |= XML_SAVE_NO_DECL;
  if (!format.selfCloseEmpty) options |= XML_SAVE_NO_EMPTY;

  std::string out;
  xmlSaveCtxtPtr save = nullptr;
  {
    IndentScope indent(format.indentUnit);
    save = xmlSaveToIO(AppendToString, nullptr, &out, format.encoding.empty() ? nullptr : format.encoding.c_str(),
                       options);
  }
  if (save == nullptr) return MakeError(capture.Message("cannot save with encoding \"" + format.encoding + "\""));
  xmlSaveDoc(save, doc_);
  const int written = xmlSaveClose(save);
  if (written < 0 || capture.HasError()) return MakeError(capture.Message("cannot serialise the document"));
  return out;
}

Status Document::SaveToFile(const std::string& path, const SaveFormat& format) const {
  Result<std::string> bytes = Serialize(format);
  if (!bytes) return bytes.error();
  return WriteFileDurably(path, *bytes);
}

Status WriteFileDurably(const std::string& path, std::string_view bytes, unsigned mode) {
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, static_cast<mode_t>(mode)));
  if (fd.get() < 0) return MakeError(Errno("cannot create " + path));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return MakeError(Errno("cannot write " + path));
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd.get()) != 0) return MakeError(Errno("cannot flush " + path));
  if (::close(fd.release()) != 0) return MakeError(Errno("cannot close " + path));
  return Status::Ok();
}

Result<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return MakeError(Errno("cannot open " + path));
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return MakeError(Errno("cannot read " + path));
  if (!S_ISREG(info.st_mode)) return MakeError(path + ": not a regular file");
  if (static_cast<std::size_t>(info.st_size) > maxBytes) {
    return MakeError(path + ": file is larger than " + std::to_string(maxBytes) + " bytes");
  }
  std::string content;
  content.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return MakeError(Errno("cannot read " + path));
    }
    if (n == 0) break;
    content.append(buffer, static_cast<std::size_t>(n));
    if (content.size() > maxBytes) return MakeError(path + ": file is larger than " + std::to_string(maxBytes) + " bytes");
  }
  return content;
}

}  // namespace quorvane::platform::xml
