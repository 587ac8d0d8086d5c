#include "common/keydb/Catalogue.h"

#include "common/keydb/FileWriting.h"
#include "platform/base/Utf16.h"
#include "platform/xml/XmlDocument.h"
#include "platform/xml/XmlNode.h"

namespace quorvane::keydb {
namespace {

namespace xml = platform::xml;

constexpr std::string_view kDeclaration = "<?xml version='1.0' encoding='utf-16'?>";

// A catalogue holds a few hundred entries; anything near this is no catalogue.
constexpr std::size_t kMaxCatalogueBytes = 8 * 1024 * 1024;

CProgramGroup FromDocument(const xml::Node& root) {
  CProgramGroup catalogue;
  for (const xml::Node& brandNode : root.Children("brand")) {
    CChannelGroup brand;
    brand.name = brandNode.Attribute("name").value_or("");
    for (const xml::Node& modelNode : brandNode.Children("model")) {
      brand.models.push_back(CGChannel{modelNode.Attribute("name").value_or(""), modelNode.Text()});
    }
    catalogue.brands.push_back(std::move(brand));
  }
  return catalogue;
}

std::string Utf16LittleEndian(std::string_view utf8) {
  std::string bytes;
  const std::u16string units = platform::ToUtf16(utf8);
  bytes.reserve(units.size() * 2);
  for (char16_t unit : units) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

}  // namespace

platform::Result<CProgramGroup> ParseCatalogue(std::string_view bytes) {
  xml::ParseOptions options;
  options.maxBytes = kMaxCatalogueBytes;
  auto document = xml::Document::Parse(bytes, options);
  if (!document) return platform::MakeError("catalogue: " + document.error().message);
  const xml::Node root = document->Root();
  if (root.Name() != "groups") return platform::MakeError("catalogue: no groups element");
  return FromDocument(root);
}

platform::Result<CProgramGroup> LoadCatalogue(const std::string& path) {
  auto bytes = xml::ReadWholeFile(path, kMaxCatalogueBytes);
  if (!bytes) return bytes.error();
  auto catalogue = ParseCatalogue(*bytes);
  if (!catalogue) return platform::MakeError(path + ": " + catalogue.error().message);
  return catalogue;
}

platform::Result<std::string> SerializeCatalogue(const CProgramGroup& catalogue) {
  xml::Document document;
  xml::Node root = document.CreateRoot("groups");
  root.SetAttribute("type", "Box");
  for (const CChannelGroup& brand : catalogue.brands) {
    xml::Node brandNode = root.AppendElement("brand");
    brandNode.SetAttribute("name", brand.name);
    for (const CGChannel& model : brand.models) {
      xml::Node modelNode = brandNode.AppendElement("model", model.file);
      modelNode.SetAttribute("name", model.name);
    }
  }
  // The body comes out as UTF-8 without declaration; the declaration is
  // written as the format has it and everything is re-encoded as UTF-16.
  xml::SaveFormat format;
  format.declaration = false;
  format.indent = false;
  format.encoding = "utf-8";
  auto body = document.Serialize(format);
  if (!body) return body.error();
  std::string& text = *body;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return std::string("\xFF\xFE") + Utf16LittleEndian(kDeclaration) + Utf16LittleEndian(text);
}

platform::Status SaveCatalogue(const CProgramGroup& catalogue, const std::string& path) {
  if (path.empty()) return platform::MakeError("no catalogue path");
  auto bytes = SerializeCatalogue(catalogue);
  if (!bytes) return bytes.error();
  return ReplaceFile(path, *bytes);
}

}  // namespace quorvane::keydb
