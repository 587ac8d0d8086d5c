#include "platform/registry/HiveDatabase.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/base/Utf16.h"

namespace quorvane::platform::registry_detail {
namespace {

constexpr int kBusyTimeoutMs = 5000;
constexpr std::int64_t kSchemaVersion = 1;

// Keys form a tree by parent id; a hive root has parent 0. "folded" holds
// the case-folded name, so lookups ignore case while "name" keeps the case
// of creation, and subkeys enumerate in folded-name order through the
// (parent, folded) index. Values keep their creation order (rowid).
// AUTOINCREMENT keeps ids of deleted keys from being reused, so a handle
// to a deleted key can never reach a newer one.
constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS keys(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  parent INTEGER NOT NULL,
  name TEXT NOT NULL,
  folded TEXT NOT NULL,
  UNIQUE(parent, folded));
CREATE TABLE IF NOT EXISTS key_values(
  key INTEGER NOT NULL,
  name TEXT NOT NULL,
  folded TEXT NOT NULL,
  type INTEGER NOT NULL,
  data,
  UNIQUE(key, folded));
PRAGMA user_version = 1;
)sql";

std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

std::string ParentFolder(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

Status CreateFolders(const std::string& folder, mode_t mode, const HiveFile& file) {
  struct stat info {};
  if (stat(folder.c_str(), &info) == 0) {
    return S_ISDIR(info.st_mode) ? Status::Ok() : Status(MakeError(folder + " is not a folder"));
  }
  if (folder != "/" && folder != ".") {
    Status parent = CreateFolders(ParentFolder(folder), mode, file);
    if (!parent) return parent;
  }
  if (mkdir(folder.c_str(), mode) != 0) {
    if (errno == EEXIST) return Status::Ok();
    return MakeError(ErrnoText("cannot create " + folder));
  }
  // The umask must not loosen or tighten what the hive promises.
  chmod(folder.c_str(), mode);
  if (file.owner) {
    if (chown(folder.c_str(), *file.owner, file.group.value_or(static_cast<gid_t>(-1))) != 0) {
      return MakeError(ErrnoText("cannot hand " + folder + " to its owner"));
    }
  }
  return Status::Ok();
}

Status CreateHiveFile(const HiveFile& file) {
  const mode_t folderMode = file.machineWide ? 0755 : 0700;
  const mode_t fileMode = file.machineWide ? 0644 : 0600;
  Status folders = CreateFolders(ParentFolder(file.path), folderMode, file);
  if (!folders) return folders;
  const int fd = open(file.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, fileMode);
  if (fd < 0) {
    if (errno == EEXIST) return Status::Ok();  // another process was first
    return MakeError(ErrnoText("cannot create " + file.path));
  }
  Status result = Status::Ok();
  fchmod(fd, fileMode);
  if (file.owner && fchown(fd, *file.owner, file.group.value_or(static_cast<gid_t>(-1))) != 0) {
    result = MakeError(ErrnoText("cannot hand " + file.path + " to its owner"));
  }
  close(fd);
  return result;
}

// Writing needs the file and, for the journal, its folder.
bool CanWrite(const std::string& path) {
  return faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) == 0 &&
         faccessat(AT_FDCWD, ParentFolder(path).c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

}  // namespace

Statement::Statement(sqlite3* db, std::string_view sql) {
  rc_ = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
  if (rc_ == SQLITE_OK && !stmt_) rc_ = SQLITE_MISUSE;
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement& Statement::Bind(int index, std::int64_t value) {
  if (rc_ == SQLITE_OK) rc_ = sqlite3_bind_int64(stmt_, index, value);
  return *this;
}

Statement& Statement::BindText(int index, std::string_view text) {
  if (rc_ == SQLITE_OK) {
    rc_ = sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  }
  return *this;
}

Statement& Statement::BindBlob(int index, const std::vector<std::uint8_t>& bytes) {
  if (rc_ == SQLITE_OK) {
    // A zero-length blob must stay a blob, not become NULL.
    rc_ = bytes.empty() ? sqlite3_bind_zeroblob(stmt_, index, 0)
                        : sqlite3_bind_blob64(stmt_, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
  }
  return *this;
}

int Statement::Step() {
  if (rc_ != SQLITE_OK) return rc_;
  const int rc = sqlite3_step(stmt_);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) rc_ = rc;
  return rc;
}

std::int64_t Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string Statement::Text(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  const int size = sqlite3_column_bytes(stmt_, column);
  return text ? std::string(text, static_cast<std::size_t>(size)) : std::string();
}

std::vector<std::uint8_t> Statement::Blob(int column) const {
  const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, column));
  const int size = sqlite3_column_bytes(stmt_, column);
  return data ? std::vector<std::uint8_t>(data, data + size) : std::vector<std::uint8_t>();
}

int Statement::ColumnType(int column) const { return sqlite3_column_type(stmt_, column); }

Result<std::shared_ptr<HiveDatabase>> HiveDatabase::Open(const HiveFile& file, OpenMode mode) {
  struct stat info {};
  const bool exists = stat(file.path.c_str(), &info) == 0;
  int flags = SQLITE_OPEN_FULLMUTEX;
  if (mode == OpenMode::Read) {
    if (!exists) return MakeError("no hive file " + file.path);
    flags |= SQLITE_OPEN_READONLY;
  } else {
    if (!exists) {
      Status created = CreateHiveFile(file);
      if (!created) return created.error();
    }
    if (!CanWrite(file.path)) return MakeError(file.path + " is read-only for this account");
    flags |= SQLITE_OPEN_READWRITE;
  }

  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(file.path.c_str(), &db, flags, nullptr);
  // The connection owns db even when opening failed.
  std::shared_ptr<HiveDatabase> hive(new HiveDatabase(db, file.path, mode == OpenMode::Write));
  if (rc != SQLITE_OK) return hive->LastError("cannot open");
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  Status schema = hive->PrepareSchema(file.roots);
  if (!schema) return schema.error();
  return hive;
}

HiveDatabase::~HiveDatabase() {
  if (db_) RollbackNow();
  sqlite3_close_v2(db_);
}

Error HiveDatabase::LastError(std::string_view what) const {
  std::string message = path_ + ": " + std::string(what);
  if (db_) message += std::string(": ") + sqlite3_errmsg(db_);
  return MakeError(std::move(message));
}

Status HiveDatabase::Exec(const char* sql) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) return LastError(sql);
  return Status::Ok();
}

Status HiveDatabase::PrepareSchema(const std::vector<std::string>& roots) {
  const auto readVersion = [this]() -> Result<std::int64_t> {
    Statement version(db_, "PRAGMA user_version");
    if (version.Step() != SQLITE_ROW) return LastError("not a hive file");
    return version.Int(0);
  };
  auto version = readVersion();
  if (!version) return version.error();
  if (*version == 0 && writable_) {
    Status begun = Exec("BEGIN IMMEDIATE");
    if (!begun) return begun;
    version = readVersion();
    if (version && *version == 0) {
      Status created = Exec(kSchema);
      for (const auto& root : roots) {
        if (!created) break;
        Statement insert(db_, "INSERT INTO keys(parent, name, folded) VALUES(0, ?1, ?2)");
        insert.BindText(1, root).BindText(2, FoldCase(root));
        if (insert.Step() != SQLITE_DONE) created = LastError("cannot create the hive roots");
      }
      if (!created) {
        RollbackNow();
        return created;
      }
      version = kSchemaVersion;
    }
    Status committed = Exec("COMMIT");
    if (!committed) {
      RollbackNow();
      return committed;
    }
    if (!version) return version.error();
  }
  if (*version > kSchemaVersion) return MakeError(path_ + ": hive written by a newer version of the suite");
  hasTables_ = *version == kSchemaVersion;
  return Status::Ok();
}

Status HiveDatabase::Begin() {
  if (!writable_) return MakeError(path_ + " is open for reading only");
  Status begun = Exec(depth_ == 0 ? "BEGIN IMMEDIATE" : "SAVEPOINT nested");
  if (!begun) return begun;
  ++depth_;
  return Status::Ok();
}

Status HiveDatabase::Commit() {
  if (depth_ == 0) return MakeError(path_ + ": no transaction to commit");
  if (--depth_ > 0) return Exec("RELEASE nested");
  Status committed = Exec("COMMIT");
  if (!committed) RollbackNow();
  return committed;
}

void HiveDatabase::Rollback() {
  if (depth_ == 0) return;
  if (--depth_ > 0) {
    sqlite3_exec(db_, "ROLLBACK TO nested; RELEASE nested", nullptr, nullptr, nullptr);
    return;
  }
  RollbackNow();
}

void HiveDatabase::RollbackNow() {
  // A failed statement may already have ended the transaction.
  if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

}  // namespace quorvane::platform::registry_detail
