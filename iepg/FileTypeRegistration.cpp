#include "iepg/FileTypeRegistration.h"

#include <vector>

#include "platform/debug/DebugOutput.h"

namespace quorvane::iepg {

using platform::RegistryValue;
using platform::Status;

namespace {

constexpr char kMimeDatabaseKey[] = "MIME\\Database\\Content Type\\";

RegistryValue LittleEndianFlags(std::uint32_t flags) {
  return RegistryValue::Binary({static_cast<std::uint8_t>(flags & 0xFF), static_cast<std::uint8_t>((flags >> 8) & 0xFF),
                                static_cast<std::uint8_t>((flags >> 16) & 0xFF),
                                static_cast<std::uint8_t>((flags >> 24) & 0xFF)});
}

}  // namespace

Status RegistryClassesRoot::CreateKey(std::string_view path) {
  auto key = registry_.CreateKey(platform::Hive::ClassesRoot, path);
  if (!key) return key.error();
  return Status::Ok();
}

Status RegistryClassesRoot::SetValue(std::string_view path, std::string_view name, const RegistryValue& value) {
  auto key = registry_.OpenKey(platform::Hive::ClassesRoot, path, platform::KeyAccess::Write);
  if (!key) return key.error();
  return key->SetValue(name, value);
}

std::string OpenCommand(std::string_view executablePath) {
  return "\"" + std::string(executablePath) + "\" %1";
}

std::string DefaultIcon(std::string_view executablePath) { return std::string(executablePath) + ",0"; }

HRESULT RegisterFileType(ClassesRootWriter& writer, const TitanFileType& type, std::string_view executablePath) {
  const std::string mimeKey = std::string(kMimeDatabaseKey) + type.mimeType;
  const std::string idKey = type.programId;
  const std::string iconKey = idKey + "\\DefaultIcon";
  const std::string shellKey = idKey + "\\shell";
  const std::string openKey = shellKey + "\\open";
  const std::string commandKey = openKey + "\\command";

  struct Step {
    std::string key;
    const char* valueName;  // nullptr: create the key only
    RegistryValue value;
  };
  // Text values carry no terminator here: the store keeps the text itself.
  const std::vector<Step> steps{
      {mimeKey, nullptr, {}},
      {mimeKey, "Extension", RegistryValue::String(type.extension)},
      {type.extension, nullptr, {}},
      {type.extension, "", RegistryValue::String(idKey)},
      // The program identifier once more, not the MIME type: the shell has
      // always been given it this way.
      {type.extension, "Content Type", RegistryValue::String(idKey)},
      {idKey, nullptr, {}},
      {idKey, "", RegistryValue::String(type.description)},
      {idKey, "EditFlags", LittleEndianFlags(type.typeEditFlags)},
      {iconKey, nullptr, {}},
      {iconKey, "", RegistryValue::String(DefaultIcon(executablePath))},
      {shellKey, nullptr, {}},
      {openKey, nullptr, {}},
      {openKey, "EditFlags", LittleEndianFlags(type.verbEditFlags)},
      {commandKey, nullptr, {}},
      {commandKey, "", RegistryValue::String(OpenCommand(executablePath))},
  };
  for (const Step& step : steps) {
    Status done = step.valueName == nullptr ? writer.CreateKey(step.key)
                                            : writer.SetValue(step.key, step.valueName, step.value);
    if (!done) {
      platform::DebugOutput("[CTitanIEPG::RegisterFileType] HKEY_CLASSES_ROOT\\" + step.key + ": " +
                            done.error().message);
      return platform::E_FAIL;
    }
  }
  return platform::S_OK;
}

HRESULT RegisterTitanFileTypes(ClassesRootWriter& writer, std::string_view executablePath) {
  for (const TitanFileType& type : kTitanFileTypes) {
    const HRESULT hr = RegisterFileType(writer, type, executablePath);
    if (platform::Failed(hr)) return hr;
  }
  return platform::S_OK;
}

}  // namespace quorvane::iepg
