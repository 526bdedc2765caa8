#pragma once
// The runs that reach the installer: the demo installer served with its configuration, its record
// of how the stub started it, and the stand-in browser's record of the pages it was given.
#include <algorithm>
#include <chrono>
#include <regex>
#include <thread>

#include "stub_fixture.h"

namespace bed {

inline constexpr char kVersion[] = "4.1.674";
inline constexpr char kUuid[] = "[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}";

// The lines after the first one equal to from.
inline std::vector<std::string> LinesAfter(const std::vector<std::string>& lines, const std::string& from) {
  const auto start = std::find(lines.begin(), lines.end(), from);
  return start == lines.end() ? std::vector<std::string>{} : std::vector<std::string>(start + 1, lines.end());
}

inline bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The Windows path of the installer as the demo installer saw it in its own command line.
struct Launch {
  bool recorded = false;
  std::string installerPath;  // e.g. C:\users\me\Temp\orv0a1b2c3d\orv1a2.tmp.exe
  std::string id;
  std::string rest;  // everything after "-id <id> "
};

class InstallerRunTest : public StubTest {
 protected:
  void SetUp() override {
    StubTest::SetUp();
    const std::string stem = GetBed().out + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    record_ = stem + "-installer.txt";
    urls_ = stem + "-urls.txt";
    RemoveFile(record_);
    RemoveFile(urls_);
    ASSERT_TRUE(ReadFile(GetBed().winBuild + "/tests/demo_installer.exe", installer_));
  }

  // Serves the configuration (extra: more keys, as JSON members) and the demo installer (or
  // bytes) with their checksums.
  void Serve(bool shortcut, const std::string& version = kVersion, const std::string& extra = "",
             const std::string* bytes = nullptr) {
    const std::string& wrapper = bytes ? *bytes : installer_;
    if (files_->started()) RenewFiles();
    std::string json = ConfigFor(shortcut, FilesUrl("/setup.exe"), wrapper, version);
    if (!extra.empty()) json.insert(json.size() - 1, ", " + extra);
    ServeConfig(json);
    ServeFile("/setup.exe", wrapper);
  }

  StubOptions Options(const std::string& exitCode, std::vector<std::string> args = {}) const {
    StubOptions options;
    options.args = std::move(args);
    options.env = {{"ORV_DEMO_EXIT_CODE", exitCode},
                   {"ORV_DEMO_RECORD", WinPath(record_)},
                   {"ORV_URL_RECORD", WinPath(urls_)}};
    return options;
  }

  Launch ReadLaunch() const {
    Launch launch;
    std::string line;
    if (!ReadFile(record_, line)) return launch;
    std::smatch match;
    const std::regex form("\"([^\"]+)\" -id (" + std::string(kUuid) + ") (.*)");
    if (!std::regex_match(line, match, form)) return launch;
    launch.recorded = true;
    launch.installerPath = match[1];
    launch.id = match[2];
    launch.rest = match[3];
    return launch;
  }

  // The addresses the stand-in browser was given; it runs on its own, so wait a little for it.
  std::vector<std::string> Pages(size_t expected) const {
    std::vector<std::string> pages;
    for (int i = 0; i < 100; ++i) {
      std::string content;
      pages.clear();
      if (ReadFile(urls_, content)) {
        size_t start = 0;
        for (size_t end; (end = content.find('\n', start)) != std::string::npos; start = end + 1) {
          pages.push_back(content.substr(start, end - start));
        }
      }
      if (pages.size() >= expected) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return pages;
  }

  std::string record_;
  std::string urls_;
  std::string installer_;
};

}  // namespace bed
