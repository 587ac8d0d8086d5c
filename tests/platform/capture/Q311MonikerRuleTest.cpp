#include "platform/capture/Q311MonikerRule.h"

#include <gtest/gtest.h>

namespace quorvane::platform {
namespace {

TEST(Q311MonikerRule, PartBetweenQuestionBackslashAndBrace) {
  struct Case {
    const char* display_name;
    bool matches;
  };
  const Case cases[] = {
      {R"(@device:pnp:\\?\usb#vid_0000&pid_0311&mi_00#Q311SIM&0#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)", true},
      {R"(@device:pnp:\\?\usb#vid_1164&pid_q311&mi_00#6&1a2b#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)", true},
      {R"(@device:pnp:\\?\usb#vid_046d&pid_0825&mi_00#7&2c&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)", false},
      // The first character of the part does not count.
      {R"(@device:pnp:\\?\q311#x#{guid}\global)", false},
      {R"(@device:pnp:\\?\xq311#{guid}\global)", true},
      // Only these two spellings.
      {R"(@device:pnp:\\?\usb#vid_1164&pid_Q3l1#{guid}\global)", false},
      // After the brace is outside the part.
      {R"(@device:pnp:\\?\usb#vid_1164&pid_0311#{guid}\Q311)", false},
      // A brace before "?\" does not end the part.
      {R"(@device:{860BB310}\\?\usb#Q311#{guid}\global)", true},
      // Without "?\" or without a brace after it there is no part.
      {R"(@device:sw:{860BB310-5D01-11D0-BD3B-00A0C911CE86}\Q311 Capture)", false},
      {R"(@device:pnp:\\?\usb#vid_1164&pid_0311#Q311)", false},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(MatchesQ311Moniker(c.display_name), c.matches) << c.display_name;
}

}  // namespace
}  // namespace quorvane::platform
