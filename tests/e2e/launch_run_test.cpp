// The installer's launch and the three outcomes: success, cancelled (page, copy, shortcut) and
// failed (the analytics hit), with the demo installer standing in for the real one.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <regex>
#include <thread>

#include "installer_run_fixture.h"

namespace bed {
namespace {

std::string CancelPage(const std::string& version) { return CancelPageBase() + version; }

class LaunchRun : public InstallerRunTest {
 protected:
  void SetUp() override {
    InstallerRunTest::SetUp();
    analytics_ = std::make_unique<TestServer>(CertKind::Trusted);
    analytics_->server().Get("/piwik.php", [](const httplib::Request&, httplib::Response& response) {
      response.status = 204;
    });
    ASSERT_TRUE(analytics_->Start()) << "analytics server";
    NextStubEndpoints().analyticsPort = analytics_->port();
  }

  // The log line of the download folder's removal, from the installer's Windows path.
  static std::string FolderDeleted(const std::string& installerPath) {
    return "Download folder \"" + installerPath.substr(0, installerPath.find_last_of('\\') + 1) + "\" deleted";
  }

  std::unique_ptr<TestServer> analytics_;
};

TEST_F(LaunchRun, SuccessPassesIdVersionAndArgumentsAndRemovesTheShortcut) {
  for (const bool shortcutPresent : {true, false}) {
    SCOPED_TRACE(shortcutPresent ? "resume shortcut on the desktop" : "no resume shortcut");
    ClearLog();
    RemoveFile(record_);
    const std::string shortcut = DesktopDir() + "/" + kShortcutName;
    if (shortcutPresent) ASSERT_TRUE(WriteFile(shortcut, "left by a cancelled run"));
    Serve(true);
    const StubRun run = RunStub(Options("0", {"/S", "--lang=de"}));
    ASSERT_TRUE(run.watched) << run.report;
    EXPECT_EQ(run.exitCode, 0u) << LogDump();
    EXPECT_TRUE(run.boxes.empty()) << run.report;

    const Launch launch = ReadLaunch();
    ASSERT_TRUE(launch.recorded) << "the installer's command line has the wrong form or is missing";
    EXPECT_EQ(launch.rest, std::string("-v \"") + kVersion + "\" /S --lang=de");
    EXPECT_FALSE(FileExists(RunFile(launch.installerPath))) << "the installer must be deleted";
    // Downloaded into a folder of the run's own in the setup folder, which goes too.
    EXPECT_TRUE(std::regex_match(launch.installerPath, std::regex(R"(C:\\Program Files( \(x86\))?\\Orvandel Setup\\)"
                                                                  R"(orv[0-9a-f]{8}\\orv[0-9A-F]{1,4}\.tmp\.exe)",
                                                                  std::regex::icase)))
        << launch.installerPath;
    EXPECT_EQ(RunFoldersLeft(), std::vector<std::string>{}) << "the run's folder must be deleted";
    EXPECT_FALSE(FileExists(shortcut));

    const std::string launching =
        "Launching installer \"" + launch.installerPath + " -id " + launch.id + " " + launch.rest + "\"";
    std::vector<std::string> expected{"Waiting for installer to complete...",
                                      "Installer execution has successfully completed"};
    if (shortcutPresent) {
      const std::string windowsShortcut = "C:\\users\\" + GetBed().user + "\\Desktop\\" + kShortcutName;
      expected.push_back("Attempting to delete shortcut \"" + windowsShortcut + "\"");
      expected.push_back("\"" + windowsShortcut + "\" deleted");
    }
    expected.push_back("\"" + launch.installerPath + "\" deleted");
    expected.push_back(FolderDeleted(launch.installerPath));
    expected.push_back("Tavlin wrapper exiting");
    EXPECT_EQ(LinesAfter(LogMessages(), launching), expected) << LogDump();
    EXPECT_EQ(analytics_->Requests().size(), 0u) << "a success sends no hit";
    EXPECT_TRUE(Pages(0).empty());
  }
}

TEST_F(LaunchRun, CommandLineBeyond512CharactersIsPassedWhole) {
  Serve(false);
  const std::string longArgument = "--payload=" + std::string(900, 'p');
  const StubRun run = RunStub(Options("0", {longArgument}));
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 0u) << LogDump();
  const Launch launch = ReadLaunch();
  ASSERT_TRUE(launch.recorded);
  EXPECT_EQ(launch.rest, std::string("-v \"") + kVersion + "\" " + longArgument);
}

TEST_F(LaunchRun, CancelledOpensThePageAndLeavesCopyAndShortcut) {
  std::string stub;
  ASSERT_TRUE(ReadFile(GetBed().winBuild + "/orvsetup.exe", stub));
  for (const char* code : {"2", "5"}) {
    SCOPED_TRACE(std::string("exit code ") + code);
    ClearLog();
    RemoveFile(urls_);
    RemoveFile(DesktopDir() + "/" + kShortcutName);
    std::filesystem::create_directories(ResumeDir());
    ASSERT_TRUE(WriteFile(ResumeDir() + "/" + kCopyName, "an older copy, to be replaced"));
    Serve(true);
    const StubRun run = RunStub(Options(code));
    ASSERT_TRUE(run.watched) << run.report;
    EXPECT_EQ(run.exitCode, static_cast<uint32_t>(std::stoul(code))) << LogDump();
    EXPECT_TRUE(run.boxes.empty()) << run.report;

    const std::string copy = ResumeCopyWinPath();
    const std::string shortcut = "C:\\users\\" + GetBed().user + "\\Desktop\\" + kShortcutName;
    const Launch launch = ReadLaunch();
    ASSERT_TRUE(launch.recorded);
    const std::vector<std::string> expected{
        std::string("Installer execution canceled. Exit code ") + code,
        "Navigating user to cancellation page",
        "Copy wrapper to temp directory",
        "Wrapper successfully copied to \"" + copy + "\"",
        "Attempting to create shortcut \"" + shortcut + "\"",
        "Successfully created shortcut \"" + shortcut + "\"",
        "\"" + launch.installerPath + "\" deleted", FolderDeleted(launch.installerPath),
        "Tavlin wrapper exiting"};
    EXPECT_EQ(LinesAfter(LogMessages(), "Waiting for installer to complete..."), expected) << LogDump();
    EXPECT_EQ(Pages(1), std::vector<std::string>{CancelPage(kVersion)});

    std::string copied;
    ASSERT_TRUE(ReadFile(ResumeDir() + "/" + kCopyName, copied));
    EXPECT_TRUE(copied == stub) << "the copy must be the stub itself, " << copied.size() << " bytes";
    const ProcessResult info = RunProcess({"lnkinfo", DesktopDir() + "/" + kShortcutName}, 60000);
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("\tLocal path\t\t\t: " + copy + "\n"), std::string::npos) << info.out;
    EXPECT_EQ(analytics_->Requests().size(), 0u) << "a cancellation sends no hit";
  }
}

TEST_F(LaunchRun, CancelledWithoutTheFlagOrWithNsLeavesNothing) {
  struct Case {
    const char* name;
    bool shortcut;
    std::vector<std::string> args;
  };
  const Case cases[] = {{"\"shortcut\": false", false, {}}, {"-ns on the command line", true, {"/S", "-NS"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClearLog();
    RemoveFile(urls_);
    Serve(c.shortcut, "5.0 beta");
    const StubRun run = RunStub(Options("2", c.args));
    ASSERT_TRUE(run.watched) << run.report;
    EXPECT_EQ(run.exitCode, 2u) << LogDump();
    const Launch launch = ReadLaunch();
    ASSERT_TRUE(launch.recorded);
    const std::vector<std::string> expected{"Installer execution canceled. Exit code 2",
                                            "Navigating user to cancellation page",
                                            "\"" + launch.installerPath + "\" deleted", FolderDeleted(launch.installerPath), "Tavlin wrapper exiting"};
    EXPECT_EQ(LinesAfter(LogMessages(), "Waiting for installer to complete..."), expected) << LogDump();
    EXPECT_EQ(Pages(1), std::vector<std::string>{CancelPage("5.0%20beta")});
    EXPECT_FALSE(FileExists(ResumeDir() + "/" + kCopyName));
    EXPECT_FALSE(FileExists(DesktopDir() + "/" + kShortcutName));
  }
}

TEST_F(LaunchRun, CancelledRunOfTheCopyItselfCopiesNothingAgain) {
  Serve(true);
  const StubRun first = RunStub(Options("5"));
  ASSERT_TRUE(first.watched) << first.report;
  ASSERT_EQ(first.exitCode, 5u) << LogDump();
  ASSERT_TRUE(FileExists(ResumeDir() + "/" + kCopyName)) << LogDump();
  RemoveFile(DesktopDir() + "/" + kShortcutName);
  ClearLog();
  RemoveFile(urls_);

  // Started the way the shortcut starts it, by its path, but spelled in other case: the stub must
  // still know itself.
  std::string copy = ResumeCopyWinPath();
  for (char& c : copy) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::map<std::string, std::string> env = StubEndpointEnvironment();
  for (const auto& [key, value] : Options("5").env) env[key] = value;
  const ProcessResult second = RunProcess({GetBed().wine, copy}, 120000, env);
  ASSERT_FALSE(second.timedOut) << LogDump();
  EXPECT_EQ(second.status, 5) << second.err;
  const Launch launch = ReadLaunch();
  ASSERT_TRUE(launch.recorded);
  const std::vector<std::string> expected{"Installer execution canceled. Exit code 5",
                                          "Navigating user to cancellation page",
                                          "\"" + launch.installerPath + "\" deleted", FolderDeleted(launch.installerPath), "Tavlin wrapper exiting"};
  EXPECT_EQ(LinesAfter(LogMessages(), "Waiting for installer to complete..."), expected) << LogDump();
  EXPECT_EQ(Pages(1), std::vector<std::string>{CancelPage(kVersion)});
  EXPECT_FALSE(FileExists(DesktopDir() + "/" + kShortcutName));
}

TEST_F(LaunchRun, FailedSendsOneHitWithTheInstallersIdAndExitCode) {
  for (const char* code : {"1", "3", "4", "3221225477"}) {
    SCOPED_TRACE(std::string("exit code ") + code);
    ClearLog();
    RemoveFile(record_);
    Serve(true);
    const size_t hitsBefore = analytics_->Requests().size();
    const StubRun run = RunStub(Options(code));
    ASSERT_TRUE(run.watched) << run.report;
    EXPECT_EQ(std::to_string(run.exitCode), code) << LogDump();
    EXPECT_TRUE(run.boxes.empty()) << run.report;
    const Launch launch = ReadLaunch();
    ASSERT_TRUE(launch.recorded);

    const std::vector<RecordedRequest> requests = analytics_->Requests();
    ASSERT_EQ(requests.size(), hitsBefore + 1) << "exactly one hit per failed run";
    const RecordedRequest& hit = requests.back();
    EXPECT_EQ(hit.method, "GET");
    EXPECT_EQ(hit.target, "/piwik.php?rec=1&url=nourl&apiv=1&idsite=2&_id=" + launch.id +
                              "&e_c=Undetermined&e_a=Failed&e_n=" + code);
    const std::vector<std::string> expected{std::string("Installer execution failed. Exit code ") + code,
                                            "Sending failed hit to Piwik", "Sent failed hit to Piwik",
                                            "\"" + launch.installerPath + "\" deleted", FolderDeleted(launch.installerPath), "Tavlin wrapper exiting"};
    EXPECT_EQ(LinesAfter(LogMessages(), "Waiting for installer to complete..."), expected) << LogDump();
    EXPECT_TRUE(Pages(0).empty());
    EXPECT_FALSE(FileExists(ResumeDir() + "/" + kCopyName));
  }
}

TEST_F(LaunchRun, FailedWithTheAnalyticsServerDownStillEndsNormally) {
  analytics_->Stop();
  Serve(true);
  const StubRun run = RunStub(Options("1"));
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 1u) << LogDump();
  EXPECT_TRUE(run.boxes.empty()) << run.report;
  const Launch launch = ReadLaunch();
  ASSERT_TRUE(launch.recorded);
  const std::vector<std::string> expected{"Installer execution failed. Exit code 1", "Sending failed hit to Piwik",
                                          "Sent failed hit to Piwik", "\"" + launch.installerPath + "\" deleted", FolderDeleted(launch.installerPath),
                                          "Tavlin wrapper exiting"};
  EXPECT_EQ(LinesAfter(LogMessages(), "Waiting for installer to complete..."), expected) << LogDump();
}

TEST_F(LaunchRun, DownloadThatIsNotAProgramShowsCode7) {
  const std::string notAProgram = "This is a text file, served with the right checksum.\r\n";
  Serve(true, kVersion, "", &notAProgram);
  const StubRun run = RunStub(Options("0"));
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 7u) << LogDump();
  ASSERT_EQ(run.boxes.size(), 1u) << run.report;
  EXPECT_EQ(run.boxes[0].title, "We apologize!");
  EXPECT_EQ(run.boxes[0].text, "Cannot run installer. Error code 7");
  EXPECT_FALSE(ReadLaunch().recorded);

  const std::vector<LogLine> lines = ReadLog();
  const auto launching = std::find_if(lines.begin(), lines.end(), [](const LogLine& line) {
    return line.message.rfind("Launching installer \"", 0) == 0;
  });
  ASSERT_NE(launching, lines.end()) << LogDump();
  ASSERT_EQ(lines.end() - launching, 4) << LogDump();
  std::smatch path;
  ASSERT_TRUE(std::regex_search(launching->message, path, std::regex("^Launching installer \"(.+?\\.tmp\\.exe) -id ")))
      << launching->message;
  const std::string installerPath = path[1];
  EXPECT_EQ(launching[1].level, "ERROR");
  EXPECT_EQ(launching[1].message, "Unable to run installer \"" + installerPath + "\". Error code 193");
  EXPECT_EQ(launching[2].message, "\"" + installerPath + "\" deleted");
  EXPECT_EQ(launching[3].message, FolderDeleted(installerPath));
  EXPECT_FALSE(FileExists(RunFile(installerPath)));
  const std::vector<std::string> messages = LogMessages();
  EXPECT_FALSE(Contains(messages, "Installer execution has successfully completed"));
  EXPECT_FALSE(Contains(messages, "Tavlin wrapper exiting"));
  EXPECT_EQ(analytics_->Requests().size(), 0u);
}

}  // namespace
}  // namespace bed
