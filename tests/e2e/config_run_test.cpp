// The configuration stage through the whole run: which certificates the fetch accepts, error
// pages, and documents that parse but cannot be used (code 3 with the reason in the log).
#include <algorithm>

#include "stub_fixture.h"

namespace bed {
namespace {

class ConfigRun : public StubTest {
 protected:
  void SetUp() override {
    StubTest::SetUp();
    ASSERT_TRUE(ReadFile(GetBed().winBuild + "/tests/demo_installer.exe", installer_));
  }

  // A configuration server, used by the next run, that answers /orv.json with status and body.
  TestServer& ServeConfigStatus(int status, const std::string& body, const std::string& contentType) {
    config_ = std::make_unique<TestServer>(CertKind::Trusted);
    config_->server().Get("/orv.json", [=](const httplib::Request&, httplib::Response& response) {
      response.status = status;
      response.set_content(body, contentType.c_str());
    });
    EXPECT_TRUE(config_->Start()) << "configuration server";
    NextStubEndpoints().configPort = config_->port();
    return *config_;
  }

  std::string GoodConfig() const { return ConfigFor(true, FilesUrl("/setup.exe"), installer_, "1.0"); }

  static StubOptions Succeeding() {
    StubOptions options;
    options.env = {{"ORV_DEMO_EXIT_CODE", "0"}};
    return options;
  }

  // The run stopped at the configuration with code and box text; the last line is lastLine (ERROR).
  static void ExpectConfigFailure(const StubRun& run, uint32_t code, const std::string& lastLine) {
    ASSERT_TRUE(run.watched) << run.report;
    EXPECT_EQ(run.exitCode, code) << LogDump();
    ASSERT_EQ(run.boxes.size(), 1u) << run.report;
    EXPECT_EQ(run.boxes[0].title, "We apologize!");
    EXPECT_EQ(run.boxes[0].text, "Cannot obtain configuration. Error code " + std::to_string(code));
    EXPECT_TRUE(run.boxes[0].icon);
    const std::vector<LogLine> lines = ReadLog();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().level, "ERROR") << LogDump();
    EXPECT_EQ(lines.back().message, lastLine) << LogDump();
    const std::vector<std::string> messages = LogMessages();
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                            [](const std::string& m) { return m.rfind("Launching installer", 0) == 0; }),
              0)
        << "no installer may run";
  }

  std::string installer_;
};

TEST_F(ConfigRun, CertificatesThatDoNotValidateAreRefused) {
  for (const CertKind kind : {CertKind::SelfSigned, CertKind::Expired, CertKind::WrongName}) {
    SCOPED_TRACE(static_cast<int>(kind));
    ClearLog();
    RenewFiles();
    ServeConfig(GoodConfig(), kind);
    ServeFile("/setup.exe", installer_);
    const StubRun run = RunStub(Succeeding());
    ExpectConfigFailure(run, 1, "Can't download config file");
    EXPECT_EQ(LogMessages(),
              (std::vector<std::string>{"Tavlin wrapper started", "Downloading config file", "Can't download config file"}))
        << LogDump();
    EXPECT_EQ(config_->Count("/orv.json"), 0u) << "the request must not be sent over an unchecked connection";
    EXPECT_EQ(files_->Requests().size(), 0u);
    EXPECT_FALSE(run.dialog.shown);
  }
}

TEST_F(ConfigRun, LenientBuildAcceptsASelfSignedCertificate) {
  ServeConfig(GoodConfig(), CertKind::SelfSigned);
  ServeFile("/setup.exe", installer_);
  StubOptions options = Succeeding();
  options.stub = "orvsetup_lenient.exe";
  const StubRun run = RunStub(options);
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 0u) << LogDump();
  EXPECT_TRUE(run.boxes.empty()) << run.report;
  EXPECT_EQ(config_->Count("/orv.json"), 1u);
  EXPECT_EQ(LogMessages().back(), "Tavlin wrapper exiting") << LogDump();
}

TEST_F(ConfigRun, TrustedCertificateAndAnUnusualButValidDocumentRunThrough) {
  // A comment before the object, extra keys, a checksum above 32 bits and a "sha256".
  const std::string document = "// served by the test bed\n{\"extra\": {\"nested\": [1, 2]}, \"shortcut\": false,"
                               " \"wrapper\": \"" + FilesUrl("/setup.exe") + "\", \"checksum\": " +
                               std::to_string((uint64_t{7} << 32) | Crc32Of(installer_)) +
                               ", \"version\": \"2.0\", \"note\": null, \"sha256\": \"" + Sha256HexOf(installer_) + "\"}";
  ServeConfig(document, CertKind::Trusted);
  ServeFile("/setup.exe", installer_);
  const StubRun run = RunStub(Succeeding());
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 0u) << LogDump();
  EXPECT_TRUE(run.boxes.empty()) << run.report;
  const std::vector<std::string> messages = LogMessages();
  ASSERT_GE(messages.size(), 5u) << LogDump();
  EXPECT_EQ(std::vector<std::string>(messages.begin(), messages.begin() + 5),
            (std::vector<std::string>{"Tavlin wrapper started", "Downloading config file",
                                      "Config file has been downloaded successfully", "Parsing config file",
                                      "Downloading wrapper"}));
  EXPECT_EQ(messages.back(), "Tavlin wrapper exiting");
  EXPECT_EQ(config_->Count("/orv.json"), 1u);
}

TEST_F(ConfigRun, ErrorPagesGiveCode3OrCode1WhenCutOff) {
  // A whole HTML page is fetched once and fails the parse.
  ServeConfigStatus(404, "<html><body>Not Found</body></html>", "text/html");
  StubRun run = RunStub();
  ExpectConfigFailure(run, 3,
                      "Error parsing file. Error: syntax error while parsing value - invalid literal;"
                      " last read: '<' at line 1, column 1");
  EXPECT_EQ(config_->Count("/orv.json"), 1u);
  EXPECT_FALSE(run.dialog.shown);

  // A page that opens <html> without closing it counts as cut off: three attempts, then code 1.
  ClearLog();
  ServeConfigStatus(404, "<html><body>Not Found", "text/html");
  run = RunStub();
  ExpectConfigFailure(run, 1, "Can't download config file");
  EXPECT_EQ(config_->Count("/orv.json"), 3u);
}

// Every key is read and checked right after the parse, so any bad value stops the run before the
// dialog and the download; the value types are covered by the unit tests.
TEST_F(ConfigRun, UnusableDocumentsGiveCode3WithTheReason) {
  const std::string wrapper = FilesUrl("/setup.exe");
  const std::string crc = std::to_string(Crc32Of(installer_));
  struct Case {
    std::string document;
    std::string error;
  };
  const Case cases[] = {
      {"", "syntax error while parsing value - unexpected end of input; expected '[', '{', or a literal"
           " at line 1, column 1"},
      {"{\"shortcut\": true,\n \"wrapper\": \"" + wrapper + "\",\n}",
       "syntax error while parsing object key - unexpected '}'; expected string literal at line 3, column 1"},
      {"[{\"shortcut\": true}]", "Not an object"},
      {"{\"wrapper\": \"" + wrapper + "\", \"checksum\": " + crc + ", \"version\": \"1\"}", "shortcut not found"},
      {"{\"shortcut\": true, \"checksum\": " + crc + ", \"version\": \"1\"}", "wrapper not found"},
      {ConfigJson(true, "file:///C:/windows/notepad.exe", 1, "1"), "wrapper is not an http or https URL"},
      {"{\"shortcut\": true, \"wrapper\": \"" + wrapper + "\", \"version\": \"1\"}", "checksum not found"},
      {"{\"shortcut\": true, \"wrapper\": \"" + wrapper + "\", \"checksum\": " + crc + "}", "version not found"},
      {ConfigJson(true, wrapper, Crc32Of(installer_), "1\\\" /D=C:\\\\evil \\\""), "version holds a double quote"},
      {ConfigJson(true, wrapper, Crc32Of(installer_), "1", Sha256HexOf(installer_).substr(1)),
       "sha256 is not 64 hexadecimal digits"},
      // Plain http carries the installer unprotected: the CRC alone is no proof against a changer.
      {ConfigJson(true, wrapper, Crc32Of(installer_), "1"),
       "wrapper uses plain http, which is accepted only with a \"sha256\" of the installer"},
  };
  ServeFile("/setup.exe", installer_);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.document);
    ClearLog();
    ServeConfig(c.document);
    const size_t downloadsBefore = files_->Requests().size();
    const StubRun run = RunStub(Succeeding());
    ExpectConfigFailure(run, 3, "Error parsing file. Error: " + c.error);
    EXPECT_EQ(files_->Requests().size(), downloadsBefore) << "no download may start";
    EXPECT_FALSE(run.dialog.shown) << run.report;
  }
}

}  // namespace
}  // namespace bed
