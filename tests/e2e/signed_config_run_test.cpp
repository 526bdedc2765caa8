// A stub built with two test keys ("first", "second"; "other" is not built in) runs only a
// configuration signed by one of them, fresh and for its product; every refusal ends with code 3
// before any request for the installer. The documents are signed by orvpublish, as publishers do.
#include "signed_documents.h"

namespace bed {
namespace {

class SignedConfigRun : public StubTest {
 protected:
  void SetUp() override {
    StubTest::SetUp();
    ASSERT_TRUE(ReadFile(GetBed().winBuild + "/tests/demo_installer.exe", installer_));
    ServeFile("/setup.exe", installer_);
    ForgetAcceptedSerials();
  }

  // The document for the installer at the files server, for product with serial and expiry.
  std::string Document(const std::string& product, int serial, const std::string& expires) const {
    return SignableDocument(FilesUrl("/setup.exe"), installer_, product, serial, expires);
  }

  std::string installer_;
};

TEST_F(SignedConfigRun, OnlyAFreshDocumentForItsProductSignedByABuiltInKeyRuns) {
  struct Case {
    const char* name;
    std::string product;     // the run's product (ORV_TEST_PRODUCT); each keeps its own highest serial
    std::string document;
    std::vector<std::string> keys;  // none: no signature is served (404)
    std::string served;      // the document served, when not the one signed
    uint32_t code;
    std::string error;       // the run's first error line ("" when it installs)
  };
  const std::string later = "2099-01-01T00:00:00Z";
  const std::string good = Document("Sig One", 9, later);
  const std::string refused = "Configuration signature refused: ";
  const Case cases[] = {
      {"the first key", "Sig One", good, {"first"}, "", 0, ""},
      {"the second key", "Sig Two", Document("Sig Two", 3, later), {"second"}, "", 0, ""},
      {"a line of an unknown key is skipped", "Sig Three", Document("Sig Three", 3, later), {"other", "second"}, "", 0, ""},
      {"older than the serial the first run accepted", "Sig One", Document("Sig One", 8, later), {"first"}, "", 3,
       "Configuration refused: serial 8 is older than serial 9, accepted before on this machine"},
      {"the same serial again", "Sig One", good, {"second"}, "", 0, ""},
      {"unsigned", "Sig One", good, {}, "", 3, refused + "the server answered HTTP status 404"},
      {"changed after signing", "Sig One", good, {"first"}, Document("Sig One", 10, later), 3,
       refused + "its sha256 line does not match the configuration's bytes"},
      {"signed by another key", "Sig One", good, {"other"}, "", 3, refused + "no key line names a key of this stub"},
      {"expired", "Sig Four", Document("Sig Four", 3, "2020-01-01T00:00:00Z"), {"first"}, "", 3,
       "Configuration refused: the configuration expired at 2020-01-01T00:00:00Z; this machine's clock says "},
      {"for another product", "Sig Five", Document("Sig Six", 3, later), {"first"}, "", 3,
       "Configuration refused: the configuration is for product \"Sig Six\", this stub installs \"Sig Five\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string signature = Sign(c.document, c.keys);
    const std::string served = c.served.empty() ? c.document : c.served;
    TestServer config(CertKind::Trusted);
    config.server().Get("/orv.json", [served](const httplib::Request&, httplib::Response& response) {
      response.set_content(served, "application/json; charset=utf-8");
    });
    if (!signature.empty()) {
      config.server().Get("/orv.json.sig", [signature](const httplib::Request&, httplib::Response& response) {
        response.set_content(signature, "text/plain");
      });
    }
    ASSERT_TRUE(config.Start());
    NextStubEndpoints().configPort = config.port();
    const size_t installerRequests = files_->Count("/setup.exe");
    ClearLog();
    StubOptions options;
    options.stub = "orvsetup_signed.exe";
    options.env = {{"ORV_DEMO_EXIT_CODE", "0"}, {"ORV_TEST_PRODUCT", c.product}};
    const StubRun run = RunStub(options);
    ASSERT_TRUE(run.watched) << run.report;
    EXPECT_EQ(run.exitCode, c.code) << LogDump();
    const std::string error = FirstError();
    EXPECT_EQ(error.substr(0, c.error.size()), c.error) << LogDump();
    EXPECT_EQ(error.empty(), c.error.empty()) << LogDump();
    EXPECT_EQ(config.Count("/orv.json.sig"), 1u);
    if (c.code != 0) {
      EXPECT_EQ(files_->Count("/setup.exe"), installerRequests) << "no request for the installer";
    }
  }
  // The highest serial accepted is kept in the 32-bit view of HKLM (Wine's reg shows no QWORD's
  // data: the refusal of serial 8 above shows it).
  const ProcessResult kept = Reg({"query", std::string(kSerialKey) + "\\Sig One", "/v", "ConfigSerial", "/reg:32"});
  EXPECT_NE(kept.out.find("REG_QWORD"), std::string::npos) << kept.out << kept.err;
}

}  // namespace
}  // namespace bed
