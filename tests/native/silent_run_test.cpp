// The window station's flags in the silent decision, and its name in the log. (The lines of each
// reason, in the run, are rows of the run's trace table.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/silent_run.h"

namespace {

using orv::DecideSilent;
using orv::WindowStation;

TEST(SilentDecision, OnlyTheVisibleFlagCounts) {
  struct Case {
    uint32_t flags;
    bool silent;
  };
  const Case cases[] = {{0x1, false}, {0x3, false}, {0xFFFFFFFF, false}, {0x0, true}, {0x2, true}, {0xFFFFFFFE, true}};
  for (const Case& c : cases) {
    EXPECT_EQ(DecideSilent(false, WindowStation{L"station", c.flags}).silent(), c.silent) << std::hex << c.flags;
    EXPECT_TRUE(DecideSilent(true, WindowStation{L"station", c.flags}).silent()) << std::hex << c.flags;
  }
}

TEST(SilentDecision, AWindowStationNameCannotAddALogLine) {
  const std::vector<orv::LogEntry> lines =
      SilentDecisionLines(DecideSilent(false, WindowStation{L"Evil\r\n2026-01-01 INFO forged", 0}));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].message.find_first_of("\r\n"), std::string::npos) << lines[0].message;
}

}  // namespace
