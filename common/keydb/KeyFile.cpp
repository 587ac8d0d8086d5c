#include "common/keydb/KeyFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "common/keydb/FileWriting.h"

namespace quorvane::keydb {

KeyFileWrite WriteKeyFile(const std::string& path, const CRemoteKeyList& list) {
  KeyArchive archive = KeyArchive::ForStoring();
  CRemoteKeyList copy = list;
  (void)SerializeKeyList(archive, copy);  // storing into memory cannot fail

  KeyFileWrite result;
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0644));
  if (!fd) {
    result.message = "cannot create " + path + ": " + std::strerror(errno);
    return result;
  }
  // A device or pipe is no key file, and must never be removed after a
  // failed write. (O_NONBLOCK keeps a pipe without reader from blocking the
  // open; it changes nothing for a regular file.)
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    result.message = path + " is not a regular file";
    return result;
  }
  platform::Status written = WriteAllAndClose(fd, archive.stored(), path);
  if (!written) {
    ::unlink(path.c_str());
    result.outcome = KeyFileWriteOutcome::WriteFailed;
    result.message = written.error().message;
    return result;
  }
  result.outcome = KeyFileWriteOutcome::Written;
  return result;
}

platform::Result<KeyFileContents> ReadKeyFile(const std::string& path) {
  auto archive = KeyArchive::OpenForLoading(path);
  if (!archive) return archive.error();
  KeyFileContents contents;
  contents.read = ReadKeyList(*archive, contents.keys);
  return contents;
}

KeyTableFill FillKeyTable(KeyArchive& archive, KeyTable& table) {
  CRemoteKeyList keys;
  KeyTableFill fill;
  fill.read = ReadKeyList(archive, keys, kKeyTableSlots);
  for (std::size_t slot = 0; slot < keys.size() && slot < table.size(); ++slot) table[slot] = keys[slot].code;
  fill.slotsFilled = std::min(keys.size(), table.size());
  return fill;
}

platform::Result<KeyTableFill> FillKeyTableFromFile(const std::string& path, KeyTable& table) {
  auto archive = KeyArchive::OpenForLoading(path);
  if (!archive) return archive.error();
  return FillKeyTable(*archive, table);
}

}  // namespace quorvane::keydb
