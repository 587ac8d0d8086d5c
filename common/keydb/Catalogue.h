#pragma once
// The brand/model catalogue BoxInfo.xml: a root `groups` (type "Box"), one
// `brand` per brand (attribute `name`), in each one `model` per model
// (attribute `name`, text = the model's key file name). The file is UTF-16
// (little-endian, with byte-order mark) with the declaration
// <?xml version='1.0' encoding='utf-16'?> and no white space between
// elements. Loading also accepts any other encoding the document declares.

#include <string>
#include <string_view>
#include <vector>

#include "platform/base/Result.h"

namespace quorvane::keydb {

inline constexpr std::string_view kCatalogueFileName = "BoxInfo.xml";

// A model: its name and the name of its key file.
struct CGChannel {
  std::string name;
  std::string file;
  bool operator==(const CGChannel&) const = default;
};

// A brand with its models in catalogue order.
struct CChannelGroup {
  std::string name;
  std::vector<CGChannel> models;
  bool operator==(const CChannelGroup&) const = default;
};

// The whole catalogue: brands in catalogue order.
struct CProgramGroup {
  std::vector<CChannelGroup> brands;
  bool operator==(const CProgramGroup&) const = default;
};

// Fails when the document is not well-formed or its root is not `groups`.
// A brand without `name` gets an empty name, a model without text an
// empty file name.
platform::Result<CProgramGroup> ParseCatalogue(std::string_view bytes);
platform::Result<CProgramGroup> LoadCatalogue(const std::string& path);

// The catalogue's file bytes.
platform::Result<std::string> SerializeCatalogue(const CProgramGroup& catalogue);
// Replaces the file at `path` (through a side file, so a failed save keeps
// the old catalogue). An empty path is refused.
platform::Status SaveCatalogue(const CProgramGroup& catalogue, const std::string& path);

}  // namespace quorvane::keydb
