#pragma once
// Just enough JSON for wakeward-ctl's output: one object at a time, keys
// in the order written.

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvane::ctl {

std::string JsonString(std::string_view text);

class JsonObject {
 public:
  JsonObject& Add(std::string_view key, std::string_view text);
  JsonObject& Add(std::string_view key, const char* text) { return Add(key, std::string_view(text)); }
  JsonObject& Add(std::string_view key, std::int64_t number);
  JsonObject& Add(std::string_view key, bool flag);
  // `json` is written as it is (an array or object).
  JsonObject& AddRaw(std::string_view key, std::string_view json);
  std::string str() const { return "{" + body_ + "}"; }

 private:
  void Key(std::string_view key);
  std::string body_;
};

}  // namespace quorvane::ctl
