#pragma once
// How the wizard files a box the user taught: under the user brand (the
// localised "User Defined"), whose first model is the placeholder
// "Not listed". A key file is named after its catalogue position.

#include <cstddef>
#include <string>
#include <string_view>

#include "common/keydb/Catalogue.h"

namespace quorvane::keydb {

inline constexpr std::string_view kUserDefinedBrand = "User Defined";  // LAB_USER_DEFINED
inline constexpr std::string_view kNotListedModel = "Not listed";      // LAB_NOT_LISTED

// Brand index in decimal, then the model index in at least four digits
// (printf "%d%04d.txt").
std::string KeyFileName(std::size_t brandIndex, std::size_t modelIndex);

// Finds the first brand named `userBrand` exactly and in it the first model
// named `modelName`, adding what is missing: a new user brand goes to the
// end with the placeholder `notListed` first; a new model goes to the end of
// the brand. Returns the key file name for the model's position. An
// existing model keeps its entry, and its file name is taken from its
// position, as it was when the entry was added.
std::string AddUserBox(CProgramGroup& catalogue, std::string_view userBrand, std::string_view notListed,
                       std::string_view modelName);

}  // namespace quorvane::keydb
