// The download stage: the progress dialog, its bar and the status lines while the installer
// comes in, the cache-busting value, failed downloads and closing the dialog.
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <regex>
#include <thread>

#include "stub_fixture.h"

namespace bed {
namespace {

constexpr uint32_t kWsCaption = 0x00C00000;
constexpr uint32_t kWsPopup = 0x80000000;
constexpr uint32_t kWsExAppWindow = 0x00040000;

std::string DemoInstaller() {
  std::string bytes;
  EXPECT_TRUE(ReadFile(GetBed().winBuild + "/tests/demo_installer.exe", bytes));
  return bytes;
}

bool IsPercentLine(const std::string& message) {
  return !message.empty() && message.size() <= 10 &&
         std::all_of(message.begin(), message.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Stage lines that the download service may report between the begin and the end of the data.
bool IsStageLine(const std::string& message) {
  return message == "Cache filename available" || message == "Mime type available";
}

// The messages after the first line equal to from.
std::vector<std::string> LinesAfter(const std::vector<std::string>& messages, const std::string& from) {
  const auto start = std::find(messages.begin(), messages.end(), from);
  return start == messages.end() ? std::vector<std::string>{} : std::vector<std::string>(start + 1, messages.end());
}

class DownloadRun : public StubTest {
 protected:
  // The one download request the files server saw.
  RecordedRequest OnlyDownloadRequest() {
    const std::vector<RecordedRequest> requests = files_ ? files_->Requests() : std::vector<RecordedRequest>{};
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? RecordedRequest{} : requests.front();
  }
};

TEST_F(DownloadRun, ThrottledDownloadFeedsTheDialogUntilTheDataEnds) {
  const std::string installer = DemoInstaller();
  ServeConfig(ConfigFor(false, FilesUrl("/wrapper/setup.exe"), installer, "1.0"));
  const std::shared_ptr<Delivery> delivery = ServeThrottled("/wrapper/setup.exe", installer, 40, 100);
  StubOptions options;
  options.env = {{"ORV_DEMO_EXIT_CODE", "0"}};
  options.screenshot = GetBed().out + "/progress-dialog.bmp";
  options.screenshotAtPos = 50;
  RemoveFile(options.screenshot);
  const StubRun run = RunStub(options);
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 0u) << LogDump();
  EXPECT_TRUE(run.boxes.empty()) << run.report;
  EXPECT_TRUE(delivery->complete);

  // The dialog: its text, no title bar, shown in the taskbar, centred in the work area.
  const DialogSeen& dialog = run.dialog;
  ASSERT_TRUE(dialog.shown) << run.report;
  EXPECT_EQ(dialog.text, "Downloading ORV Installer...");
  EXPECT_NE(dialog.style & kWsCaption, kWsCaption) << std::hex << dialog.style;
  EXPECT_EQ(dialog.style & kWsPopup, kWsPopup) << std::hex << dialog.style;
  EXPECT_EQ(dialog.exStyle & kWsExAppWindow, kWsExAppWindow) << std::hex << dialog.exStyle;
  EXPECT_LE(std::labs((dialog.left + dialog.right) - (dialog.workLeft + dialog.workRight)), 2) << run.report;
  EXPECT_LE(std::labs((dialog.top + dialog.bottom) - (dialog.workTop + dialog.workBottom)), 2) << run.report;
  EXPECT_TRUE(dialog.gone) << "the dialog must close when the data ends: " << run.report;

  // The log: the stages, then rising percentages up to 100, then the end.
  const std::vector<std::string> download = LinesAfter(LogMessages(), "Downloading wrapper");
  ASSERT_FALSE(download.empty()) << LogDump();
  const auto begin = std::find(download.begin(), download.end(), "Begin download");
  const auto end = std::find(download.begin(), download.end(), "End download");
  ASSERT_TRUE(begin != download.end() && end != download.end() && begin < end) << LogDump();
  std::vector<int> logged;
  for (auto it = begin + 1; it != end; ++it) {
    if (IsStageLine(*it)) continue;
    ASSERT_TRUE(IsPercentLine(*it)) << "between the begin and the end: " << *it;
    logged.push_back(std::atoi(it->c_str()));
  }
  ASSERT_GE(logged.size(), 5u) << "a throttled download reports several percentages: " << LogDump();
  EXPECT_TRUE(std::is_sorted(logged.begin(), logged.end()) &&
              std::adjacent_find(logged.begin(), logged.end()) == logged.end())
      << LogDump();
  EXPECT_EQ(logged.back(), 100) << LogDump();
  ASSERT_NE(end + 1, download.end());
  EXPECT_EQ(end[1].rfind("Wrapper successfully downloaded to \"", 0), 0u) << LogDump();

  // The bar showed only logged percentages and never went back. The end of the data follows the
  // last piece at once, so the watcher may not see 100 before the dialog goes; it must have seen
  // the bar close to it (DialogDemo below reads the bar at 100 before the end).
  ASSERT_FALSE(dialog.positions.empty()) << run.report;
  EXPECT_TRUE(std::is_sorted(dialog.positions.begin(), dialog.positions.end())) << run.report;
  for (int position : dialog.positions) {
    EXPECT_TRUE(position == 0 || std::count(logged.begin(), logged.end(), position)) << position;
  }
  EXPECT_GE(dialog.positions.back(), 90) << run.report;

  // One request, with "?rn=" and a value the standard generator can draw.
  const RecordedRequest request = OnlyDownloadRequest();
  std::smatch rn;
  ASSERT_TRUE(std::regex_match(request.target, rn, std::regex(R"(/wrapper/setup\.exe\?rn=(\d{1,5}))")))
      << request.target;
  EXPECT_LE(std::stoi(rn[1]), 32767);

  // The dialog as it looked half-way, kept as a PNG.
  ASSERT_TRUE(FileExists(options.screenshot)) << run.report;
  const std::string png = GetBed().out + "/progress-dialog.png";
  RemoveFile(png);
  ASSERT_EQ(RunProcess({"convert", options.screenshot, png}, 60000).status, 0);
  // The picture holds the dialog with an even margin; at the shot the bar was filled about half
  // way, so its left part and its right part differ in colour.
  const ProcessResult size = RunProcess({"identify", "-format", "%w %h", png}, 60000);
  int width = 0, height = 0;
  ASSERT_EQ(std::sscanf(size.out.c_str(), "%d %d", &width, &height), 2) << size.out;
  const long dialogWidth = dialog.right - dialog.left, dialogHeight = dialog.bottom - dialog.top;
  ASSERT_GE(width, dialogWidth);
  ASSERT_GE(height, dialogHeight);
  const long middle = (height - dialogHeight) / 2 + dialogHeight / 2;
  auto pixel = [&](double share) {
    const long x = (width - dialogWidth) / 2 + static_cast<long>(dialogWidth * share);
    const std::string at = "%[pixel:p{" + std::to_string(x) + "," + std::to_string(middle) + "}]";
    return RunProcess({"convert", png, "-format", at, "info:"}, 60000).out;
  };
  const std::string filled = pixel(0.2), empty = pixel(0.9);
  EXPECT_FALSE(filled.empty());
  EXPECT_NE(filled, empty) << "the bar looks unfilled in " << png;
}

TEST_F(DownloadRun, WrapperWithAQueryGetsTheValueAfterAnAmpersand) {
  const std::string installer = DemoInstaller();
  ServeConfig(ConfigFor(false, FilesUrl("/get?file=setup.exe&channel=beta"), installer, "1.0"));
  ServeFile("/get", installer);
  StubOptions options;
  options.env = {{"ORV_DEMO_EXIT_CODE", "0"}};
  const StubRun run = RunStub(options);
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 0u) << LogDump();
  const RecordedRequest request = OnlyDownloadRequest();
  std::smatch rn;
  ASSERT_TRUE(std::regex_match(request.target, rn, std::regex(R"(/get\?file=setup\.exe&channel=beta&rn=(\d{1,5}))")))
      << request.target;
  EXPECT_LE(std::stoi(rn[1]), 32767);
}

// Answers with the head of a long body and a little of it, then ends the connection: with a
// reset (SO_LINGER 0) or with an orderly close.
std::string CutShortUrl(int port) { return "http://localhost:" + std::to_string(port) + "/setup.exe"; }

void CutShort(int socket, bool reset) {
  if (ReadRequestHead(socket).empty()) return;
  SendAll(socket, "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: 1000000\r\n\r\n" +
                      std::string(4096, 'x'));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  if (reset) {
    const linger abortive{1, 0};
    setsockopt(socket, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
  }
}

TEST_F(DownloadRun, FailedDownloadsShowCode4WhileTheDialogIsOnScreen) {
  // A closed port brings nothing: three attempts in all. A reset after 4 KiB of the body brings
  // those bytes; the server ignores the range the next attempts ask for, so each of them starts
  // again from byte 0 (a warning each) and brings nothing new: four attempts in all.
  enum class Failure { ClosedPort, ConnectionReset };
  struct Case {
    Failure failure;
    const char* name;
    int connections;  // 0: nothing listens
    long warnings;
  };
  const Case cases[] = {{Failure::ClosedPort, "closed port", 0, 2}, {Failure::ConnectionReset, "connection reset", 4, 6}};
  for (const auto& [failure, name, connections, warnings] : cases) {
    SCOPED_TRACE(name);
    ClearLog();
    // Nothing listens on the port in the closed-port case.
    std::unique_ptr<RawServer> raw;
    int port = RefusedPort();
    if (failure == Failure::ConnectionReset) {
      raw = std::make_unique<RawServer>([](int socket, const std::atomic<bool>&) { CutShort(socket, true); });
      ASSERT_TRUE(raw->Start());
      port = raw->port();
    }
    ServeConfig(ConfigJson(false, CutShortUrl(port), 1, "1.0", Sha256HexOf("")));
    StubOptions options;
    options.timeoutMs = 180000;
    const StubRun run = RunStub(options);
    ASSERT_TRUE(run.watched) << run.report;
    EXPECT_EQ(run.exitCode, 4u) << LogDump();
    ASSERT_EQ(run.boxes.size(), 1u) << run.report;
    EXPECT_EQ(run.boxes[0].title, "We apologize!");
    EXPECT_EQ(run.boxes[0].text, "Cannot obtain installer. Error code 4");
    EXPECT_TRUE(run.boxes[0].dialogVisible) << run.report;
    EXPECT_TRUE(run.dialog.shown) << run.report;
    const std::vector<LogLine> lines = ReadLog();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().level, "ERROR");
    EXPECT_EQ(lines.back().message.rfind("Can't download wrapper to \"", 0), 0u) << LogDump();
    const std::vector<std::string> messages = LogMessages();
    EXPECT_EQ(std::count(messages.begin(), messages.end(), "End download"), 0) << LogDump();
    // Network failures are tried again, with one box at the end.
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const LogLine& line) { return line.level == "WARNING"; }),
              warnings)
        << LogDump();
    if (raw) {
      EXPECT_EQ(raw->Connections(), connections);
    }
    config_.reset();
  }
}

TEST_F(DownloadRun, ShortBodyNeverRunsAnInstaller) {
  // What every platform guarantees for a body cut short by an orderly close: the run fails with
  // code 4 (the download reports the failure) or code 6 (the file arrives but its checksum does
  // not match), one box, an error as the last line, and no launch. Wine's download service saves
  // such a body as a complete download (S_OK), so under Wine it gives code 6. (An error status
  // such as 404 is a failed download on every platform: see download_status_test.cpp.)
  RawServer raw([](int socket, const std::atomic<bool>&) { CutShort(socket, false); });
  ASSERT_TRUE(raw.Start());
  ServeConfig(ConfigJson(false, CutShortUrl(raw.port()), 1, "1.0", Sha256HexOf("")));
  const StubRun run = RunStub();
  ASSERT_TRUE(run.watched) << run.report;
  ASSERT_TRUE(run.exitCode == 4u || run.exitCode == 6u) << "exit code " << run.exitCode << LogDump();
  const bool downloadFailed = run.exitCode == 4u;
  ASSERT_EQ(run.boxes.size(), 1u) << run.report;
  EXPECT_EQ(run.boxes[0].text, downloadFailed ? "Cannot obtain installer. Error code 4"
                                              : "The installation file is corrupted. Error code 6");
  const std::vector<LogLine> lines = ReadLog();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().level, "ERROR") << LogDump();
  if (downloadFailed) {
    EXPECT_EQ(lines.back().message.rfind("Can't download wrapper to \"", 0), 0u) << LogDump();
  } else {
    EXPECT_EQ(lines.back().message, "Mismatch of the wrapper checksum") << LogDump();
    // A quick answer can open and close the dialog between two looks of the watcher, so the dialog
    // is checked where it matters: off the screen when the box appears.
    EXPECT_FALSE(run.boxes[0].dialogVisible) << "the end of the data closes the dialog: " << run.report;
  }
  const std::vector<std::string> messages = LogMessages();
  EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                          [](const std::string& m) { return m.rfind("Launching installer", 0) == 0; }),
            0)
      << LogDump();
}

TEST_F(DownloadRun, ClosingTheDialogEndsTheStubAtOnceWithExitCode0) {
  const std::string installer = DemoInstaller();
  ServeConfig(ConfigFor(false, FilesUrl("/setup.exe"), installer, "1.0"));
  // About 20 seconds in all, so the close lands early in the download.
  const std::shared_ptr<Delivery> delivery = ServeThrottled("/setup.exe", installer, 200, 100);
  StubOptions options;
  options.closeAtPos = 10;
  const StubRun run = RunStub(options);
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 0u) << LogDump();
  EXPECT_TRUE(run.boxes.empty()) << run.report;
  ASSERT_GE(run.dialog.closedAt, 10) << run.report;
  // The stub went away in the middle of the data.
  for (int i = 0; i < 50 && !delivery->cut && !delivery->complete; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(delivery->cut);
  EXPECT_FALSE(delivery->complete);
  // After the progress lines only the run's own end: no end of the data, no error, no exit line.
  // The bar is moved right after its line is written, so at most the line of the step in flight
  // may follow the close.
  std::vector<std::string> after = LinesAfter(LogMessages(), "Begin download");
  ASSERT_GE(after.size(), 2u) << LogDump();
  EXPECT_EQ(after.back(), "Download closed by the user") << LogDump();
  after.pop_back();
  for (const std::string& message : after) {
    EXPECT_TRUE(IsPercentLine(message) || IsStageLine(message)) << message;
  }
  EXPECT_TRUE(IsPercentLine(after.back())) << LogDump();
  EXPECT_LE(std::atoi(after.back().c_str()), run.dialog.closedAt + 1) << LogDump();
  // The run's end removed its folder.
  EXPECT_EQ(RunFoldersLeft(), std::vector<std::string>{}) << "the run's folder was left";
}

TEST_F(DownloadRun, ConfigurationThatIsNotJsonNeverShowsTheDialog) {
  ServeConfig("<html><body>Service unavailable</body></html>", CertKind::Trusted, "text/html");
  const StubRun run = RunStub();
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 3u);
  EXPECT_FALSE(run.dialog.shown) << run.report;
  EXPECT_EQ(RunFoldersLeft(), std::vector<std::string>{}) << "no download may start";
}

TEST(ProgressDialog, DemoBarReachesTheLastPercentageBeforeTheDialogEnds) {
  std::string error;
  ASSERT_TRUE(BedReady(error)) << error;
  const ProcessResult demo = RunWine("dialog_demo.exe", {"5", "0"}, 60000);
  EXPECT_EQ(demo.status, 0) << demo.out << demo.err;
  std::string out = "\n" + demo.out;
  out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
  for (const char* line : {"\ntext=Downloading ORV Installer...\n", "\nbar=66\n", "\nfinal bar=100\n", "\nclosed=1\n"}) {
    EXPECT_NE(out.find(line), std::string::npos) << line << " in " << demo.out;
  }
}

TEST(ProgressDialog, EndReportedBeforeTheDialogInitialisesClosesItAtOnce) {
  std::string error;
  ASSERT_TRUE(BedReady(error)) << error;
  const ProcessResult demo = RunWine("dialog_demo.exe", {"early"}, 60000);
  EXPECT_EQ(demo.status, 0) << demo.out << demo.err;
  EXPECT_NE(demo.out.find("closed=1"), std::string::npos) << demo.out;
}

}  // namespace
}  // namespace bed
