// orvpublish as a publisher runs it: make and check on files, verify against the test bed's
// HTTPS servers with the test CA.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <stdlib.h>
#include <zlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "certs.h"
#include "servers.h"
#include "wine.h"

namespace {

using bed::CertKind;

constexpr int kRunTimeoutMs = 120000;

std::string Sha256Hex(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EXPECT_EQ(EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr), 1);
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < size; ++i) hex += std::string{kDigits[digest[i] >> 4], kDigits[digest[i] & 15]};
  return hex;
}

std::string Crc32Text(const std::string& bytes) {
  return std::to_string(crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

class Orvpublish : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvpublish-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    installer_ = "MZ test installer " + std::string(70000, 'x');
    ASSERT_TRUE(bed::WriteFile(dir_ + "/setup.exe", installer_));
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  static bed::ProcessResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), ORV_PUBLISH_EXE);
    return bed::RunProcess(args, kRunTimeoutMs);
  }

  static std::string Joined(const std::vector<std::string>& args) {
    std::string text;
    for (const std::string& arg : args) text += " " + arg;
    return text;
  }

  // The verdict line of a report, without its line end; "" when there is none.
  static std::string Verdict(const std::string& out) {
    const std::size_t at = out.rfind("verdict: ");
    return at == std::string::npos ? "" : out.substr(at, out.find('\n', at) - at);
  }

  std::string dir_;
  std::string installer_;
};

TEST_F(Orvpublish, MakeWritesWhatCheckAccepts) {
  const std::string out = dir_ + "/orv.json";
  const bed::ProcessResult made =
      Run({"make", dir_ + "/setup.exe", "--wrapper", "https://dl.example.com/setup.exe", "--version", "4.2", "-o", out});
  ASSERT_EQ(made.status, 0) << made.err;
  std::string document;
  ASSERT_TRUE(bed::ReadFile(out, document));
  EXPECT_NE(document.find("\"checksum\": " + Crc32Text(installer_)), std::string::npos) << document;
  EXPECT_NE(document.find("\"sha256\": \"" + Sha256Hex(installer_) + "\""), std::string::npos) << document;
  EXPECT_NE(document.find("\"size\": " + std::to_string(installer_.size())), std::string::npos) << document;
  EXPECT_EQ(Run({"make", dir_ + "/setup.exe", "--wrapper", "https://dl.example.com/setup.exe", "--version", "4.2"}).out,
            document);

  // The verdicts on mismatching installers are the agreement table's (tests/e2e).
  const struct {
    std::vector<std::string> args;
    int status;
    std::string verdict;
  } cases[] = {
      {{"check", out}, 0, "verdict: accepted"},
      {{"check", out, "--installer", dir_ + "/setup.exe"}, 0, "verdict: accepted"},
  };
  for (const auto& c : cases) {
    const bed::ProcessResult run = Run(c.args);
    EXPECT_EQ(run.status, c.status) << Joined(c.args) << "\n" << run.out << run.err;
    EXPECT_EQ(Verdict(run.out), c.verdict) << Joined(c.args) << "\n" << run.out;
  }
}

TEST_F(Orvpublish, KeysSignDocumentsThatCheckVerifiesWithTheStubsRules) {
  for (const char* name : {"a", "b"}) ASSERT_EQ(Run({"keygen", dir_ + "/" + name}).status, 0) << name;
  EXPECT_EQ(std::filesystem::status(dir_ + "/a.key.pem").permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(Run({"keygen", dir_ + "/a"}).status, 1) << "an existing key is never replaced";
  const std::string doc = dir_ + "/orv.json";
  const bed::ProcessResult made =
      Run({"make", dir_ + "/setup.exe", "--wrapper", "https://dl.example.com/setup.exe", "--version", "4.2", "--product",
           "Orvandel", "--serial", "3", "--expires", "2099-01-01T00:00:00Z", "--key", dir_ + "/a.key.pem", "-o", doc});
  ASSERT_EQ(made.status, 0) << made.err;
  const bed::ProcessResult checked = Run({"check", doc, "--pub", dir_ + "/b.pub.pem", "--pub", dir_ + "/a.pub.pem"});
  EXPECT_EQ(Verdict(checked.out), "verdict: accepted") << checked.out << checked.err;
  EXPECT_EQ(Verdict(Run({"check", doc, "--pub", dir_ + "/b.pub.pem"}).out),
            "verdict: code 3: Configuration signature refused: no key line names a key of this stub");
  EXPECT_EQ(Run({"sign", "--key", dir_ + "/a.pub.pem", doc}).status, 1) << "a public key signs nothing";
}

TEST_F(Orvpublish, FailuresLeaveTheOutputAloneAndSayWhyInOneLine) {
  const std::string out = dir_ + "/orv.json";
  ASSERT_TRUE(bed::WriteFile(out, "previous document"));
  ASSERT_TRUE(bed::WriteFile(dir_ + "/empty.exe", ""));
  ASSERT_TRUE(bed::WriteFile(dir_ + "/page.json", "<html><body>Not Found</body></html>"));
  ASSERT_TRUE(bed::WriteFile(dir_ + "/huge.json", std::string(17 << 20, ' ')));
  const std::string setup = dir_ + "/setup.exe";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;
  } cases[] = {
      {{"make", dir_ + "/empty.exe", "--wrapper", "https://h/i.exe", "--version", "1", "-o", out}, 1,
       "orvpublish: make: the stub would refuse this document: Error parsing file. Error: size is 0\n"},
      {{"make", setup, "--wrapper", "https://h/i.exe", "--version", "1", "-o", dir_ + "/missing/orv.json"}, 1,
       "orvpublish: make: cannot write " + dir_ + "/missing/orv.json: No such file or directory\n"},
      {{"make", dir_ + "/none.exe", "--wrapper", "https://h/i.exe", "--version", "1", "-o", out}, 2,
       "orvpublish: make: cannot read " + dir_ + "/none.exe: No such file or directory\n"},
      {{"check", dir_ + "/none.json"}, 2, "orvpublish: check: cannot read " + dir_ + "/none.json: No such file or directory\n"},
      {{"check", dir_ + "/page.json"}, 1, ""},
      {{"check", dir_ + "/huge.json"}, 1, ""},
      {{"verify", "http://localhost/orv.json"}, 2,
       "orvpublish: verify: the stub fetches its document over https only: http://localhost/orv.json\n"},
  };
  for (const auto& c : cases) {
    const bed::ProcessResult run = Run(c.args);
    EXPECT_EQ(run.status, c.status) << Joined(c.args) << "\n" << run.out << run.err;
    EXPECT_EQ(run.err, c.err) << Joined(c.args);
  }
  std::string kept;
  ASSERT_TRUE(bed::ReadFile(out, kept));
  EXPECT_EQ(kept, "previous document");
  EXPECT_EQ(bed::ListFiles(dir_, "orv.json").size(), 1u) << "no temporary file may stay behind";
}

// One verify run against a configuration server and an installer server, both HTTPS.
struct VerifyCase {
  const char* name;
  CertKind configCert;
  bool trustTestCa;            // --ca-file with the test CA
  int configStatus;
  std::string configBody;      // "{files}" stands for the installer server's address
  int installerStatus;
  bool corruptInstaller;
  int status;
  std::string verdict;
};

TEST_F(Orvpublish, VerifyFollowsTheStubsChecksOverHttps) {
  const std::string sha = Sha256Hex(installer_);
  const std::string crc = Crc32Text(installer_);
  const std::string size = std::to_string(installer_.size());
  const std::string good = "{\"shortcut\": true, \"wrapper\": \"{files}/setup.exe\", \"checksum\": " + crc +
                           ", \"version\": \"1\", \"sha256\": \"" + sha + "\", \"size\": " + size + "}";
  const std::string crcOnly = "{\"shortcut\": true, \"wrapper\": \"{files}/setup.exe\", \"checksum\": " + crc +
                              ", \"version\": \"1\"}";
  const std::string shorter = "{\"shortcut\": true, \"wrapper\": \"{files}/setup.exe\", \"checksum\": " + crc +
                              ", \"version\": \"1\", \"size\": 1000}";
  const std::string plainHttp = "{\"shortcut\": true, \"wrapper\": \"http://localhost:1/setup.exe\", \"checksum\": " +
                                crc + ", \"version\": \"1\"}";
  const VerifyCase cases[] = {
      {"good", CertKind::Trusted, true, 200, good, 200, false, 0, "verdict: accepted"},
      {"checksum only", CertKind::Trusted, true, 200, crcOnly, 200, false, 0, "verdict: accepted"},
      {"untrusted CA", CertKind::Trusted, false, 200, good, 200, false, 1,
       "verdict: code 1: Can't download config file (the server's certificate was refused (certificate: unable to get "
       "local issuer certificate))"},
      {"expired", CertKind::Expired, true, 200, good, 200, false, 1,
       "verdict: code 1: Can't download config file (the server's certificate was refused (certificate: certificate "
       "has expired))"},
      {"wrong name", CertKind::WrongName, true, 200, good, 200, false, 1,
       "verdict: code 1: Can't download config file (the server's certificate was refused)"},
      {"error page", CertKind::Trusted, true, 404, "<html><body>Not Found</body></html>", 200, false, 3,
       "verdict: code 3: Error parsing file. Error: syntax error while parsing value - invalid literal; last read: '<' "
       "at line 1, column 1"},
      {"plain http without sha256", CertKind::Trusted, true, 200, plainHttp, 200, false, 1,
       "verdict: code 3: Error parsing file. Error: wrapper uses plain http, which is accepted only with a \"sha256\" of "
       "the installer"},
      {"corrupt installer", CertKind::Trusted, true, 200, good, 200, true, 1, "verdict: code 6: Mismatch of the wrapper checksum"},
      {"installer missing", CertKind::Trusted, true, 200, good, 404, false, 1,
       "verdict: code 4: the installer's address answers with HTTP status 404"},
      {"installer past its size", CertKind::Trusted, true, 200, shorter, 200, false, 1,
       "verdict: code 4: the installer's download fails: the body is larger than 1000 bytes"},
  };
  for (const VerifyCase& c : cases) {
    bed::TestServer files(CertKind::Trusted);
    ASSERT_TRUE(files.Bind());
    const std::string filesUrl = "https://localhost:" + std::to_string(files.port());
    const std::string served = c.corruptInstaller ? installer_.substr(0, 100) + "!" + installer_.substr(101) : installer_;
    files.server().Get("/setup.exe", [&](const httplib::Request&, httplib::Response& response) {
      response.status = c.installerStatus;
      response.set_content(served, "application/octet-stream");
    });
    ASSERT_TRUE(files.Start());
    std::string body = c.configBody;
    const std::size_t at = body.find("{files}");
    if (at != std::string::npos) body.replace(at, 7, filesUrl);
    bed::TestServer config(c.configCert);
    config.server().Get("/orv.json", [&](const httplib::Request&, httplib::Response& response) {
      response.status = c.configStatus;
      response.set_content(body, "application/json; charset=utf-8");
    });
    ASSERT_TRUE(config.Start());
    std::vector<std::string> args = {"verify", "https://localhost:" + std::to_string(config.port()) + "/orv.json"};
    if (c.trustTestCa) args.insert(args.end(), {"--ca-file", bed::GetBed().certs + "/ca.pem"});
    const bed::ProcessResult run = Run(args);
    EXPECT_EQ(run.status, c.status == 3 ? 1 : c.status) << c.name << "\n" << run.out << run.err;
    EXPECT_EQ(Verdict(run.out), c.verdict) << c.name << "\n" << run.out << run.err;
    if (c.status == 0) {
      EXPECT_NE(run.out.find("document: HTTP 200, "), std::string::npos) << run.out;
      EXPECT_NE(run.out.find("installer: HTTP 200, 70,018 bytes (68.4 KiB) in "), std::string::npos) << run.out;
      const std::vector<bed::RecordedRequest> requests = files.Requests();
      ASSERT_EQ(requests.size(), 1u) << c.name;
      EXPECT_FALSE(requests[0].Param("rn").empty()) << "the address carries the stub's cache buster: " << requests[0].target;
    }
  }
}

TEST_F(Orvpublish, MirrorsAreWrittenCheckedAndVerifiedAsTheStubJudgesThem) {
  const std::string out = dir_ + "/orv.json";
  bed::TestServer files(CertKind::Trusted);
  ASSERT_TRUE(files.Bind());
  const std::string filesUrl = "https://localhost:" + std::to_string(files.port());
  files.server().Get("/setup.exe", [&](const httplib::Request&, httplib::Response& response) {
    response.set_content(installer_, "application/octet-stream");
  });
  files.server().Get("/short.exe", [&](const httplib::Request&, httplib::Response& response) {
    response.set_content(installer_.substr(1), "application/octet-stream");
  });
  ASSERT_TRUE(files.Start());
  const struct {
    const char* name;
    std::vector<std::string> mirrors;
    std::string verdict;
  } cases[] = {
      {"two good mirrors", {filesUrl + "/setup.exe", filesUrl + "/setup.exe?m=2"}, "verdict: accepted"},
      {"a missing file", {filesUrl + "/setup.exe", filesUrl + "/gone.exe"},
       "verdict: code 4: mirror 2: the installer's address answers with HTTP status 404"},
      {"another file", {filesUrl + "/short.exe"},
       "verdict: code 4: mirror 1: the installer has 70017 bytes, the document's size is 70018"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> make = {"make", dir_ + "/setup.exe", "--wrapper", filesUrl + "/setup.exe", "--version", "1",
                                     "-o", out};
    for (const std::string& mirror : c.mirrors) make.insert(make.end(), {"--mirror", mirror});
    const bed::ProcessResult made = Run(make);
    ASSERT_EQ(made.status, 0) << made.err;
    const bed::ProcessResult checked = Run({"check", out});
    EXPECT_EQ(Verdict(checked.out), "verdict: accepted") << checked.out;
    for (size_t i = 0; i < c.mirrors.size(); ++i) {
      EXPECT_NE(checked.out.find("mirror " + std::to_string(i + 1) + ": " + c.mirrors[i] + "\n"), std::string::npos)
          << checked.out;
    }
    std::string document;
    ASSERT_TRUE(bed::ReadFile(out, document));
    bed::TestServer config(CertKind::Trusted);
    config.server().Get("/orv.json", [&](const httplib::Request&, httplib::Response& response) {
      response.set_content(document, "application/json; charset=utf-8");
    });
    ASSERT_TRUE(config.Start());
    const bed::ProcessResult verified =
        Run({"verify", "https://localhost:" + std::to_string(config.port()) + "/orv.json", "--ca-file",
             bed::GetBed().certs + "/ca.pem"});
    EXPECT_EQ(Verdict(verified.out), c.verdict) << verified.out << verified.err;
  }
  // More than 8 mirrors, or mirrors the stub refuses, are never written.
  std::vector<std::string> nine = {"make", dir_ + "/setup.exe", "--wrapper", "https://h/i.exe", "--version", "1"};
  for (int i = 0; i < 9; ++i) nine.insert(nine.end(), {"--mirror", "https://m" + std::to_string(i) + "/i.exe"});
  EXPECT_EQ(Run(nine).err,
            "orvpublish: make: the stub would refuse this document: Error parsing file. Error: mirrors holds more than 8 "
            "addresses\n");
  EXPECT_EQ(Run({"make", dir_ + "/setup.exe", "--wrapper", "https://h/i.exe", "--version", "1", "--mirror", "ftp://m/i"})
                .err,
            "orvpublish: make: the stub would refuse this document: Error parsing file. Error: mirror 1 is not an http "
            "or https URL\n");
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Without a test bed the test makes its own certificates, before the bed reads its settings.
  std::string madeCerts;
  if (const char* certs = std::getenv("ORV_TESTBED_CERTS"); !certs || !*certs) {
    char pattern[] = "/tmp/orvpublish-certs-XXXXXX";
    std::string error;
    if (!mkdtemp(pattern) || !bed::MakeTestCertificates(pattern, error)) {
      std::fprintf(stderr, "cannot make test certificates: %s\n", error.c_str());
      return 1;
    }
    madeCerts = pattern;
    setenv("ORV_TESTBED_CERTS", pattern, 1);
  }
  const int status = RUN_ALL_TESTS();
  std::error_code ignored;
  if (!madeCerts.empty()) std::filesystem::remove_all(madeCerts, ignored);
  return status;
}
