// Unattended runs: with -silent, or on a window station that no user sees (as a service's or the
// system account's), the stub shows no dialog and no box and otherwise runs as usual.
#include <chrono>
#include <regex>
#include <thread>

#include "installer_run_fixture.h"

namespace bed {
namespace {

using Clock = std::chrono::steady_clock;

// How a run is made silent, and the reason its log gives.
struct Unattended {
  const char* name;
  std::vector<std::string> args;
  bool hiddenStation;
  std::string reason;  // a regular expression for the log's second line
};

std::vector<Unattended> Ways() {
  return {{"-silent", {"/S", "-silent"}, false, "Silent run: -silent on the command line\\. No progress dialog.*"},
          {"hidden window station", {"/S"}, true,
           "Silent run: the window station \"orvwatch-[0-9]+\" is not visible to a user \\(a service or the system "
           "account\\)\\. No progress dialog.*"}};
}

// Seconds between the log's lines with the messages first and second (-1 when one is missing).
double LoggedSeconds(const std::string& first, const std::string& second) {
  std::string log;
  if (!ReadFile(LogFile(), log)) return -1;
  auto at = [&log](const std::string& message) {
    std::smatch match;
    const std::regex line("\\d{4}-\\d{2}-\\d{2} (\\d{2}):(\\d{2}):(\\d{2}),(\\d{3}) \\w+ " +
                          std::regex_replace(message, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") + "\r?\n");
    if (!std::regex_search(log, match, line)) return -1.0;
    return std::stoi(match[1]) * 3600.0 + std::stoi(match[2]) * 60.0 + std::stoi(match[3]) + std::stoi(match[4]) / 1000.0;
  };
  const double from = at(first), to = at(second);
  if (from < 0 || to < 0) return -1;
  return to >= from ? to - from : to + 24 * 3600 - from;  // across midnight
}

class SilentRun : public InstallerRunTest {};

TEST_F(SilentRun, AGoodDocumentInstallsWithoutAWindow) {
  for (const Unattended& way : Ways()) {
    SCOPED_TRACE(way.name);
    ClearLog();
    RemoveFile(record_);
    if (files_->started()) RenewFiles();
    ServeConfig(ConfigFor(false, FilesUrl("/setup.exe"), installer_, kVersion));
    // Slow enough that a dialog, had there been one, would have been seen.
    ServeThrottled("/setup.exe", installer_, 20, 100);
    StubOptions options = Options("0", way.args);
    options.hiddenStation = way.hiddenStation;
    const StubRun run = RunStub(options);
    ASSERT_TRUE(run.watched) << run.report;
    EXPECT_EQ(run.exitCode, 0u) << LogDump();
    EXPECT_FALSE(run.dialog.shown) << run.report;
    EXPECT_TRUE(run.boxes.empty()) << run.report;
    const std::vector<std::string> lines = LogMessages();
    ASSERT_GE(lines.size(), 2u) << LogDump();
    EXPECT_EQ(lines[0], "Tavlin wrapper started");
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(way.reason))) << LogDump();
    EXPECT_TRUE(Contains(lines, "End download")) << "the download's stages are still logged: " << LogDump();
    EXPECT_TRUE(Contains(lines, "Installer execution has successfully completed")) << LogDump();
    EXPECT_EQ(lines.back(), "Tavlin wrapper exiting");
    // The switch goes on to the installer like every argument.
    const Launch launch = ReadLaunch();
    ASSERT_TRUE(launch.recorded);
    std::string args;
    for (const std::string& arg : way.args) args += " " + arg;
    EXPECT_EQ(launch.rest, std::string("-v \"") + kVersion + "\"" + args);
  }
}

TEST_F(SilentRun, AnUnreachableConfigurationEndsWithCode1AndNoBoxWithinItsDeadline) {
  // A server that takes the connection and never answers: the fetch gives up at its deadline.
  RawServer silent([](int, const std::atomic<bool>& stopping) {
    while (!stopping) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  });
  ASSERT_TRUE(silent.Start());
  for (const Unattended& way : Ways()) {
    SCOPED_TRACE(way.name);
    ClearLog();
    NextStubEndpoints().configPort = silent.port();
    StubOptions options = Options("0", way.args);
    options.hiddenStation = way.hiddenStation;
    // A box would wait for ever on a hidden window station: the watcher ends the stub after this.
    options.timeoutMs = 60000;
    const Clock::time_point start = Clock::now();
    const StubRun run = RunStub(options);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    ASSERT_TRUE(run.watched) << run.report;
    EXPECT_FALSE(run.timedOut) << "the run waited for something: " << LogDump();
    EXPECT_EQ(run.exitCode, 1u) << LogDump();
    EXPECT_TRUE(run.boxes.empty()) << run.report;
    EXPECT_FALSE(run.dialog.shown) << run.report;
    // The fetch ends at its deadline, as the log's times say; the run as a whole did not wait for
    // more than that and the start and end of Wine.
    const double fetch = LoggedSeconds("Downloading config file", "Can't download config file");
    EXPECT_GE(fetch, 29.0) << LogDump();
    EXPECT_LE(fetch, 32.0) << LogDump();
    EXPECT_LT(seconds, 50) << LogDump();
    const std::vector<std::string> lines = LogMessages();
    ASSERT_GE(lines.size(), 2u) << LogDump();
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(way.reason))) << LogDump();
    const std::vector<std::string> end(lines.end() - std::min<size_t>(lines.size(), 2), lines.end());
    EXPECT_EQ(end, (std::vector<std::string>{"Can't download config file",
                                             "Error box not shown in a silent run: Cannot obtain configuration. "
                                             "Error code 1"}))
        << LogDump();
  }
  EXPECT_GE(silent.Connections(), 2);
}

TEST_F(SilentRun, ACancelledInstallationOpensNoPageAndStillLeavesTheShortcut) {
  Serve(true);
  const StubRun run = RunStub(Options("2", {"-silent"}));
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 2u) << LogDump();
  EXPECT_TRUE(run.boxes.empty()) << run.report;
  const std::vector<std::string> after = LinesAfter(LogMessages(), "Installer execution canceled. Exit code 2");
  ASSERT_FALSE(after.empty()) << LogDump();
  EXPECT_EQ(after[0], "Cancellation page not opened in a silent run");
  EXPECT_TRUE(Pages(0).empty());
  EXPECT_TRUE(FileExists(DesktopDir() + "/" + kShortcutName)) << LogDump();
  EXPECT_TRUE(FileExists(ResumeDir() + "/" + kCopyName)) << LogDump();
}

}  // namespace
}  // namespace bed
