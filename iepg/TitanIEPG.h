#pragma once
// The converter for TitanTV files: the outside decoder turns the download
// into plain XML in place, then Titan.xsl makes the `.iepg` record of it.

#include <string>

#include "common/settings/SettingsStore.h"
#include "iepg/IEPG.h"

namespace quorvane::iepg {

class CTitanIEPG final : public CIEPG {
 public:
  // `desktopDataFolder` is where the desktop entries go on registration;
  // empty: the user's data folder, or the system's when running as root.
  CTitanIEPG(std::string executablePath, const SettingsStore& settings, std::string desktopDataFolder = {});

  // The HKEY_CLASSES_ROOT entries of both types, then the desktop's MIME
  // package and entry. S_OK, or E_FAIL when any part failed (the desktop
  // part is tried even when the registry could not be written, since an
  // ordinary user may not write HKEY_CLASSES_ROOT but has a desktop).
  HRESULT RegisterFileType() override;

  // Loads the decoder from the handler's folder, calls it on `input` with
  // the key from the registry, unloads it, then runs the stylesheet step.
  // E_UNEXPECTED when the executable path has no folder or the key values
  // are missing or too long, E_ABORT when the decoder or its export is
  // missing. Once the decoder has been called the result is S_OK: a file
  // the stylesheet step cannot use leaves the record empty, and the
  // scheduler reports it when it reads the record.
  HRESULT ConvertFile(const std::string& input, const std::string& output) override;

  // The stylesheet beside the executable ("xsl/Titan.xsl" in its folder),
  // else the one installed in <prefix>/share/quorvane/xsl for an
  // executable in <prefix>/bin, else the one of the configured prefix.
  static std::string StylesheetFor(const std::string& executablePath);

 private:
  std::string executablePath_;
  const SettingsStore& settings_;
  std::string desktopDataFolder_;
};

}  // namespace quorvane::iepg
