#include "tools/quorvane-reg/RegTool.h"

#include <sys/stat.h>
#include <charconv>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>

#include "platform/base/Utf16.h"
#include "platform/registry/HiveNames.h"
#include "tools/quorvane-reg/RegFile.h"

namespace quorvane::tools {

using platform::FullKeyPath;
using platform::KeyAccess;
using platform::NamedValue;
using platform::Registry;
using platform::RegistryKey;
using platform::RegistryValue;
using platform::Status;
using platform::ValueType;

namespace {

constexpr const char* kUsage = R"(Usage: quorvane-reg OPERATION [PARAMETERS]

  quorvane-reg query KEY [/v NAME | /ve] [/s]
  quorvane-reg add KEY [/v NAME | /ve] [/t REG_SZ|REG_DWORD|REG_BINARY] [/d DATA] [/f]
  quorvane-reg delete KEY [/v NAME | /ve | /va] [/f]
  quorvane-reg export KEY FILE [/y]
  quorvane-reg import FILE

KEY    ROOT\SUBKEY, ROOT one of HKLM, HKCU, HKU, HKCR (or HKEY_LOCAL_MACHINE,
       HKEY_CURRENT_USER, HKEY_USERS, HKEY_CLASSES_ROOT); HKU\S-1-22-1-<uid>\...
       reaches the hive of that user. Names ignore letter case.
/v     the value of that name        /ve  the unnamed (default) value
/va    every value of the key        /s   the key and all its subkeys
/t     value type (default REG_SZ)   /d   data: text, a number (decimal or 0x
                                          hexadecimal) or hexadecimal bytes
/f, /y overwrite or delete without asking (only a terminal is asked)
FILE   a registration file (.reg) in UTF-8

The hives: $QUORVANE_MACHINE_DIR/registry/machine.db (HKLM, HKCR; default
/var/lib/quorvane) and $XDG_CONFIG_HOME/quorvane/registry/user.db (HKCU).
Exit status 0 on success, 1 on failure.
)";

constexpr const char* kNotFound = "The system was unable to find the specified registry key or value";
constexpr const char* kDone = "The operation completed successfully.";

// Failure of a command: the text after "ERROR: ".
struct Failure {
  std::string message;
};

struct Options {
  std::optional<std::string> valueName;  // /v NAME, or "" for /ve
  bool allValues = false;                // /va
  bool recurse = false;                  // /s
  bool force = false;                    // /f or /y
  std::optional<std::string> type;       // /t
  std::optional<std::string> data;       // /d
};

bool IsHelp(const std::string& arg) { return arg == "/?" || arg == "-?" || arg == "--help" || arg == "-h"; }

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

Failure Syntax(const std::string& operation) {
  return Failure{"Invalid syntax. Type \"quorvane-reg " + operation + " /?\" for usage."};
}

// Options after the positional arguments; `allowed` lists the switches
// the operation takes.
std::optional<Failure> ParseOptions(const std::vector<std::string>& args, std::size_t first,
                                    const std::string& operation, std::string_view allowed, Options& options) {
  const auto allows = [&](std::string_view option) {
    std::string_view list = allowed;
    while (!list.empty()) {
      const std::size_t space = list.find(' ');
      if (list.substr(0, space) == option) return true;
      if (space == std::string_view::npos) break;
      list.remove_prefix(space + 1);
    }
    return false;
  };
  for (std::size_t i = first; i < args.size(); ++i) {
    std::string option = Lower(args[i]);
    if (!option.empty() && option.front() == '-') option.front() = '/';
    if (option == "/reg:32" || option == "/reg:64") continue;  // one registry view only
    if (!allows(option)) return Syntax(operation);
    const bool takesArgument = option == "/v" || option == "/t" || option == "/d";
    if (takesArgument && i + 1 >= args.size()) return Syntax(operation);
    if (option == "/v" || option == "/ve") {
      if (options.valueName || options.allValues) return Syntax(operation);
      options.valueName = option == "/v" ? args[++i] : std::string();
    } else if (option == "/va") {
      if (options.valueName || options.allValues) return Syntax(operation);
      options.allValues = true;
    } else if (option == "/s") {
      options.recurse = true;
    } else if (option == "/f" || option == "/y") {
      options.force = true;
    } else if (option == "/t") {
      if (options.type) return Syntax(operation);
      options.type = args[++i];
    } else if (option == "/d") {
      if (options.data) return Syntax(operation);
      options.data = args[++i];
    }
  }
  return std::nullopt;
}

std::optional<Failure> ParseKey(const std::string& text, FullKeyPath& key) {
  auto parsed = platform::ParseFullKeyPath(text);
  if (!parsed) return Failure{"Invalid key name: " + parsed.error().message + "."};
  key = std::move(*parsed);
  return std::nullopt;
}

std::string FormatData(const RegistryValue& value) {
  switch (value.type) {
    case ValueType::String:
      return value.text;
    case ValueType::Dword: {
      std::ostringstream hex;
      hex << "0x" << std::hex << value.dword;
      return hex.str();
    }
    case ValueType::Binary: {
      static constexpr char kDigits[] = "0123456789ABCDEF";
      std::string out;
      for (std::uint8_t byte : value.bytes) {
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0xF];
      }
      return out;
    }
  }
  return {};
}

std::string ValueLine(std::string_view name, const RegistryValue& value) {
  return "    " + (name.empty() ? std::string("(Default)") : std::string(name)) + "    " +
         platform::ValueTypeName(value.type) + "    " + FormatData(value);
}

class Commands {
 public:
  Commands(const Registry& registry, RegToolStreams streams) : registry_(registry), io_(streams) {}

  std::optional<Failure> Query(const std::vector<std::string>& args);
  std::optional<Failure> Add(const std::vector<std::string>& args);
  std::optional<Failure> Delete(const std::vector<std::string>& args);
  std::optional<Failure> Export(const std::vector<std::string>& args);
  std::optional<Failure> Import(const std::vector<std::string>& args);

 private:
  // True when the user agrees, or when there is nobody to ask.
  bool Confirm(const std::string& question) {
    if (!io_.interactive) return true;
    io_.out << question << " (Yes/No)? " << std::flush;
    std::string answer;
    if (!std::getline(io_.in, answer)) return false;
    answer = Lower(answer);
    return answer == "y" || answer == "yes";
  }

  std::optional<Failure> OpenExisting(const FullKeyPath& key, KeyAccess access, std::optional<RegistryKey>& out) {
    auto opened = registry_.OpenKey(key.hive, key.path, access);
    if (!opened) {
      // A key that exists but cannot be written is a matter of rights.
      if (access == KeyAccess::Write && registry_.OpenKey(key.hive, key.path, KeyAccess::Read)) {
        return Failure{"Access is denied: " + opened.error().message + "."};
      }
      return Failure{std::string(kNotFound) + " (" + opened.error().message + ")."};
    }
    out.emplace(std::move(*opened));
    return std::nullopt;
  }

  void PrintTree(const RegistryKey& key, const std::optional<std::string>& filter, std::size_t& matches);

  const Registry& registry_;
  RegToolStreams io_;
};

std::optional<Failure> Commands::Query(const std::vector<std::string>& args) {
  if (args.size() < 2) return Syntax("query");
  FullKeyPath where;
  if (auto failure = ParseKey(args[1], where)) return failure;
  Options options;
  if (auto failure = ParseOptions(args, 2, "query", "/v /ve /s", options)) return failure;
  std::optional<RegistryKey> key;
  if (auto failure = OpenExisting(where, KeyAccess::Read, key)) return failure;

  if (options.recurse) {
    std::size_t matches = 0;
    io_.out << "\n";
    PrintTree(*key, options.valueName, matches);
    if (options.valueName) {
      io_.out << "End of search: " << matches << " match(es) found.\n";
      if (matches == 0) return Failure{std::string(kNotFound) + "."};
    }
    return std::nullopt;
  }

  if (options.valueName) {
    auto value = key->FindValue(*options.valueName);
    std::string line;
    if (value) {
      line = ValueLine(value->name, value->value);
    } else if (options.valueName->empty()) {
      line = "    (Default)    REG_SZ    (value not set)";
    } else {
      return Failure{std::string(kNotFound) + "."};
    }
    io_.out << "\n" << key->path() << "\n" << line << "\n\n";
    return std::nullopt;
  }

  auto values = key->Values();
  auto subkeys = key->SubkeyNames();
  if (!values || !subkeys) return Failure{"Cannot read " + key->path() + "."};
  io_.out << "\n" << key->path() << "\n";
  for (const auto& value : *values) io_.out << ValueLine(value.name, value.value) << "\n";
  if (!values->empty()) io_.out << "\n";
  for (const auto& name : *subkeys) io_.out << key->path() << "\\" << name << "\n";
  return std::nullopt;
}

void Commands::PrintTree(const RegistryKey& key, const std::optional<std::string>& filter, std::size_t& matches) {
  std::vector<NamedValue> shown;
  if (filter) {
    if (auto value = key.FindValue(*filter)) shown.push_back(std::move(*value));
  } else if (auto values = key.Values()) {
    shown = std::move(*values);
  }
  if (!filter || !shown.empty()) {
    io_.out << key.path() << "\n";
    for (const auto& value : shown) io_.out << ValueLine(value.name, value.value) << "\n";
    io_.out << "\n";
    matches += shown.size();
  }
  auto subkeys = key.SubkeyNames();
  if (!subkeys) return;
  for (const auto& name : *subkeys) {
    if (auto child = key.OpenSubkey(name, KeyAccess::Read)) PrintTree(*child, filter, matches);
  }
}

std::optional<Failure> ParseValueData(const Options& options, RegistryValue& value) {
  const std::string type = options.type ? Lower(*options.type) : std::string("reg_sz");
  const std::string data = options.data.value_or("");
  if (type == "reg_sz") {
    if (!platform::IsValidUtf8(data)) return Failure{"The data is not UTF-8 text."};
    const std::size_t units = platform::Utf16Length(data);
    if (units > kMaxTextUnits) {
      return Failure{"The text of " + std::to_string(units) + " UTF-16 units is longer than the " +
                     std::to_string(kMaxTextUnits) + " a reader's buffer holds."};
    }
    value = RegistryValue::String(data);
    return std::nullopt;
  }
  if (type == "reg_dword") {
    std::string_view digits = data;
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
      digits.remove_prefix(2);
      base = 16;
    }
    std::uint32_t number = 0;
    if (!digits.empty()) {
      const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number, base);
      if (error != std::errc() || end != digits.data() + digits.size()) {
        return Failure{"Invalid REG_DWORD data \"" + data + "\": a number from 0 to 4294967295 is needed."};
      }
    }
    value = RegistryValue::Dword(number);
    return std::nullopt;
  }
  if (type == "reg_binary") {
    if (data.size() % 2 != 0)
      return Failure{"Invalid REG_BINARY data: an even number of hexadecimal digits is needed."};
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < data.size(); i += 2) {
      unsigned byte = 0;
      const auto [end, error] = std::from_chars(data.data() + i, data.data() + i + 2, byte, 16);
      if (error != std::errc() || end != data.data() + i + 2) {
        return Failure{"Invalid REG_BINARY data: \"" + data + "\" is not hexadecimal."};
      }
      bytes.push_back(static_cast<std::uint8_t>(byte));
    }
    value = RegistryValue::Binary(std::move(bytes));
    return std::nullopt;
  }
  return Failure{"Unsupported type \"" + *options.type + "\" (REG_SZ, REG_DWORD or REG_BINARY)."};
}

std::optional<Failure> Commands::Add(const std::vector<std::string>& args) {
  if (args.size() < 2) return Syntax("add");
  FullKeyPath where;
  if (auto failure = ParseKey(args[1], where)) return failure;
  Options options;
  if (auto failure = ParseOptions(args, 2, "add", "/v /ve /t /d /f", options)) return failure;
  if (!options.valueName) {
    if (options.type || options.data) return Syntax("add");
    auto key = registry_.CreateKey(where.hive, where.path);
    if (!key) return Failure{"Cannot create the key: " + key.error().message + "."};
    io_.out << kDone << "\n";
    return std::nullopt;
  }
  RegistryValue value;
  if (auto failure = ParseValueData(options, value)) return failure;
  if (!options.force && registry_.GetValue(where.hive, where.path, *options.valueName)) {
    const std::string shown = options.valueName->empty() ? std::string("(Default)") : *options.valueName;
    if (!Confirm("Value " + shown + " exists, overwrite")) return Failure{"The operation was canceled by the user."};
  }
  Status written = registry_.SetValue(where.hive, where.path, *options.valueName, value);
  if (!written) return Failure{"Cannot write the value: " + written.error().message + "."};
  io_.out << kDone << "\n";
  return std::nullopt;
}

std::optional<Failure> Commands::Delete(const std::vector<std::string>& args) {
  if (args.size() < 2) return Syntax("delete");
  FullKeyPath where;
  if (auto failure = ParseKey(args[1], where)) return failure;
  Options options;
  if (auto failure = ParseOptions(args, 2, "delete", "/v /ve /va /f", options)) return failure;

  if (!options.valueName && !options.allValues) {
    if (where.path.empty()) return Failure{"A hive root cannot be deleted."};
    std::optional<RegistryKey> key;
    if (auto failure = OpenExisting(where, KeyAccess::Read, key)) return failure;
    if (!options.force && !Confirm("Permanently delete the registry key " + key->path())) {
      return Failure{"The operation was canceled by the user."};
    }
    Status removed = registry_.DeleteTree(where.hive, where.path);
    if (!removed) return Failure{"Cannot delete the key: " + removed.error().message + "."};
    io_.out << kDone << "\n";
    return std::nullopt;
  }

  std::optional<RegistryKey> key;
  if (auto failure = OpenExisting(where, KeyAccess::Write, key)) return failure;
  if (options.valueName) {
    if (!key->GetValue(*options.valueName)) return Failure{std::string(kNotFound) + "."};
    const std::string shown = options.valueName->empty() ? std::string("(Default)") : *options.valueName;
    if (!options.force && !Confirm("Delete the registry value " + shown)) {
      return Failure{"The operation was canceled by the user."};
    }
    Status removed = key->DeleteValue(*options.valueName);
    if (!removed) return Failure{"Cannot delete the value: " + removed.error().message + "."};
  } else {
    if (!options.force && !Confirm("Delete all values under the registry key " + key->path())) {
      return Failure{"The operation was canceled by the user."};
    }
    auto transaction = registry_.BeginTransaction(where.hive, where.path);
    if (!transaction) return Failure{"Cannot delete the values: " + transaction.error().message + "."};
    auto inside = transaction->OpenKey(where.hive, where.path, KeyAccess::Write);
    if (!inside) return Failure{std::string(kNotFound) + "."};
    auto values = inside->Values();
    if (!values) return Failure{"Cannot read the values: " + values.error().message + "."};
    for (const auto& value : *values) {
      Status removed = inside->DeleteValue(value.name);
      if (!removed) return Failure{"Cannot delete the values: " + removed.error().message + "."};
    }
    Status committed = transaction->Commit();
    if (!committed) return Failure{"Cannot delete the values: " + committed.error().message + "."};
  }
  io_.out << kDone << "\n";
  return std::nullopt;
}

void CollectTree(const RegistryKey& key, std::vector<RegFileKey>& keys) {
  RegFileKey entry;
  entry.path = key.path();
  if (auto values = key.Values()) entry.values = std::move(*values);
  keys.push_back(std::move(entry));
  auto subkeys = key.SubkeyNames();
  if (!subkeys) return;
  for (const auto& name : *subkeys) {
    if (auto child = key.OpenSubkey(name, KeyAccess::Read)) CollectTree(*child, keys);
  }
}

std::optional<Failure> Commands::Export(const std::vector<std::string>& args) {
  if (args.size() < 3) return Syntax("export");
  FullKeyPath where;
  if (auto failure = ParseKey(args[1], where)) return failure;
  const std::string& file = args[2];
  Options options;
  if (auto failure = ParseOptions(args, 3, "export", "/y", options)) return failure;
  std::optional<RegistryKey> key;
  if (auto failure = OpenExisting(where, KeyAccess::Read, key)) return failure;

  struct stat info {};
  if (!options.force && stat(file.c_str(), &info) == 0 &&
      !Confirm("File " + file + " already exists. Overwrite the file")) {
    return Failure{"The operation was canceled by the user."};
  }
  std::vector<RegFileKey> keys;
  CollectTree(*key, keys);
  const std::string text = FormatRegFile(keys);
  std::ofstream output(file, std::ios::binary | std::ios::trunc);
  output << text;
  output.close();
  if (!output) return Failure{"Cannot write " + file + "."};
  io_.out << kDone << "\n";
  return std::nullopt;
}

std::optional<Failure> Commands::Import(const std::vector<std::string>& args) {
  if (args.size() < 2) return Syntax("import");
  Options options;
  if (auto failure = ParseOptions(args, 2, "import", "", options)) return failure;
  const std::string& file = args[1];
  std::ifstream input(file, std::ios::binary);
  if (!input) return Failure{"Cannot open " + file + "."};
  std::ostringstream content;
  content << input.rdbuf();
  if (input.bad()) return Failure{"Cannot read " + file + "."};

  auto changes = ParseRegFile(content.str());
  if (!changes) return Failure{"Cannot import " + file + ": " + changes.error().message + "."};

  // Every hive the file touches, checked before anything changes; each is
  // changed in one transaction. Taking the write locks in file-name order
  // keeps two imports from waiting on each other.
  std::map<std::string, const RegFileChange*> firstChangeOfFile;
  std::vector<std::string> fileOfChange;
  for (const auto& change : *changes) {
    auto hiveFile = registry_.HiveFilePath(change.hive, change.path);
    if (!hiveFile) {
      return Failure{"Cannot import " + file + ": line " + std::to_string(change.line) + ": " +
                     hiveFile.error().message + "."};
    }
    firstChangeOfFile.emplace(*hiveFile, &change);
    fileOfChange.push_back(*hiveFile);
  }
  std::map<std::string, platform::RegistryTransaction> transactions;
  for (const auto& [hiveFile, change] : firstChangeOfFile) {
    auto begun = registry_.BeginTransaction(change->hive, change->path);
    if (!begun) return Failure{"Cannot import " + file + ": " + begun.error().message + "."};
    transactions.emplace(hiveFile, std::move(*begun));
  }

  for (std::size_t i = 0; i < changes->size(); ++i) {
    const RegFileChange& change = (*changes)[i];
    const auto& transaction = transactions.at(fileOfChange[i]);
    Status applied = Status::Ok();
    switch (change.kind) {
      case RegFileChange::Kind::CreateKey: {
        auto key = transaction.CreateKey(change.hive, change.path);
        if (!key) applied = key.error();
        break;
      }
      case RegFileChange::Kind::DeleteTree:
        if (transaction.OpenKey(change.hive, change.path, KeyAccess::Read)) {
          applied = transaction.DeleteTree(change.hive, change.path);
        }
        break;
      case RegFileChange::Kind::SetValue: {
        auto key = transaction.CreateKey(change.hive, change.path);
        applied = key ? key->SetValue(change.valueName, change.value) : Status(key.error());
        break;
      }
      case RegFileChange::Kind::DeleteValue: {
        auto key = transaction.OpenKey(change.hive, change.path, KeyAccess::Write);
        if (key && key->GetValue(change.valueName)) applied = key->DeleteValue(change.valueName);
        break;
      }
    }
    if (!applied) {
      return Failure{"Cannot import " + file + ": line " + std::to_string(change.line) + ": " +
                     applied.error().message + "; nothing was changed."};
    }
  }
  for (auto& [hiveFile, transaction] : transactions) {
    Status committed = transaction.Commit();
    if (!committed) return Failure{"Cannot import " + file + ": " + committed.error().message + "."};
  }
  io_.out << kDone << "\n";
  return std::nullopt;
}

}  // namespace

int RunRegTool(const std::vector<std::string>& args, const Registry& registry, RegToolStreams streams) {
  if (args.empty()) {
    streams.err << "ERROR: Invalid syntax. Type \"quorvane-reg /?\" for usage.\n";
    return 1;
  }
  if (IsHelp(args[0]) || (args.size() >= 2 && IsHelp(args[1]))) {
    streams.out << kUsage;
    return 0;
  }
  Commands commands(registry, streams);
  const std::string operation = Lower(args[0]);
  std::optional<Failure> failure;
  if (operation == "query") {
    failure = commands.Query(args);
  } else if (operation == "add") {
    failure = commands.Add(args);
  } else if (operation == "delete") {
    failure = commands.Delete(args);
  } else if (operation == "export") {
    failure = commands.Export(args);
  } else if (operation == "import") {
    failure = commands.Import(args);
  } else {
    failure = Failure{"Invalid operation \"" + args[0] + "\". Type \"quorvane-reg /?\" for usage."};
  }
  if (failure) {
    streams.out.flush();
    streams.err << "ERROR: " << failure->message << "\n";
    return 1;
  }
  return 0;
}

}  // namespace quorvane::tools
