#include "iepg/IEPG.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/debug/DebugOutput.h"
#include "platform/xml/XmlDocument.h"
#include "platform/xml/XsltStylesheet.h"

namespace quorvane::iepg {

using platform::MakeError;
using platform::Status;

namespace {

constexpr mode_t kRecordFileMode = 0644;

// Replaces the content of `path`, which must be a regular file with one
// name (the record file the handler reserved, or a new one).
Status WriteRecordFile(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, kRecordFileMode);
  if (fd < 0) return MakeError("cannot open " + path + ": " + std::strerror(errno));
  // Checked before truncating, so that a name linked to another file in
  // the shared folder never costs that file its content.
  struct stat info {};
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1;
  std::string failure = ok ? "" : path + " is not a plain record file";
  if (ok && ::ftruncate(fd, 0) != 0) {
    failure = "cannot empty " + path + ": " + std::strerror(errno);
    ok = false;
  }
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      failure = "cannot write " + path + ": " + std::strerror(wrote < 0 ? errno : EIO);
      ok = false;
    } else {
      done += static_cast<std::size_t>(wrote);
    }
  }
  if (ok && ::fsync(fd) != 0) {
    failure = "cannot flush " + path + ": " + std::strerror(errno);
    ok = false;
  }
  if (::close(fd) != 0 && ok) {
    failure = "cannot close " + path + ": " + std::strerror(errno);
    ok = false;
  }
  if (!ok) return MakeError(failure);
  return Status::Ok();
}

}  // namespace

HRESULT CIEPG::ConvertFile(const std::string& input, const std::string& output) {
  platform::xml::ParseOptions sourceOptions;
  sourceOptions.maxBytes = kMaxSourceBytes;
  sourceOptions.recoverBareAmpersand = true;
  auto source = platform::xml::Document::ParseFile(input, sourceOptions);
  if (!source) {
    platform::DebugOutput("[CIEPG::ConvertFile] cannot load " + input + ": " + source.error().message);
    return platform::E_FAIL;
  }
  auto stylesheet = platform::xml::Stylesheet::LoadFile(stylesheetPath_);
  if (!stylesheet) {
    platform::DebugOutput("[CIEPG::ConvertFile] cannot load " + stylesheetPath_ + ": " + stylesheet.error().message);
    return platform::E_FAIL;
  }
  auto record = stylesheet->ApplyToString(*source);
  if (!record) {
    platform::DebugOutput("[CIEPG::ConvertFile] cannot transform " + input + ": " + record.error().message);
    return platform::E_FAIL;
  }
  if (Status saved = WriteRecordFile(output, *record); !saved) {
    platform::DebugOutput("[CIEPG::ConvertFile] " + saved.error().message);
    return platform::E_FAIL;
  }
  return platform::S_OK;
}

}  // namespace quorvane::iepg
