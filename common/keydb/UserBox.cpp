#include "common/keydb/UserBox.h"

#include <cstdio>

namespace quorvane::keydb {

std::string KeyFileName(std::size_t brandIndex, std::size_t modelIndex) {
  char name[64];
  std::snprintf(name, sizeof name, "%zu%04zu.txt", brandIndex, modelIndex);
  return name;
}

std::string AddUserBox(CProgramGroup& catalogue, std::string_view userBrand, std::string_view notListed,
                       std::string_view modelName) {
  for (std::size_t b = 0; b < catalogue.brands.size(); ++b) {
    CChannelGroup& brand = catalogue.brands[b];
    if (brand.name != userBrand) continue;
    for (std::size_t m = 0; m < brand.models.size(); ++m) {
      if (brand.models[m].name == modelName) return KeyFileName(b, m);
    }
    std::string file = KeyFileName(b, brand.models.size());
    brand.models.push_back(CGChannel{std::string(modelName), file});
    return file;
  }
  const std::size_t b = catalogue.brands.size();
  CChannelGroup brand{std::string(userBrand),
                      {CGChannel{std::string(notListed), KeyFileName(b, 0)},
                       CGChannel{std::string(modelName), KeyFileName(b, 1)}}};
  catalogue.brands.push_back(std::move(brand));
  return KeyFileName(b, 1);
}

}  // namespace quorvane::keydb
