// The decision whether a run shows its windows, and what the log says about it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/silent_run.h"

namespace {

using orv::DecideSilent;
using orv::LogEntry;
using orv::LogLevel;
using orv::Result;
using orv::SilentDecision;
using orv::SilentDecisionLines;
using orv::Status;
using orv::WindowStation;

std::string Describe(const std::vector<LogEntry>& lines) {
  std::string text;
  for (const LogEntry& line : lines) text += std::to_string(static_cast<int>(line.level)) + " " + line.message + "\n";
  return text;
}

TEST(SilentDecision, TheSwitchOrAnInvisibleWindowStationSilenceTheRun) {
  const Result<WindowStation> unreadable = Status::Failure(5, "Reading the window station's flags failed");
  struct Case {
    const char* name;
    bool silentSwitch;
    Result<WindowStation> station;
    bool silent;
    std::vector<LogEntry> lines;
  };
  const std::string service = "the window station \"Service-0x0-3e7$\" is not visible to a user (a service or the system account)";
  const std::string tail = ". No progress dialog and no error box";
  const std::string warning = "Unable to read the window station; taken as visible. Reading the window station's flags failed. Error code 5";
  const Case cases[] = {
      {"user's desktop", false, WindowStation{L"WinSta0", 1}, false, {}},
      {"visible among other flags", false, WindowStation{L"WinSta0", 0x3}, false, {}},
      {"switch on the user's desktop", true, WindowStation{L"WinSta0", 1}, true,
       {{LogLevel::Info, "Silent run: -silent on the command line" + tail}}},
      {"system account", false, WindowStation{L"Service-0x0-3e7$", 0}, true,
       {{LogLevel::Info, "Silent run: " + service + tail}}},
      {"other flags, not visible", false, WindowStation{L"Service-0x0-3e7$", 0xFFFFFFFE}, true,
       {{LogLevel::Info, "Silent run: " + service + tail}}},
      {"both reasons", true, WindowStation{L"Service-0x0-3e7$", 0}, true,
       {{LogLevel::Info, "Silent run: -silent on the command line, and " + service + tail}}},
      {"unreadable station", false, unreadable, false, {{LogLevel::Warning, warning}}},
      {"unreadable station and the switch", true, unreadable, true,
       {{LogLevel::Info, "Silent run: -silent on the command line" + tail}, {LogLevel::Warning, warning}}},
  };
  for (const Case& c : cases) {
    const SilentDecision decision = DecideSilent(c.silentSwitch, c.station);
    EXPECT_EQ(decision.silent(), c.silent) << c.name;
    const std::vector<LogEntry> lines = SilentDecisionLines(decision);
    bool same = lines.size() == c.lines.size();
    for (size_t i = 0; same && i < lines.size(); ++i) {
      same = lines[i].level == c.lines[i].level && lines[i].message == c.lines[i].message;
    }
    EXPECT_TRUE(same) << c.name << ": got\n" << Describe(lines) << "expected\n" << Describe(c.lines);
  }
}

TEST(SilentDecision, AWindowStationNameCannotAddALogLine) {
  const SilentDecision decision = DecideSilent(false, WindowStation{L"Evil\r\n2026-01-01 INFO forged", 0});
  const std::vector<LogEntry> lines = SilentDecisionLines(decision);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].message.find_first_of("\r\n"), std::string::npos) << lines[0].message;
}

}  // namespace
