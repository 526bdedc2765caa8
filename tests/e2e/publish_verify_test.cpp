// orvpublish.exe verify under Wine: WinHTTP with the Windows certificate store (the prefix trusts
// the test CA), against the bed's HTTPS server.
#include "publish/transfer_report.h"
#include "stub_fixture.h"

namespace {
using namespace orv;
}  // namespace

namespace bed {
namespace {

class PublishVerifyOnWindows : public StubTest {};

TEST_F(PublishVerifyOnWindows, ChecksTheLiveDocumentAndInstallerAsTheStubDoes) {
  std::string installer;
  ASSERT_TRUE(ReadFile(GetBed().winBuild + "/tests/demo_installer.exe", installer));
  const struct {
    const char* name;
    CertKind cert;
    bool corrupt;
    std::vector<std::string> extra;
    int status;
    std::string verdictPrefix;  // "" for no report (a usage error)
  } cases[] = {
      {"good", CertKind::Trusted, false, {}, 0, "verdict: accepted"},
      {"corrupt installer", CertKind::Trusted, true, {}, 1, "verdict: code 6: Mismatch of the wrapper checksum"},
      {"self-signed", CertKind::SelfSigned, false, {}, 1, "verdict: code 1: Can't download config file ("},
      {"CA file", CertKind::Trusted, false, {"--ca-file", "ca.pem"}, 2, ""},
  };
  for (const auto& c : cases) {
    TestServer server(c.cert);
    ASSERT_TRUE(server.Bind());
    const std::string base = "https://localhost:" + std::to_string(server.port());
    const std::string document = ConfigFor(true, base + "/setup.exe", installer, "1.0");
    const std::string served = c.corrupt ? installer + "!" : installer;
    server.server().Get("/orv.json", [&](const httplib::Request&, httplib::Response& response) {
      response.set_content(document, "application/json; charset=utf-8");
    });
    server.server().Get("/setup.exe", [&](const httplib::Request&, httplib::Response& response) {
      response.set_content(served, "application/octet-stream");
    });
    ASSERT_TRUE(server.Start());
    std::vector<std::string> args = {"verify", base + "/orv.json"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const ProcessResult run = RunWine(GetBed().winBuild + "/orvpublish.exe", args);
    EXPECT_FALSE(run.timedOut) << c.name;
    EXPECT_EQ(run.status, c.status) << c.name << "\n" << run.out << run.err;
    const std::size_t verdict = run.out.rfind("verdict: ");
    if (c.verdictPrefix.empty()) {
      EXPECT_EQ(verdict, std::string::npos) << c.name << "\n" << run.out;
      EXPECT_NE(run.err.find("--ca-file is not supported"), std::string::npos) << c.name << "\n" << run.err;
      continue;
    }
    ASSERT_NE(verdict, std::string::npos) << c.name << "\n" << run.out << run.err;
    EXPECT_EQ(run.out.substr(verdict, c.verdictPrefix.size()), c.verdictPrefix) << c.name << "\n" << run.out;
    if (c.status == 0) {
      EXPECT_NE(run.out.find("installer: HTTP 200, " + FormatBytes(installer.size())), std::string::npos) << run.out;
    }
  }
}

}  // namespace
}  // namespace bed
