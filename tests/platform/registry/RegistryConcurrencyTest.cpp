// Several processes writing one hive at the same time lose nothing: every
// value write is its own transaction, and a writer that finds the file
// locked waits for it.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <set>
#include <vector>

#include "platform/registry/Registry.h"
#include "tests/platform/registry/RegistryTestSupport.h"

namespace quorvane::platform {
namespace {

constexpr int kWriters = 4;
constexpr int kValuesPerWriter = 500;
constexpr int kKeys = 5;

std::string KeyOf(int value) { return "SOFTWARE\\Stress\\Group" + std::to_string(value % kKeys); }
std::string NameOf(int writer, int value) { return "w" + std::to_string(writer) + "v" + std::to_string(value); }

TEST(RegistryConcurrencyTest, FourWritersLoseNoValue) {
  testing::TempHives hives(testing::TempFolder::MemoryBase());
  int start[2];
  ASSERT_EQ(pipe(start), 0);

  std::vector<pid_t> writers;
  for (int writer = 0; writer < kWriters; ++writer) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(start[1]);
      char go = 0;
      // All writers begin together, when the parent closes its end.
      if (read(start[0], &go, 1) < 0) _exit(100);
      const Registry registry(hives.locations);
      int failures = 0;
      // The keys too are created by whichever writer comes first.
      for (int value = 0; value < kValuesPerWriter; ++value) {
        if (!registry.SetValue(Hive::CurrentUser, KeyOf(value), NameOf(writer, value),
                               RegistryValue::Dword(static_cast<std::uint32_t>(writer * 100000 + value)))) {
          ++failures;
        }
      }
      _exit(failures > 99 ? 99 : failures);
    }
    writers.push_back(pid);
  }
  close(start[0]);
  const auto began = std::chrono::steady_clock::now();
  close(start[1]);

  for (pid_t pid : writers) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "failed writes in writer " << pid;
  }
  const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  std::cout << kWriters * kValuesPerWriter << " concurrent writes in " << elapsed << " s\n";

  const Registry registry(hives.locations);
  auto stress = registry.OpenKey(Hive::CurrentUser, "SOFTWARE\\Stress");
  ASSERT_TRUE(stress.ok());
  EXPECT_EQ(*stress->SubkeyCount(), static_cast<std::uint32_t>(kKeys));
  std::size_t total = 0;
  for (int group = 0; group < kKeys; ++group) {
    auto key = registry.OpenKey(Hive::CurrentUser, KeyOf(group));
    ASSERT_TRUE(key.ok());
    total += key->Values()->size();
  }
  EXPECT_EQ(total, static_cast<std::size_t>(kWriters * kValuesPerWriter));
  for (int writer = 0; writer < kWriters; ++writer) {
    for (int value = 0; value < kValuesPerWriter; ++value) {
      auto read = registry.GetValue(Hive::CurrentUser, KeyOf(value), NameOf(writer, value));
      ASSERT_TRUE(read.ok()) << NameOf(writer, value);
      ASSERT_EQ(read->dword, static_cast<std::uint32_t>(writer * 100000 + value));
    }
  }
}

}  // namespace
}  // namespace quorvane::platform
