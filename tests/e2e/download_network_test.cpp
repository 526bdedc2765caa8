// The stub's download on bad and hostile networks: resets, servers that ignore ranges, a stall,
// redirects it must refuse, a mirror that takes over, a proxy that asks for a password.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <thread>

#include "stub_fixture.h"

namespace bed {
namespace {

constexpr size_t kMiB = 1024 * 1024;
// The stub's pauses between attempts shortened (the trickle limit stays 60 s).
const std::map<std::string, std::string> kShortPauses = {{"ORV_TEST_DOWNLOAD_TIMINGS", "60000,100,300,1000"}};

// The demo installer padded to size bytes: still the same program, now as large as asked.
std::string PaddedInstaller(size_t size) {
  std::string installer;
  EXPECT_TRUE(ReadFile(GetBed().winBuild + "/tests/demo_installer.exe", installer));
  if (installer.size() < size) installer += Payload(size - installer.size());
  return installer;
}

// Every percentage line that goes back comes right after the logged restart from byte 0.
void ExpectPercentagesNeverGoBackUnlessRestarted() {
  int last = 0;
  bool restarted = false;
  for (const std::string& message : LogMessages()) {
    if (message.rfind("Restarting the download from byte 0", 0) == 0) restarted = true;
    if (message.empty() || message.size() > 3 || message.find_first_not_of("0123456789") != std::string::npos) continue;
    const int percent = std::stoi(message);
    EXPECT_TRUE(percent > last || restarted) << percent << " after " << last << LogDump();
    restarted = false;
    last = percent;
  }
}

bool AnyMessage(const std::string& text) {
  const std::vector<std::string> messages = LogMessages();
  return std::any_of(messages.begin(), messages.end(),
                     [&](const std::string& m) { return m.find(text) != std::string::npos; });
}

using DownloadNetwork = StubTest;

TEST_F(DownloadNetwork, AResetEvery6MiBStillDeliversA24MiBInstallerWithFewBytesSentTwice) {
  const std::string installer = PaddedInstaller(24 * kMiB);
  RangeFileServer server(installer, [](int) { return Behaviour{true, 6 * kMiB}; });
  ASSERT_TRUE(server.Start());
  std::string document = ConfigFor(false, server.Url(), installer, "1.0");
  document.insert(document.size() - 1, ", \"size\": " + std::to_string(installer.size()));
  ServeConfig(document);
  StubOptions options;
  options.env = kShortPauses;
  options.env["ORV_DEMO_EXIT_CODE"] = "0";
  options.env["ORV_DEMO_RECORD"] = WinPath(GetBed().out + "/reset-run.txt");
  const StubRun run = RunStub(options);
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 0u) << LogDump();
  EXPECT_TRUE(AnyMessage("Checksum is OK. Continue...")) << LogDump();
  const double twice = static_cast<double>(server.BodyBytesSent()) - installer.size();
  std::printf("24 MiB behind a 6 MiB reset: %zu body bytes sent, %.0f sent twice (%.2f%%), %zu requests\n",
              server.BodyBytesSent(), twice, 100.0 * twice / installer.size(), server.Ranges().size());
  EXPECT_LE(twice, 0.05 * installer.size());
  const std::vector<std::string> ranges = server.Ranges();
  ASSERT_GE(ranges.size(), 4u);
  EXPECT_EQ(ranges[0], "");
  for (size_t i = 1; i < ranges.size(); ++i) EXPECT_NE(ranges[i], "") << "request " << i + 1 << " resumes";
  EXPECT_TRUE(AnyMessage("Resuming download at ")) << LogDump();
  ExpectPercentagesNeverGoBackUnlessRestarted();
  const std::vector<std::string> messages = LogMessages();
  EXPECT_EQ(std::count(messages.begin(), messages.end(), "End download"), 1) << LogDump();
}

TEST_F(DownloadNetwork, AServerThatIgnoresRangesResetOnceStillDelivers) {
  const std::string installer = PaddedInstaller(12 * kMiB);
  RangeFileServer server(installer, [](int request) { return Behaviour{false, request == 0 ? 6 * kMiB : 0}; });
  ASSERT_TRUE(server.Start());
  ServeConfig(ConfigFor(false, server.Url(), installer, "1.0"));
  StubOptions options;
  options.env = kShortPauses;
  options.env["ORV_DEMO_EXIT_CODE"] = "0";
  options.env["ORV_DEMO_RECORD"] = WinPath(GetBed().out + "/ranges-ignored-run.txt");
  const StubRun run = RunStub(options);
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 0u) << LogDump();
  EXPECT_TRUE(AnyMessage("Restarting the download from byte 0: the server sent the whole file again (HTTP status 200)"))
      << LogDump();
  ExpectPercentagesNeverGoBackUnlessRestarted();
  EXPECT_TRUE(AnyMessage("Checksum is OK. Continue...")) << LogDump();
}

TEST_F(DownloadNetwork, AnAttemptThatStallsAndThenSendsOtherBytesChangesNothingInTheInstallerThatRuns) {
  const std::string installer = PaddedInstaller(4 * kMiB);
  // The first connection sends 1 MiB, is silent past the limit (2 s here), then sends other bytes
  // while WinHTTP may still hold the given-up request (its own time-out: the limit plus 5 s).
  RangeFileServer server(installer, [](int request) {
    return request == 0 ? Behaviour{true, 1 * kMiB, 4000, 'Z'} : Behaviour{true, 0};
  });
  ASSERT_TRUE(server.Start());
  ServeConfig(ConfigFor(false, server.Url(), installer, "1.0"));
  StubOptions options;
  options.env = {{"ORV_TEST_DOWNLOAD_TIMINGS", "2000,100,300,1000"}, {"ORV_DEMO_EXIT_CODE", "0"},
                 {"ORV_DEMO_RECORD", WinPath(GetBed().out + "/stall-run.txt")}};
  const StubRun run = RunStub(options);
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 0u) << LogDump();
  // Silence after the last full stretch of bytes, or a last few bytes and then silence. Wine 8
  // drops the bytes of the read that the stall holds (one read, at most 128 KiB).
  const std::vector<std::string> messages = LogMessages();
  const std::string brokeOff = "Download attempt 1 of 20 broke off at ";
  const auto line = std::find_if(messages.begin(), messages.end(),
                                 [&](const std::string& m) { return m.rfind(brokeOff, 0) == 0; });
  ASSERT_NE(line, messages.end()) << LogDump();
  const size_t kept = std::stoull(line->substr(brokeOff.size()));
  EXPECT_GE(kept, 1 * kMiB - 128 * 1024) << *line;
  EXPECT_LE(kept, 1 * kMiB) << *line;
  const std::string rest = line->substr(line->find(" of 4194304 bytes ("));
  EXPECT_TRUE(rest == " of 4194304 bytes (no data for too long). Trying again in 0.1 s" ||
              rest == " of 4194304 bytes (less than 65536 bytes in 2 s). Trying again in 0.1 s")
      << *line;
  EXPECT_TRUE(AnyMessage("Checksum is OK. Continue...")) << "the installer that ran is the server's: " << LogDump();
  for (int i = 0; i < 100 && !server.LateBytesTried(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::printf("the stalled connection's other bytes were %s\n",
              server.LateBytesSent() ? "taken by its socket" : "refused: the connection was closed");
}


TEST_F(DownloadNetwork, AnHttpsWrapperRedirectedToPlainHttpIsNeverFetchedForACrcOnlyDocument) {
  std::string installer;
  ASSERT_TRUE(ReadFile(GetBed().winBuild + "/tests/demo_installer.exe", installer));
  // Whoever answers on the plain http side could serve any program padded to the same CRC-32.
  ServeFile("/setup.exe", installer);
  const std::string plainUrl = FilesUrl("/setup.exe");
  TestServer secure(CertKind::Trusted);
  secure.server().Get("/setup.exe", [&](const httplib::Request&, httplib::Response& response) {
    response.set_redirect(plainUrl.c_str(), 302);
  });
  ASSERT_TRUE(secure.Start());
  const std::string wrapper = "https://localhost:" + std::to_string(secure.port()) + "/setup.exe";
  ServeConfig(ConfigJson(false, wrapper, Crc32Of(installer), "1.0"));
  StubOptions options;
  options.env = {{"ORV_DEMO_EXIT_CODE", "0"}};
  const StubRun run = RunStub(options);
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 4u) << LogDump();
  EXPECT_EQ(files_->Count("/setup.exe"), 0u) << "the plain http address was fetched: " << LogDump();
  EXPECT_TRUE(AnyMessage("failed (redirect to " + plainUrl + " refused: a redirect from https to http)")) << LogDump();
  EXPECT_FALSE(AnyMessage("Launching installer")) << LogDump();
}

TEST_F(DownloadNetwork, AMirrorTakesOverFromAFailingAddress) {
  std::string installer;
  ASSERT_TRUE(ReadFile(GetBed().winBuild + "/tests/demo_installer.exe", installer));
  ServeFile("/setup.exe", installer);
  const std::string mirror = FilesUrl("/setup.exe");
  // The wrapper's host answers every request with 404.
  TestServer gone;
  ASSERT_TRUE(gone.Start());
  const std::string wrapper = "http://localhost:" + std::to_string(gone.port()) + "/setup.exe";
  std::string document = ConfigFor(false, wrapper, installer, "1.0");
  document.insert(document.size() - 1, ", \"mirrors\": [\"" + mirror + "\"]");
  ServeConfig(document);
  StubOptions options;
  options.env = {{"ORV_DEMO_EXIT_CODE", "0"}, {"ORV_DEMO_RECORD", WinPath(GetBed().out + "/mirror-run.txt")}};
  const StubRun run = RunStub(options);
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 0u) << LogDump();
  EXPECT_EQ(gone.Count("/setup.exe"), 1u) << "a 404 ends an address at once";
  EXPECT_EQ(files_->Count("/setup.exe"), 1u);
  EXPECT_TRUE(AnyMessage("Download attempt 1 of 3 failed (HTTP status 404)")) << LogDump();
  EXPECT_TRUE(AnyMessage("Trying mirror " + mirror)) << LogDump();
  EXPECT_EQ(LogMessages().back(), "Tavlin wrapper exiting") << LogDump();
}

TEST_F(DownloadNetwork, AProxyAskingForBasicAuthenticationEndsTheDownloadWithItsLine) {
  // The proxy passes the configuration on and asks for a password for the installer.
  const std::string installerUrl = "http://orv-behind-proxy.invalid/setup.exe";
  TestProxy proxy([&](const std::string& line) {
    if (line.find("orv-behind-proxy.invalid") == std::string::npos) return std::string();
    return std::string("HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"corp\"\r\n"
                       "Content-Length: 0\r\nConnection: close\r\n\r\n");
  });
  ASSERT_TRUE(proxy.Start());
  const std::string address = "127.0.0.1:" + std::to_string(proxy.port());
  // Inside the tunnel Wine 8 asks for the absolute address: the configuration answers any target.
  const std::string document = ConfigFor(false, installerUrl, "installer", "1.0");
  config_ = std::make_unique<TestServer>(CertKind::Trusted);
  config_->server().Get(".*", [&](const httplib::Request&, httplib::Response& response) {
    response.set_content(document, "application/json");
  });
  ASSERT_TRUE(config_->Start());
  NextStubEndpoints().configPort = config_->port();
  StubOptions options;
  // Wine's WinHTTP takes its default proxy from http_proxy.
  options.env = {{"http_proxy", "http://" + address}};
  const StubRun run = RunStub(options);
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 4u) << LogDump();
  ASSERT_EQ(run.boxes.size(), 1u) << run.report;
  EXPECT_EQ(run.boxes[0].text, "Cannot obtain installer. Error code 4");
  const std::vector<std::string> lines = proxy.RequestLines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.find("orv-behind-proxy.invalid") != std::string::npos; }),
            1)
      << "a 407 ends the address at once";
  EXPECT_TRUE(AnyMessage("Proxy " + address +
                         " asks for authentication by Basic; only Negotiate and NTLM are answered, with the user's logon"))
      << LogDump();
  EXPECT_TRUE(AnyMessage("Download attempt 1 of 3 failed (HTTP status 407)")) << LogDump();
}

}  // namespace
}  // namespace bed
