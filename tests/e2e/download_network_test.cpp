// The stub's download on hostile or failing networks: redirects it must refuse, a mirror that
// takes over, a proxy that asks for a password.
#include <algorithm>
#include <atomic>

#include "stub_fixture.h"

namespace bed {
namespace {

using DownloadNetwork = StubTest;

bool AnyMessage(const std::string& text) {
  const std::vector<std::string> messages = LogMessages();
  return std::any_of(messages.begin(), messages.end(),
                     [&](const std::string& m) { return m.find(text) != std::string::npos; });
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
