#pragma once
// An element of a Document. A Node is a non-owning handle: it stays valid
// while its Document lives and the element is not removed. A default Node is
// null; lookups that find nothing give a null Node, on which every accessor
// answers empty and every change does nothing.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct _xmlNode;

namespace quorvane::platform::xml {

class Node {
 public:
  Node() = default;
  explicit Node(_xmlNode* element) : node_(element) {}

  bool IsNull() const { return node_ == nullptr; }
  explicit operator bool() const { return node_ != nullptr; }
  bool operator==(const Node& other) const { return node_ == other.node_; }

  // Local name of the element.
  std::string Name() const;

  // The text of the element and all its descendants, concatenated.
  std::string Text() const;
  // Replaces all children with one text node (none for empty text). Text is
  // stored literally; characters XML cannot carry (invalid UTF-8, control
  // characters other than tab, line feed and carriage return) become U+FFFD
  // so that the saved document always parses again.
  void SetText(std::string_view text);

  std::optional<std::string> Attribute(std::string_view name) const;
  // Sets or replaces an attribute; false when the name is not a valid XML
  // name. The value is cleaned as in SetText.
  bool SetAttribute(std::string_view name, std::string_view value);
  void RemoveAttribute(std::string_view name);

  Node Parent() const;

  // Element children in document order; with a name, only those so named.
  std::vector<Node> Children(std::string_view name = {}) const;
  // The first element child with this name ("*" for any).
  Node Child(std::string_view name) const;
  // A path of child names separated by '/' ("datetime/year"); each step may
  // be "*". Select gives the first match in document order.
  Node Select(std::string_view path) const;
  std::vector<Node> SelectAll(std::string_view path) const;

  // Appends a new child element (null when the name is not a valid XML
  // name), optionally with text.
  Node AppendElement(std::string_view name);
  Node AppendElement(std::string_view name, std::string_view text);
  // Appends a text node after the existing children.
  void AppendText(std::string_view text);

  // Unlinks and frees the element with its subtree; the handle becomes null.
  void Remove();

  _xmlNode* raw() const { return node_; }

 private:
  _xmlNode* node_ = nullptr;
};

// Replaces what an XML document cannot carry, as Node::SetText does.
std::string CleanXmlText(std::string_view text);

}  // namespace quorvane::platform::xml
