#include "platform/paths/PathJoin.h"

namespace quorvane::platform {

bool EndsWithSeparator(std::string_view path) {
  return !path.empty() && (path.back() == '/' || path.back() == '\\');
}

std::string WithTrailingSeparator(std::string_view folder) {
  std::string out(folder);
  if (!out.empty() && !EndsWithSeparator(out)) out += '/';
  return out;
}

std::string JoinPath(std::string_view a, std::string_view b) {
  if (a.empty()) return std::string(b);
  if (b.empty()) return std::string(a);
  while (a.size() > 1 && a.back() == '/') a.remove_suffix(1);
  while (!b.empty() && b.front() == '/') b.remove_prefix(1);
  std::string out(a);
  if (out.back() != '/') out += '/';
  out += b;
  return out;
}

std::string FolderPlusFile(std::string_view folder, std::string_view file, FolderSeparator rule) {
  std::string out(folder);
  if (rule == FolderSeparator::AlwaysInsert || !EndsWithSeparator(folder)) out += '/';
  out += file;
  return out;
}

std::string ParentFolder(std::string_view path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string_view::npos) return {};
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

}  // namespace quorvane::platform
