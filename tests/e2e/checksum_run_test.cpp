// The checksum gate between the download and the launch.
#include <algorithm>
#include <cctype>

#include "stub_fixture.h"

namespace bed {
namespace {

using ChecksumRun = StubTest;

std::string DemoInstaller() {
  std::string bytes;
  EXPECT_TRUE(ReadFile(GetBed().winBuild + "/tests/demo_installer.exe", bytes));
  return bytes;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// True when a run's folder orvXXXXXXXX in the setup folder still holds the installer as
// orvXXXX.tmp.exe (kept for inspection).
bool DownloadLeft(const std::string& installer) {
  for (const std::string& folder : RunFoldersLeft()) {
    for (const std::string& name : ListFiles(ResumeDir() + "/" + folder, "orv")) {
      std::string bytes;
      if (name.size() > 8 && name.compare(name.size() - 8, 8, ".tmp.exe") == 0 &&
          ReadFile(ResumeDir() + "/" + folder + "/" + name, bytes) && bytes == installer) {
        return true;
      }
    }
  }
  return false;
}

TEST_F(ChecksumRun, MismatchShowsCode6AndLeavesTheFile) {
  const std::string installer = DemoInstaller();
  ServeConfig(ConfigJson(false, FilesUrl("/setup.exe"), Crc32Of(installer) ^ 1u, "1.0", Sha256HexOf(installer)));
  ServeFile("/setup.exe", installer);
  const StubRun run = RunStub();
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 6u);
  ASSERT_EQ(run.boxes.size(), 1u) << run.report;
  EXPECT_EQ(run.boxes[0].text, "The installation file is corrupted. Error code 6");
  const std::vector<std::string> messages = LogMessages();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back(), "Mismatch of the wrapper checksum") << LogDump();
  EXPECT_EQ(ReadLog().back().level, "ERROR");
  EXPECT_TRUE(DownloadLeft(installer));
}

// With "sha256" the file must match it too; plain http is then accepted, and https needs no
// "sha256" (the CRC alone, as before).
TEST_F(ChecksumRun, Sha256MatchRunsMismatchIsCode6) {
  const std::string installer = DemoInstaller();
  struct Case {
    const char* name;
    bool https;
    std::string sha256;
    uint32_t exitCode;
  };
  const Case cases[] = {
      {"http with the matching sha256", false, Sha256HexOf(installer), 0},
      {"http with the sha256 in upper case", false, Upper(Sha256HexOf(installer)), 0},
      {"http with another file's sha256", false, Sha256HexOf(installer + "x"), 6},
      {"https with no sha256", true, "", 0},
      {"https with another file's sha256", true, Sha256HexOf(""), 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClearLog();
    ClearTemp();
    TestServer https(CertKind::Trusted);
    std::string wrapper;
    if (c.https) {
      https.server().Get("/setup.exe", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(installer, "application/octet-stream");
      });
      ASSERT_TRUE(https.Start());
      wrapper = "https://localhost:" + std::to_string(https.port()) + "/setup.exe";
    } else {
      RenewFiles();
      ServeFile("/setup.exe", installer);
      wrapper = FilesUrl("/setup.exe");
    }
    ServeConfig(ConfigJson(false, wrapper, Crc32Of(installer), "1.0", c.sha256));
    StubOptions options;
    options.env = {{"ORV_DEMO_EXIT_CODE", "0"}};
    const StubRun run = RunStub(options);
    ASSERT_TRUE(run.watched) << run.report;
    EXPECT_EQ(run.exitCode, c.exitCode) << LogDump();
    const std::vector<std::string> messages = LogMessages();
    if (c.exitCode == 0) {
      EXPECT_TRUE(run.boxes.empty()) << run.report;
      EXPECT_TRUE(Contains(messages, "Checksum is OK. Continue...")) << LogDump();
      EXPECT_TRUE(Contains(messages, "Tavlin wrapper exiting")) << LogDump();
    } else {
      ASSERT_EQ(run.boxes.size(), 1u) << run.report;
      EXPECT_EQ(run.boxes[0].text, "The installation file is corrupted. Error code 6");
      ASSERT_FALSE(messages.empty());
      EXPECT_EQ(messages.back(), "Mismatch of the wrapper SHA-256") << LogDump();
      EXPECT_FALSE(Contains(messages, "Mismatch of the wrapper checksum")) << LogDump();
      EXPECT_TRUE(DownloadLeft(installer));
    }
  }
}

TEST_F(ChecksumRun, ChecksumAbove32BitsMatchesOnItsLowBits) {
  const std::string installer = DemoInstaller();
  const uint64_t checksum = (uint64_t{0x1234} << 32) | Crc32Of(installer);
  ServeConfig(ConfigJson(false, FilesUrl("/setup.exe"), checksum, "1.0", Sha256HexOf(installer)));
  ServeFile("/setup.exe", installer);
  StubOptions options;
  options.env = {{"ORV_DEMO_EXIT_CODE", "0"}};
  const StubRun run = RunStub(options);
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_TRUE(run.boxes.empty()) << run.report;
  EXPECT_EQ(run.exitCode, 0u) << LogDump();
  EXPECT_TRUE(Contains(LogMessages(), "Checksum is OK. Continue...")) << LogDump();
}

}  // namespace
}  // namespace bed
