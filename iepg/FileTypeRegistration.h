#pragma once
// The HKEY_CLASSES_ROOT entries that map the two TitanTV file types to the
// handler: MIME type to extension, extension to program identifier, and
// the identifier's description, icon and open command.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "iepg/IepgNames.h"
#include "platform/base/Result.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryValue.h"

namespace quorvane::iepg {

struct TitanFileType {
  const char* extension;
  const char* programId;
  const char* mimeType;
  const char* description;
  std::uint32_t typeEditFlags;
  std::uint32_t verbEditFlags;
};

// Record request first, then watch request: the order they are registered in.
inline constexpr std::array<TitanFileType, 2> kTitanFileTypes{{
    {".tvpi", "tvpi_auto_file", "application/x-tv-program-info", "TVPI FileType", 0x00010000u, 0x00000001u},
    {".tvvi", "tvvi_auto_file", "application/x-tv-program-watch-info", "TVVI FileType", 0x00010000u, 0x00000001u},
}};

// Where the entries are written: keys are created when missing and opened
// when present; values replace what is there.
class ClassesRootWriter {
 public:
  virtual ~ClassesRootWriter() = default;
  virtual platform::Status CreateKey(std::string_view path) = 0;
  virtual platform::Status SetValue(std::string_view path, std::string_view name,
                                    const platform::RegistryValue& value) = 0;
};

// HKEY_CLASSES_ROOT of the registry.
class RegistryClassesRoot final : public ClassesRootWriter {
 public:
  explicit RegistryClassesRoot(const platform::Registry& registry) : registry_(registry) {}
  platform::Status CreateKey(std::string_view path) override;
  platform::Status SetValue(std::string_view path, std::string_view name,
                            const platform::RegistryValue& value) override;

 private:
  const platform::Registry& registry_;
};

// The open command: the executable path in double quotes, a space, %1.
std::string OpenCommand(std::string_view executablePath);
// The icon: the executable path (unquoted) and ",0".
std::string DefaultIcon(std::string_view executablePath);

// Writes one type's entries in their fixed order; the first failure ends
// it, leaving what was written so far. S_OK or E_FAIL.
HRESULT RegisterFileType(ClassesRootWriter& writer, const TitanFileType& type, std::string_view executablePath);
// Both types; the second only when the first succeeded.
HRESULT RegisterTitanFileTypes(ClassesRootWriter& writer, std::string_view executablePath);

}  // namespace quorvane::iepg
