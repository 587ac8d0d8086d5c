#include "platform/winmsg/WindowBusName.h"

#include <gtest/gtest.h>

namespace quorvane::platform {
namespace {

TEST(WindowBusNameTest, MapsClassNamesToBusNames) {
  const std::pair<const char*, const char*> cases[] = {
      {"TeskIr_Scheduler", "Quorvane.Window.TeskIr_Scheduler"},
      {"TeskIrLearningAPP", "Quorvane.Window.TeskIrLearningAPP"},
      {"eHome Render Window", "Quorvane.Window.eHome_Render_Window"},
      {"@#CCaptureModuleMainWindow#@", "Quorvane.Window.__CCaptureModuleMainWindow__"},
      {"a.b-c", "Quorvane.Window.a_b_c"},
      {"Fenêtre", "Quorvane.Window.Fen_tre"},
      {"3D", "Quorvane.Window._3D"},
  };
  for (const auto& [className, busName] : cases) {
    auto name = WindowBusName(className);
    ASSERT_TRUE(name.ok()) << className;
    EXPECT_EQ(*name, busName);
  }
  EXPECT_FALSE(WindowBusName("").ok());
  EXPECT_FALSE(WindowBusName(std::string(250, 'x')).ok());
}

}  // namespace
}  // namespace quorvane::platform
