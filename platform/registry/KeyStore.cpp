#include "platform/registry/KeyStore.h"

#include <limits>

#include "platform/base/Utf16.h"

namespace quorvane::platform::registry_detail {
namespace {

Error NotFound(std::string_view what, std::string_view name) {
  return MakeError(std::string(what) + " \"" + std::string(name) + "\" not found");
}

Result<KeyRow> FindChildRow(HiveDatabase& hive, std::int64_t parent, std::string_view name, std::string_view what) {
  if (!hive.hasTables()) return NotFound(what, name);
  Statement find(hive.db(), "SELECT id, name FROM keys WHERE parent = ?1 AND folded = ?2");
  find.Bind(1, parent).BindText(2, FoldCase(name));
  const int rc = find.Step();
  if (rc == SQLITE_ROW) return KeyRow{find.Int(0), find.Text(1)};
  if (rc == SQLITE_DONE) return NotFound(what, name);
  return hive.LastError("cannot read key");
}

Result<KeyRow> FindOrCreateChildRow(HiveDatabase& hive, std::int64_t parent, std::string_view name,
                                    std::string_view what) {
  auto found = FindChildRow(hive, parent, name, what);
  if (found || !hive.hasTables()) return found;
  if (parent != 0 && !KeyExists(hive, parent)) return MakeError("the parent key was deleted");
  Statement insert(hive.db(), "INSERT INTO keys(parent, name, folded) VALUES(?1, ?2, ?3)");
  insert.Bind(1, parent).BindText(2, name).BindText(3, FoldCase(name));
  if (insert.Step() != SQLITE_DONE) return hive.LastError("cannot create key");
  return KeyRow{sqlite3_last_insert_rowid(hive.db()), std::string(name)};
}

Result<RegistryValue> DecodeValue(const Statement& row, int typeColumn, int dataColumn) {
  const std::int64_t type = row.Int(typeColumn);
  switch (static_cast<ValueType>(type)) {
    case ValueType::String:
      return RegistryValue::String(row.Text(dataColumn));
    case ValueType::Dword: {
      const std::int64_t number = row.Int(dataColumn);
      if (row.ColumnType(dataColumn) != SQLITE_INTEGER || number < 0 ||
          number > std::numeric_limits<std::uint32_t>::max()) {
        return MakeError("damaged REG_DWORD value");
      }
      return RegistryValue::Dword(static_cast<std::uint32_t>(number));
    }
    case ValueType::Binary:
      return RegistryValue::Binary(row.Blob(dataColumn));
  }
  return MakeError("unsupported value type " + std::to_string(type));
}

}  // namespace

Result<std::int64_t> FindRoot(HiveDatabase& hive, std::string_view rootName) {
  auto row = FindChildRow(hive, 0, rootName, "hive root");
  if (!row) return row.error();
  return row->id;
}

Result<std::int64_t> FindOrCreateRoot(HiveDatabase& hive, std::string_view rootName) {
  auto row = FindOrCreateChildRow(hive, 0, rootName, "hive root");
  if (!row) return row.error();
  return row->id;
}

Result<KeyRow> FindSubkey(HiveDatabase& hive, std::int64_t parent, std::string_view name) {
  return FindChildRow(hive, parent, name, "key");
}

Result<KeyRow> FindOrCreateSubkey(HiveDatabase& hive, std::int64_t parent, std::string_view name) {
  return FindOrCreateChildRow(hive, parent, name, "key");
}

bool KeyExists(HiveDatabase& hive, std::int64_t key) {
  if (!hive.hasTables()) return false;
  Statement find(hive.db(), "SELECT 1 FROM keys WHERE id = ?1");
  find.Bind(1, key);
  return find.Step() == SQLITE_ROW;
}

Result<NamedValue> ReadValue(HiveDatabase& hive, std::int64_t key, std::string_view name) {
  if (!hive.hasTables()) return NotFound("value", name);
  Statement find(hive.db(), "SELECT name, type, data FROM key_values WHERE key = ?1 AND folded = ?2");
  find.Bind(1, key).BindText(2, FoldCase(name));
  const int rc = find.Step();
  if (rc == SQLITE_ROW) {
    auto value = DecodeValue(find, 1, 2);
    if (!value) return value.error();
    return NamedValue{find.Text(0), std::move(*value)};
  }
  if (rc == SQLITE_DONE) return NotFound("value", name);
  return hive.LastError("cannot read value");
}

Result<std::vector<NamedValue>> ReadValues(HiveDatabase& hive, std::int64_t key) {
  std::vector<NamedValue> values;
  if (!hive.hasTables()) return values;
  Statement list(hive.db(), "SELECT name, type, data FROM key_values WHERE key = ?1 ORDER BY rowid");
  list.Bind(1, key);
  int rc = SQLITE_OK;
  while ((rc = list.Step()) == SQLITE_ROW) {
    auto value = DecodeValue(list, 1, 2);
    if (!value) continue;  // a type this suite does not know is not shown
    values.push_back(NamedValue{list.Text(0), std::move(*value)});
  }
  if (rc != SQLITE_DONE) return hive.LastError("cannot read values");
  return values;
}

Status WriteValue(HiveDatabase& hive, std::int64_t key, std::string_view name, const RegistryValue& value) {
  // The key may have been deleted by another program since it was opened.
  Statement write(hive.db(),
                  "INSERT INTO key_values(key, name, folded, type, data) "
                  "SELECT ?1, ?2, ?3, ?4, ?5 WHERE EXISTS(SELECT 1 FROM keys WHERE id = ?1) "
                  "ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data");
  write.Bind(1, key).BindText(2, name).BindText(3, FoldCase(name)).Bind(4, static_cast<std::int64_t>(value.type));
  switch (value.type) {
    case ValueType::String:
      write.BindText(5, value.text);
      break;
    case ValueType::Dword:
      write.Bind(5, value.dword);
      break;
    case ValueType::Binary:
      write.BindBlob(5, value.bytes);
      break;
  }
  if (write.Step() != SQLITE_DONE) return hive.LastError("cannot write value");
  if (sqlite3_changes(hive.db()) == 0) return MakeError("the key was deleted");
  return Status::Ok();
}

Status RemoveValue(HiveDatabase& hive, std::int64_t key, std::string_view name) {
  Statement remove(hive.db(), "DELETE FROM key_values WHERE key = ?1 AND folded = ?2");
  remove.Bind(1, key).BindText(2, FoldCase(name));
  if (remove.Step() != SQLITE_DONE) return hive.LastError("cannot delete value");
  if (sqlite3_changes(hive.db()) == 0) return NotFound("value", name);
  return Status::Ok();
}

Result<std::uint32_t> CountSubkeys(HiveDatabase& hive, std::int64_t key) {
  if (!hive.hasTables()) return std::uint32_t{0};
  Statement count(hive.db(), "SELECT count(*) FROM keys WHERE parent = ?1");
  count.Bind(1, key);
  if (count.Step() != SQLITE_ROW) return hive.LastError("cannot count subkeys");
  return static_cast<std::uint32_t>(count.Int(0));
}

Result<std::string> SubkeyNameAt(HiveDatabase& hive, std::int64_t key, std::uint32_t index) {
  const std::string what = "subkey number " + std::to_string(index);
  if (!hive.hasTables()) return MakeError(what + " not found");
  Statement find(hive.db(), "SELECT name FROM keys WHERE parent = ?1 ORDER BY folded LIMIT 1 OFFSET ?2");
  find.Bind(1, key).Bind(2, index);
  const int rc = find.Step();
  if (rc == SQLITE_ROW) return find.Text(0);
  if (rc == SQLITE_DONE) return MakeError(what + " not found");
  return hive.LastError("cannot read subkeys");
}

Result<std::vector<KeyRow>> ListSubkeys(HiveDatabase& hive, std::int64_t key) {
  std::vector<KeyRow> rows;
  if (!hive.hasTables()) return rows;
  Statement list(hive.db(), "SELECT id, name FROM keys WHERE parent = ?1 ORDER BY folded");
  list.Bind(1, key);
  int rc = SQLITE_OK;
  while ((rc = list.Step()) == SQLITE_ROW) rows.push_back(KeyRow{list.Int(0), list.Text(1)});
  if (rc != SQLITE_DONE) return hive.LastError("cannot read subkeys");
  return rows;
}

Status RemoveKey(HiveDatabase& hive, std::int64_t key, bool withSubkeys) {
  if (!withSubkeys) {
    auto count = CountSubkeys(hive, key);
    if (!count) return count.error();
    if (*count > 0) return MakeError("the key has subkeys");
  }
  static constexpr const char* kTree =
      "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) ";
  Statement values(hive.db(), std::string(kTree) + "DELETE FROM key_values WHERE key IN tree");
  values.Bind(1, key);
  if (values.Step() != SQLITE_DONE) return hive.LastError("cannot delete values");
  Statement keys(hive.db(), std::string(kTree) + "DELETE FROM keys WHERE id IN tree");
  keys.Bind(1, key);
  if (keys.Step() != SQLITE_DONE) return hive.LastError("cannot delete key");
  if (sqlite3_changes(hive.db()) == 0) return MakeError("the key was deleted");
  return Status::Ok();
}

}  // namespace quorvane::platform::registry_detail
