#include "iepg/DesktopRegistration.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "iepg/ChildProcess.h"
#include "iepg/FileTypeRegistration.h"
#include "platform/debug/DebugOutput.h"
#include "platform/paths/UserFolders.h"
#include "platform/xml/XmlDocument.h"

namespace quorvane::iepg {

using platform::MakeError;
using platform::Result;
using platform::Status;

namespace {

constexpr char kDefaultSystemDataFolders[] = "/usr/local/share";

// Writes a side file and renames it over the target, so a reader sees the
// old file or the new one, never a part.
Status ReplaceFile(const std::filesystem::path& target, std::string_view text) {
  std::error_code error;
  std::filesystem::create_directories(target.parent_path(), error);
  if (error) return MakeError("cannot create " + target.parent_path().string() + ": " + error.message());
  const std::string side = target.string() + ".new-" + std::to_string(::getpid());
  if (Status written = platform::xml::WriteFileDurably(side, text, 0644); !written) {
    std::filesystem::remove(side, error);
    return written;
  }
  std::filesystem::rename(side, target, error);
  if (error) {
    std::error_code ignored;
    std::filesystem::remove(side, ignored);
    return MakeError("cannot replace " + target.string() + ": " + error.message());
  }
  return Status::Ok();
}

std::string EscapeXml(std::string_view text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

}  // namespace

bool RunsAsRoot() { return ::geteuid() == 0; }

Result<std::string> DesktopDataFolder(bool systemWide) {
  if (!systemWide) return platform::LocalAppDataFolder();
  const char* dirs = std::getenv("XDG_DATA_DIRS");
  std::string_view list = dirs != nullptr && dirs[0] != '\0' ? dirs : kDefaultSystemDataFolders;
  // The first absolute entry; relative entries are ignored, as the base
  // directory rules ask.
  while (!list.empty()) {
    const std::size_t colon = list.find(':');
    std::string_view entry = list.substr(0, colon);
    if (!entry.empty() && entry.front() == '/') return std::string(entry);
    if (colon == std::string_view::npos) break;
    list.remove_prefix(colon + 1);
  }
  return std::string(kDefaultSystemDataFolders);
}

std::string MimePackageText() {
  const TitanFileType& record = kTitanFileTypes[0];
  const TitanFileType& watch = kTitanFileTypes[1];
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
  text += "  <mime-type type=\"" + std::string(record.mimeType) + "\">\n";
  text += "    <comment>" + EscapeXml(record.description) + "</comment>\n";
  text += "    <glob pattern=\"*" + std::string(record.extension) + "\"/>\n";
  text += "  </mime-type>\n";
  text += "  <mime-type type=\"" + std::string(watch.mimeType) + "\">\n";
  text += "    <comment>" + EscapeXml(watch.description) + "</comment>\n";
  text += "    <alias type=\"" + std::string(kWatchTypeAlias) + "\"/>\n";
  text += "    <glob pattern=\"*" + std::string(watch.extension) + "\"/>\n";
  text += "  </mime-type>\n";
  text += "</mime-info>\n";
  return text;
}

std::string DesktopExecArgument(std::string_view path) {
  // The quoting rule of the Exec key first ...
  std::string quoted = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  // ... then the escapes of every string value, which a reader undoes
  // before it unquotes.
  std::string escaped;
  for (char c : quoted) {
    switch (c) {
      case '\\': escaped += "\\\\"; break;
      case '\n': escaped += "\\n"; break;
      case '\t': escaped += "\\t"; break;
      case '\r': escaped += "\\r"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

std::string DesktopEntryText(std::string_view executablePath) {
  std::string text =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=TeskIEPG\n"
      "Comment=Schedules a recording from a downloaded TitanTV programme file\n";
  text += "Exec=" + DesktopExecArgument(executablePath) + " %f\n";
  text += "MimeType=";
  for (const TitanFileType& type : kTitanFileTypes) text += std::string(type.mimeType) + ";";
  text += "\n";
  text +=
      "NoDisplay=true\n"
      "Terminal=false\n";
  return text;
}

Status InstallDesktopRegistration(const std::string& dataFolder, std::string_view executablePath) {
  const std::filesystem::path folder(dataFolder);
  const std::filesystem::path mimeFolder = folder / "mime";
  const std::filesystem::path applications = folder / "applications";
  if (Status written = ReplaceFile(mimeFolder / "packages" / kMimePackageName, MimePackageText()); !written) {
    return written;
  }
  if (Status written = ReplaceFile(applications / kDesktopEntryName, DesktopEntryText(executablePath)); !written) {
    return written;
  }

  auto mime = RunInstalledTool({"update-mime-database", mimeFolder.string()});
  if (!mime) return mime.error();
  if (!mime->has_value()) {
    platform::DebugOutput("[CTitanIEPG::RegisterFileType] update-mime-database is not installed");
  } else if (**mime != 0) {
    return MakeError("update-mime-database " + mimeFolder.string() + " failed with " + std::to_string(**mime));
  }
  // Only a cache of the entries' MIME types; the entry works without it.
  auto desktop = RunInstalledTool({"update-desktop-database", applications.string()});
  if (!desktop || (desktop->has_value() && **desktop != 0)) {
    platform::DebugOutput("[CTitanIEPG::RegisterFileType] update-desktop-database " + applications.string() +
                          " did not finish");
  }
  return Status::Ok();
}

}  // namespace quorvane::iepg
