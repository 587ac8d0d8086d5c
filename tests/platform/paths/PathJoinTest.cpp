#include "platform/paths/PathJoin.h"

#include <gtest/gtest.h>

namespace quorvane::platform {
namespace {

TEST(PathJoinTest, JoinPathUsesOneSeparator) {
  struct Case {
    std::string_view a, b, expected;
  };
  const Case cases[] = {
      {"/a", "b", "/a/b"},   {"/a/", "b", "/a/b"}, {"/a", "/b", "/a/b"}, {"/a//", "//b", "/a/b"},
      {"/", "b", "/b"},      {"", "b", "b"},       {"/a", "", "/a"},     {"a", "b/c", "a/b/c"},
  };
  for (const auto& c : cases) EXPECT_EQ(JoinPath(c.a, c.b), c.expected) << c.a << " + " << c.b;
}

TEST(PathJoinTest, TrailingSeparatorAcceptsBothSlashes) {
  EXPECT_EQ(WithTrailingSeparator("/opt/q"), "/opt/q/");
  EXPECT_EQ(WithTrailingSeparator("/opt/q/"), "/opt/q/");
  EXPECT_EQ(WithTrailingSeparator("C:\\TeskTV\\"), "C:\\TeskTV\\");
  EXPECT_EQ(WithTrailingSeparator(""), "");
}

TEST(PathJoinTest, FolderPlusFileChecksOrAlwaysInserts) {
  EXPECT_EQ(FolderPlusFile("/opt/q", "Keywise"), "/opt/q/Keywise");
  EXPECT_EQ(FolderPlusFile("/opt/q/", "Keywise"), "/opt/q/Keywise");
  EXPECT_EQ(FolderPlusFile("/opt/q\\", "Keywise"), "/opt/q\\Keywise");
  EXPECT_EQ(FolderPlusFile("/opt/q/", "Keywise", FolderSeparator::AlwaysInsert), "/opt/q//Keywise");
  EXPECT_EQ(FolderPlusFile("/opt/q", "Keywise", FolderSeparator::AlwaysInsert), "/opt/q/Keywise");
}

TEST(PathJoinTest, ParentFolder) {
  EXPECT_EQ(ParentFolder("/usr/bin/x"), "/usr/bin");
  EXPECT_EQ(ParentFolder("/x"), "/");
  EXPECT_EQ(ParentFolder("x"), "");
}

}  // namespace
}  // namespace quorvane::platform
