// orvpublish check and the stub read the same documents the same way: each document is served to
// the stub under Wine and given to orvpublish check, with the same installer, and the stub's exit
// code and error line are compared with the code and reason that check names.
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "stub_fixture.h"

namespace bed {
namespace {

// The table of documents in four groups, each its own test, so that the groups' stub runs can
// go at once in separate Wine slots.
enum class Group { Accepted, SumsAndSize, Values, Shape };

struct Case {
  Group group;
  const char* name;
  std::string document;
  uint32_t code;
};

std::vector<Case> Cases(const std::string& installer) {
  const std::string crc = std::to_string(Crc32Of(installer));
  const std::string sha = Sha256HexOf(installer);
  std::string shaUpper = sha;
  for (char& c : shaUpper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::string shaWrong = sha;
  shaWrong[0] = shaWrong[0] == '0' ? '1' : '0';
  const std::string size = std::to_string(installer.size());
  const std::string big = std::to_string((uint64_t{7} << 32) | Crc32Of(installer));
  // The four keys with the given JSON values, and more members (each starting with ", ").
  const auto doc = [](const std::string& shortcut, const std::string& wrapper, const std::string& checksum,
                      const std::string& version, const std::string& more = "") {
    return "{\"shortcut\": " + shortcut + ", \"wrapper\": " + wrapper + ", \"checksum\": " + checksum +
           ", \"version\": " + version + more + "}";
  };
  const std::string S = "\"{S}\"";
  const std::string H = "\"{H}\"";
  constexpr Group A = Group::Accepted, N = Group::SumsAndSize, V = Group::Values, F = Group::Shape;
  return {
      {A, "https, crc only", doc("true", S, crc, "\"1.0\""), 0},
      {A, "http with sha256 and size", doc("false", H, crc, "\"2\"", ", \"sha256\": \"" + sha + "\", \"size\": " + size), 0},
      {A, "comment, extra keys, checksum above 32 bits", "// note\n" + doc("true", S, big, "\"3\"", ", \"x\": [1, {}]"), 0},
      {A, "byte order mark", "\xEF\xBB\xBF" + doc("true", S, crc, "\"1\""), 0},
      {A, "sha256 in capitals", doc("true", S, crc, "\"1\"", ", \"sha256\": \"" + shaUpper + "\""), 0},
      {A, "zero byte ends the text", doc("true", S, crc, "\"1\"") + std::string("\0 trailing", 10), 0},
      {N, "wrong checksum", doc("true", S, std::to_string(Crc32Of(installer) ^ 1), "\"1\""), 6},
      {N, "wrong sha256", doc("true", S, crc, "\"1\"", ", \"sha256\": \"" + shaWrong + "\""), 6},
      {N, "wrong size", doc("true", S, crc, "\"1\"", ", \"size\": " + std::to_string(installer.size() - 1)), 4},
      {N, "size 0", doc("true", S, crc, "\"1\"", ", \"size\": 0"), 3},
      {N, "size negative", doc("true", S, crc, "\"1\"", ", \"size\": -1"), 3},
      {N, "size as text", doc("true", S, crc, "\"1\"", ", \"size\": \"" + size + "\""), 3},
      {N, "size past 4 GiB", doc("true", S, crc, "\"1\"", ", \"size\": 4294967297"), 3},
      {N, "size huge", doc("true", S, crc, "\"1\"", ", \"size\": 1e400"), 3},
      {V, "checksum huge", doc("true", S, "123456789012345678901234567890", "\"1\""), 3},
      {V, "checksum negative", doc("true", S, "-1", "\"1\""), 3},
      {V, "checksum fraction", doc("true", S, "1.5", "\"1\""), 3},
      {V, "checksum as text", doc("true", S, "\"" + crc + "\"", "\"1\""), 3},
      {V, "shortcut as text", doc("\"yes\"", S, crc, "\"1\""), 3},
      {V, "wrapper a number", doc("true", "7", crc, "\"1\""), 3},
      {V, "wrapper a file", doc("true", "\"file:///C:/windows/notepad.exe\"", crc, "\"1\""), 3},
      {V, "version a number", doc("true", S, crc, "1"), 3},
      {V, "version with a control character", doc("true", S, crc, "\"1\\u0001\""), 3},
      {V, "version with a fullwidth quotation mark", doc("true", S, crc, "\"4.1\xEF\xBC\x82 -x\""), 3},
      {F, "no shortcut", "{\"wrapper\": " + S + ", \"checksum\": " + crc + ", \"version\": \"1\"}", 3},
      {F, "no version", "{\"shortcut\": true, \"wrapper\": " + S + ", \"checksum\": " + crc + "}", 3},
      {F, "sha256 of 63 digits", doc("true", S, crc, "\"1\"", ", \"sha256\": \"" + sha.substr(1) + "\""), 3},
      {F, "sha256 not hexadecimal", doc("true", S, crc, "\"1\"", ", \"sha256\": \"" + std::string(64, 'g') + "\""), 3},
      {F, "plain http without sha256", doc("true", H, crc, "\"1\""), 3},
      {F, "not JSON", "setup.exe=1", 3},
      {F, "empty", "", 3},
      {F, "array", "[" + doc("true", S, crc, "\"1\"") + "]", 3},
      {F, "trailing comma", doc("true", S, crc, "\"1\"", ",") , 3},
      {F, "nested too deep", doc("true", S, crc, "\"1\"", ", \"x\": " + std::string(40, '[') + std::string(40, ']')), 3},
      {F, "cut-off page", "<html><body>" + doc("true", S, crc, "\"1\""), 1},
  };
}

struct Reading {
  uint32_t code = 0;
  std::string reason;  // check: its reason; the stub: its first error line
};

class PublishAgreement : public StubTest {
 protected:
  void SetUp() override {
    StubTest::SetUp();
    installerPath_ = GetBed().winBuild + "/tests/demo_installer.exe";
    ASSERT_TRUE(ReadFile(installerPath_, installer_));
    ServeFile("/setup.exe", installer_);
  }

  // check's reading of document, from a file.
  Reading Check(const std::string& document) const {
    const std::string path = GetBed().out + "/publish-agreement.json";
    EXPECT_TRUE(WriteFile(path, document));
    const ProcessResult run = RunProcess({ORV_PUBLISH_EXE, "check", path, "--installer", installerPath_}, 60000);
    std::filesystem::remove(path);
    Reading reading;
    const std::size_t at = run.out.rfind("verdict: ");
    EXPECT_NE(at, std::string::npos) << run.out << run.err;
    if (at == std::string::npos) return reading;
    const std::string verdict = run.out.substr(at + 9, run.out.find('\n', at) - at - 9);
    if (verdict != "accepted") {
      reading.code = static_cast<uint32_t>(std::stoul(verdict.substr(5)));
      reading.reason = verdict.substr(verdict.find(": ") + 2);
    }
    EXPECT_EQ(run.status, reading.code == 0 ? 0 : 1) << run.out;
    return reading;
  }

  // The stub's reading of document, served over HTTPS as UTF-8 by a server that also offers the
  // installer at /setup.exe (its address stands for "{S}" in document); served = what was served.
  Reading RunTheStub(std::string document, std::string& served) {
    TestServer server(CertKind::Trusted);
    EXPECT_TRUE(server.Bind());
    Substitute(document, "{S}", "https://localhost:" + std::to_string(server.port()) + "/setup.exe");
    const std::string installer = installer_;
    server.server().Get("/orv.json", [document](const httplib::Request&, httplib::Response& response) {
      response.set_content(document, "application/json; charset=utf-8");
    });
    server.server().Get("/setup.exe", [installer](const httplib::Request&, httplib::Response& response) {
      response.set_content(installer, "application/octet-stream");
    });
    EXPECT_TRUE(server.Start());
    served = document;
    NextStubEndpoints().configPort = server.port();
    ClearLog();
    StubOptions options;
    options.env = {{"ORV_DEMO_EXIT_CODE", "0"}};
    const StubRun run = RunStub(options);
    EXPECT_TRUE(run.watched) << run.report;
    Reading reading;
    reading.code = run.exitCode;
    for (const LogLine& line : ReadLog()) {
      if (line.level == "ERROR") {
        reading.reason = line.message;
        break;
      }
    }
    return reading;
  }

  // Serves every document of group to the stub and gives it to check: the same code, and the
  // same reason for a document the stub cannot use.
  void Agree(Group group) {
    int agreed = 0, total = 0;
    for (const Case& c : Cases(installer_)) {
      if (c.group != group) continue;
      ++total;
      std::string document = c.document;
      Substitute(document, "{H}", FilesUrl("/setup.exe"));
      std::string served;
      const Reading stub = RunTheStub(document, served);
      const Reading check = Check(served);
      EXPECT_EQ(stub.code, c.code) << c.name << "\n" << LogDump();
      EXPECT_EQ(check.code, stub.code) << c.name << ": check says " << check.reason;
      if (stub.code == 3 || stub.code == 6) {
        EXPECT_EQ(check.reason, stub.reason) << c.name;
      } else if (stub.code == 1) {
        EXPECT_EQ(check.reason.rfind(stub.reason, 0), 0u) << c.name << ": " << check.reason << " / " << stub.reason;
      }
      if (check.code == stub.code && stub.code == c.code) ++agreed;
    }
    std::printf("orvpublish check and the stub agreed on %d of %d documents\n", agreed, total);
  }

  static void Substitute(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
      text.replace(at, from.size(), to);
    }
  }

  std::string installerPath_;
  std::string installer_;
};

TEST_F(PublishAgreement, AcceptedDocumentsAlike) { Agree(Group::Accepted); }
TEST_F(PublishAgreement, SumAndSizeVerdictsAlike) { Agree(Group::SumsAndSize); }
TEST_F(PublishAgreement, WrongValueTypesAlike) { Agree(Group::Values); }
TEST_F(PublishAgreement, DocumentShapesAlike) { Agree(Group::Shape); }

}  // namespace
}  // namespace bed
