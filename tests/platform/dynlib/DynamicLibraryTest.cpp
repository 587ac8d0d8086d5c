#include "platform/dynlib/DynamicLibrary.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/TempDir.h"

namespace quorvane::platform {
namespace {

TEST(DynamicLibraryTest, CallsAnExportedFunctionAndReadsAVariable) {
  auto library = DynamicLibrary::Open(QUORVANE_TEST_MODULE);
  ASSERT_TRUE(library.ok()) << library.error().message;
  auto add = library->Function<int(int, int)>("quorvane_test_add");
  ASSERT_TRUE(add.ok()) << add.error().message;
  EXPECT_EQ((*add)(2, 3), 5);
  auto counter = library->Symbol("quorvane_test_counter");
  ASSERT_TRUE(counter.ok());
  EXPECT_EQ(*static_cast<int*>(*counter), 41);
}

TEST(DynamicLibraryTest, MissingExportIsAnErrorAndTheLibraryStaysUsable) {
  auto library = DynamicLibrary::Open(QUORVANE_TEST_MODULE);
  ASSERT_TRUE(library.ok());
  auto missing = library->Function<int()>("no_such_function");
  EXPECT_FALSE(missing.ok());
  EXPECT_TRUE(library->Function<int(int, int)>("quorvane_test_add").ok());
}

TEST(DynamicLibraryTest, RefusesWhatIsNotALoadableLibraryAtAPath) {
  testing::TempDir dir;
  std::ofstream(dir.File("libfake.so")) << "not an ELF file";
  for (const std::string& path : {dir.File("libmissing.so"), dir.File("libfake.so"), std::string("libc.so.6")}) {
    auto library = DynamicLibrary::Open(path);
    EXPECT_FALSE(library.ok()) << path;
    if (!library.ok()) {
      EXPECT_FALSE(library.error().message.empty()) << path;
    }
  }
}

TEST(DynamicLibraryTest, CloseAndMoveLeaveOneOwner) {
  auto opened = DynamicLibrary::Open(QUORVANE_TEST_MODULE);
  ASSERT_TRUE(opened.ok());
  DynamicLibrary library = std::move(*opened);
  DynamicLibrary moved = std::move(library);
  EXPECT_FALSE(library.IsLoaded());
  EXPECT_TRUE(moved.IsLoaded());
  EXPECT_FALSE(library.Symbol("quorvane_test_add").ok());
  moved.Close();
  EXPECT_FALSE(moved.IsLoaded());
  EXPECT_FALSE(moved.Symbol("quorvane_test_add").ok());
}

}  // namespace
}  // namespace quorvane::platform
