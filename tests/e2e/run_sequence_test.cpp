// The stub's start, single-instance guard, logging and the configuration-fetch failure.
#include <chrono>
#include <regex>
#include <thread>

#include "stub_fixture.h"

namespace bed {
namespace {

using RunSequence = StubTest;

TEST_F(RunSequence, UnreachableConfigurationShowsCode1WithoutDialog) {
  // Nothing listens on the configuration port.
  const StubRun run = RunStub();
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 1u);
  ASSERT_EQ(run.boxes.size(), 1u) << run.report;
  EXPECT_EQ(run.boxes[0].title, "We apologize!");
  EXPECT_EQ(run.boxes[0].text, "Cannot obtain configuration. Error code 1");
  EXPECT_TRUE(run.boxes[0].icon);
  EXPECT_FALSE(run.dialog.shown) << run.report;
  const std::vector<LogLine> lines = ReadLog();
  ASSERT_EQ(lines.size(), 3u) << LogDump();
  EXPECT_EQ(lines[0].level, "INFO");
  EXPECT_EQ(lines[0].message, "Tavlin wrapper started");
  EXPECT_EQ(lines[1].message, "Downloading config file");
  EXPECT_EQ(lines[2].level, "ERROR");
  EXPECT_EQ(lines[2].message, "Can't download config file");
  EXPECT_EQ(RunFoldersLeft(), std::vector<std::string>{}) << "no download may start";
}

TEST_F(RunSequence, SecondStubWhileOneRunsExitsZeroSilently) {
  // The first stub gets a configuration it cannot parse and keeps its error box up until the
  // second one has run.
  TestServer& config = ServeConfig("<html>not a configuration</html>", CertKind::Trusted, "text/html");
  const std::string answer = GetBed().out + "/first-stub-may-answer";
  RemoveFile(answer);
  StubRun first;
  std::thread firstRun([&first, &answer] {
    StubOptions options;
    options.answerWhenFile = answer;
    first = RunStub(options);
  });
  // The first stub is at its error box once its error line is in the log.
  size_t linesBefore = 0;
  for (int i = 0; i < 600 && (linesBefore = ReadLog().size()) < 5; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  const StubRun second = RunStub();
  const bool answered = WriteFile(answer, "");
  firstRun.join();
  ASSERT_TRUE(answered) << answer;
  ASSERT_TRUE(second.watched) << second.report;
  EXPECT_EQ(second.exitCode, 0u);
  EXPECT_TRUE(second.boxes.empty()) << second.report;
  EXPECT_FALSE(second.dialog.shown);
  EXPECT_EQ(linesBefore, 5u) << "the first stub should be at its error box: " << LogDump();
  EXPECT_EQ(ReadLog().size(), 5u) << "the second stub must log nothing: " << LogDump();
  EXPECT_EQ(config.Count("/orv.json"), 1u) << "the second stub must send no request";
  EXPECT_EQ(first.exitCode, 3u) << first.report;
}

TEST_F(RunSequence, RunsAppendToOneLogFileInTheLineFormat) {
  ASSERT_EQ(RunStub().exitCode, 1u);
  ASSERT_EQ(RunStub().exitCode, 1u);
  std::string content;
  ASSERT_TRUE(ReadFile(LogFile(), content));
  // Every line: date, time with milliseconds, level, message, ended by CR LF.
  const std::regex line(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2},\d{3} (INFO|WARNING|ERROR) [^\r\n]+\r\n)");
  std::string rest = content;
  int count = 0;
  std::smatch match;
  while (!rest.empty() && std::regex_search(rest, match, line, std::regex_constants::match_continuous)) {
    rest = match.suffix();
    ++count;
  }
  EXPECT_TRUE(rest.empty()) << "malformed from: " << rest;
  EXPECT_EQ(count, 6) << content;
  const std::vector<std::string> messages = LogMessages();
  ASSERT_EQ(messages.size(), 6u);
  EXPECT_EQ(messages[0], "Tavlin wrapper started");
  EXPECT_EQ(messages[3], "Tavlin wrapper started");
}

TEST_F(RunSequence, LeavesNoStrayLogFile) {
  ASSERT_EQ(RunStub().exitCode, 1u);
  const ProcessResult found = RunProcess({"find", GetBed().prefix + "/drive_c", GetBed().winBuild, ".", "-name",
                                          "myeasylog.log"},
                                         60000);
  EXPECT_EQ(found.out, "") << "easylogging++ must not create its default log file";
}

}  // namespace
}  // namespace bed
