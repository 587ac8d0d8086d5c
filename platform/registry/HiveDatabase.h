#pragma once
// One open hive file: an SQLite connection in rollback-journal mode with a
// busy timeout, so that several processes can write the same hive at once.
// Used only inside platform/registry.

#include <sqlite3.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/Result.h"

namespace quorvane::platform::registry_detail {

enum class OpenMode { Read, Write };

// How a hive file is created when a writer finds it missing.
struct HiveFile {
  std::string path;
  // Machine hive: 0644 in 0755 folders, so other accounts can only read.
  // User hive: 0600 in 0700 folders.
  bool machineWide = false;
  // Owner of what is created, when root creates another account's hive.
  std::optional<uid_t> owner;
  std::optional<gid_t> group;
  // Root keys that a new file starts with.
  std::vector<std::string> roots;
};

// A prepared statement, finalized on destruction. A failed prepare or bind
// shows up as the result of Step().
class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, std::int64_t value);
  Statement& BindText(int index, std::string_view text);
  Statement& BindBlob(int index, const std::vector<std::uint8_t>& bytes);

  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step();

  std::int64_t Int(int column) const;
  std::string Text(int column) const;
  std::vector<std::uint8_t> Blob(int column) const;
  int ColumnType(int column) const;

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int rc_ = SQLITE_OK;
};

class HiveDatabase {
 public:
  static Result<std::shared_ptr<HiveDatabase>> Open(const HiveFile& file, OpenMode mode);
  ~HiveDatabase();
  HiveDatabase(const HiveDatabase&) = delete;
  HiveDatabase& operator=(const HiveDatabase&) = delete;

  sqlite3* db() const { return db_; }
  const std::string& path() const { return path_; }
  bool writable() const { return writable_; }
  // False for a read-only view of a file that no writer has set up yet:
  // such a hive holds nothing.
  bool hasTables() const { return hasTables_; }

  // "<file>: <SQLite message>" for the last failed call.
  Error LastError(std::string_view what) const;

  // Transactions nest: the outermost Begin takes the write lock
  // (BEGIN IMMEDIATE, waiting up to the busy timeout) and the outermost
  // Commit makes the changes visible. A nested one is a savepoint: its
  // Rollback undoes only its own changes.
  Status Begin();
  Status Commit();
  void Rollback();
  bool inTransaction() const { return depth_ > 0; }

 private:
  HiveDatabase(sqlite3* db, std::string path, bool writable) : db_(db), path_(std::move(path)), writable_(writable) {}
  Status Exec(const char* sql);
  void RollbackNow();
  Status PrepareSchema(const std::vector<std::string>& roots);

  sqlite3* db_;
  std::string path_;
  bool writable_;
  bool hasTables_ = false;
  int depth_ = 0;
};

// One change: joins or begins a transaction and rolls it back unless
// Commit() was reached.
class ChangeScope {
 public:
  explicit ChangeScope(HiveDatabase& database) : database_(database), begun_(database.Begin()) {}
  ~ChangeScope() {
    if (begun_.ok() && !finished_) database_.Rollback();
  }
  ChangeScope(const ChangeScope&) = delete;
  ChangeScope& operator=(const ChangeScope&) = delete;

  const Status& begun() const { return begun_; }
  Status Commit() {
    finished_ = true;
    return database_.Commit();
  }

 private:
  HiveDatabase& database_;
  Status begun_;
  bool finished_ = false;
};

}  // namespace quorvane::platform::registry_detail
