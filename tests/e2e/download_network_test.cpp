// The stub's download on hostile or failing networks: redirects it must refuse, a mirror that
// takes over, a proxy that asks for a password.
#include <algorithm>

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

}  // namespace
}  // namespace bed
