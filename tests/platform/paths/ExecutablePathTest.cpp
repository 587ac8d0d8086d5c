#include "platform/paths/ExecutablePath.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace quorvane::platform {
namespace {

TEST(ExecutablePathTest, NamesTheRunningTestProgram) {
  const auto path = ExecutablePath();
  ASSERT_TRUE(path.ok()) << path.error().message;
  EXPECT_EQ(std::filesystem::path(*path).filename(), "paths_test");
  EXPECT_TRUE(std::filesystem::is_regular_file(*path));

  const auto folder = ExecutableFolder();
  ASSERT_TRUE(folder.ok());
  EXPECT_EQ(*folder, std::filesystem::path(*path).parent_path().string());
  EXPECT_NE(folder->back(), '/');
}

}  // namespace
}  // namespace quorvane::platform
