// The checksum gate between the download and the launch.
#include <algorithm>

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

TEST_F(ChecksumRun, MismatchShowsCode6AndLeavesTheFile) {
  const std::string installer = DemoInstaller();
  ServeConfig(ConfigJson(false, FilesUrl("/setup.exe"), Crc32Of(installer) ^ 1u, "1.0"));
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
  // The download stays in the temporary folder: orvXXXX.tmp.exe next to its placeholder.
  const std::vector<std::string> left = ListFiles(TempDir(), "orv");
  const bool downloadLeft = std::any_of(left.begin(), left.end(), [&](const std::string& name) {
    std::string bytes;
    return name.size() > 8 && name.compare(name.size() - 8, 8, ".tmp.exe") == 0 &&
           ReadFile(TempDir() + "/" + name, bytes) && bytes == installer;
  });
  EXPECT_TRUE(downloadLeft) << "files left: " << left.size();
}

TEST_F(ChecksumRun, ChecksumAbove32BitsMatchesOnItsLowBits) {
  const std::string installer = DemoInstaller();
  const uint64_t checksum = (uint64_t{0x1234} << 32) | Crc32Of(installer);
  ServeConfig(ConfigJson(false, FilesUrl("/setup.exe"), checksum, "1.0"));
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
