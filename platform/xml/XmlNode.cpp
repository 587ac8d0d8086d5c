#include "platform/xml/XmlNode.h"

#include "platform/base/Utf16.h"

#include <libxml/tree.h>

namespace quorvane::platform::xml {
namespace {

const xmlChar* X(const std::string& text) { return reinterpret_cast<const xmlChar*>(text.c_str()); }

std::string FromXml(const xmlChar* text) {
  return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text));
}

std::string TakeXml(xmlChar* text) {
  std::string result = FromXml(text);
  xmlFree(text);
  return result;
}

bool IsValidName(const std::string& name) {
  return !name.empty() && xmlValidateName(X(name), 0) == 0;
}

bool NameMatches(const xmlNode* node, std::string_view name) {
  if (name.empty() || name == "*") return true;
  return node->name != nullptr && name == reinterpret_cast<const char*>(node->name);
}

bool IsXmlChar(char32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
         (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

void SelectInto(xmlNode* from, const std::vector<std::string_view>& steps, std::size_t step,
                std::vector<Node>& out, bool firstOnly) {
  if (step == steps.size()) {
    out.emplace_back(from);
    return;
  }
  for (xmlNode* child = from->children; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE || !NameMatches(child, steps[step])) continue;
    SelectInto(child, steps, step + 1, out, firstOnly);
    if (firstOnly && !out.empty()) return;
  }
}

std::vector<std::string_view> SplitPath(std::string_view path) {
  std::vector<std::string_view> steps;
  while (!path.empty()) {
    const std::size_t slash = path.find('/');
    const std::string_view step = path.substr(0, slash);
    if (!step.empty()) steps.push_back(step);
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return steps;
}

}  // namespace

std::string CleanXmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t start = i;
    char32_t cp = 0;
    if (DecodeUtf8(text, i, cp) && IsXmlChar(cp)) {
      out.append(text.substr(start, i - start));
    } else {
      out.append("\xEF\xBF\xBD");
    }
  }
  return out;
}

std::string Node::Name() const { return node_ == nullptr ? std::string() : FromXml(node_->name); }

std::string Node::Text() const {
  return node_ == nullptr ? std::string() : TakeXml(xmlNodeGetContent(node_));
}

void Node::SetText(std::string_view text) {
  if (node_ == nullptr) return;
  for (xmlNode* child = node_->children; child != nullptr;) {
    xmlNode* next = child->next;
    xmlUnlinkNode(child);
    xmlFreeNode(child);
    child = next;
  }
  AppendText(text);
}

void Node::AppendText(std::string_view text) {
  if (node_ == nullptr || text.empty()) return;
  const std::string clean = CleanXmlText(text);
  xmlNode* textNode = xmlNewDocTextLen(node_->doc, reinterpret_cast<const xmlChar*>(clean.data()),
                                       static_cast<int>(clean.size()));
  if (textNode != nullptr && xmlAddChild(node_, textNode) == nullptr) xmlFreeNode(textNode);
}

std::optional<std::string> Node::Attribute(std::string_view name) const {
  if (node_ == nullptr) return std::nullopt;
  const std::string key(name);
  if (xmlHasProp(node_, X(key)) == nullptr) return std::nullopt;
  return TakeXml(xmlGetProp(node_, X(key)));
}

bool Node::SetAttribute(std::string_view name, std::string_view value) {
  const std::string key(name);
  if (node_ == nullptr || !IsValidName(key)) return false;
  const std::string clean = CleanXmlText(value);
  return xmlSetProp(node_, X(key), X(clean)) != nullptr;
}

void Node::RemoveAttribute(std::string_view name) {
  if (node_ == nullptr) return;
  const std::string key(name);
  if (xmlAttr* attribute = xmlHasProp(node_, X(key)); attribute != nullptr) xmlRemoveProp(attribute);
}

Node Node::Parent() const {
  if (node_ == nullptr || node_->parent == nullptr || node_->parent->type != XML_ELEMENT_NODE) return Node();
  return Node(node_->parent);
}

std::vector<Node> Node::Children(std::string_view name) const {
  std::vector<Node> children;
  if (node_ == nullptr) return children;
  for (xmlNode* child = node_->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && NameMatches(child, name)) children.emplace_back(child);
  }
  return children;
}

Node Node::Child(std::string_view name) const {
  if (node_ == nullptr) return Node();
  for (xmlNode* child = node_->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && NameMatches(child, name)) return Node(child);
  }
  return Node();
}

Node Node::Select(std::string_view path) const {
  std::vector<Node> found;
  if (node_ != nullptr) SelectInto(node_, SplitPath(path), 0, found, true);
  return found.empty() ? Node() : found.front();
}

std::vector<Node> Node::SelectAll(std::string_view path) const {
  std::vector<Node> found;
  if (node_ != nullptr) SelectInto(node_, SplitPath(path), 0, found, false);
  return found;
}

Node Node::AppendElement(std::string_view name) {
  const std::string key(name);
  if (node_ == nullptr || !IsValidName(key)) return Node();
  xmlNode* element = xmlNewDocNode(node_->doc, nullptr, X(key), nullptr);
  if (element == nullptr) return Node();
  if (xmlAddChild(node_, element) == nullptr) {
    xmlFreeNode(element);
    return Node();
  }
  return Node(element);
}

Node Node::AppendElement(std::string_view name, std::string_view text) {
  Node element = AppendElement(name);
  element.AppendText(text);
  return element;
}

void Node::Remove() {
  if (node_ == nullptr) return;
  xmlUnlinkNode(node_);
  xmlFreeNode(node_);
  node_ = nullptr;
}

}  // namespace quorvane::platform::xml
