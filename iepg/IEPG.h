#pragma once
// A converter of programme-guide files into `.iepg` records: the
// stylesheet step common to every source, with registration of the
// source's file types left to the source's own class.

#include <cstddef>
#include <string>
#include <utility>

#include "iepg/IepgNames.h"

namespace quorvane::iepg {

class CIEPG {
 public:
  // Downloaded programme files are a few kilobytes; anything this large is
  // not one and is refused before parsing.
  static constexpr std::size_t kMaxSourceBytes = 1024 * 1024;

  explicit CIEPG(std::string stylesheetPath) : stylesheetPath_(std::move(stylesheetPath)) {}
  CIEPG(const CIEPG&) = delete;
  CIEPG& operator=(const CIEPG&) = delete;

  // Makes the desktop hand files of the source's types to this program.
  virtual HRESULT RegisterFileType() = 0;
  // Here the stylesheet step alone: loads the source (an untrusted file:
  // no DTD, no entities, no network; a bare '&' in text is taken as text),
  // loads the stylesheet, transforms, and writes the result to `output`.
  // The output is written only once the transformation has succeeded, in
  // full, and never through a symbolic link. S_OK, or E_FAIL with the
  // reason on the debug output.
  virtual HRESULT ConvertFile(const std::string& input, const std::string& output);
  virtual ~CIEPG() = default;

  const std::string& stylesheetPath() const { return stylesheetPath_; }

 private:
  std::string stylesheetPath_;
};

}  // namespace quorvane::iepg
