// A process of the same user, without administrator rights, must not choose what the elevated
// stub runs, where the installer runs, what the resume copy holds or whether the stub itself
// opens a page through the user's handlers.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cctype>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

#include "installer_run_fixture.h"

namespace bed {
namespace {

// Sets a value in the prefix's registry for the life of the object, as a process of the user
// can, then puts the earlier value back, or deletes the value, or the key created (created: the
// topmost key that did not exist before).
class RegistryValue {
 public:
  RegistryValue(const std::string& key, const std::string& name, const std::string& data,
                const std::string& created = "")
      : key_(key), name_(name), created_(created) {
    if (!created_.empty() && Reg({"query", created_}).status == 0) created_.clear();
    const ProcessResult query = Reg({"query", key, name.empty() ? "/ve" : "/v", name});
    const std::regex row(" +REG_[A-Z_]+ +(.*?)\r?$");
    std::smatch match;
    std::istringstream lines(query.out);
    for (std::string line; query.status == 0 && std::getline(lines, line);) {
      if (std::regex_search(line, match, row)) old_ = match[1].str(), hadOld_ = true;
    }
    set_ = Reg(Add(data)).status == 0;
  }
  ~RegistryValue() {
    if (!created_.empty()) {
      Reg({"delete", created_, "/f"});
    } else if (hadOld_) {
      Reg(Add(old_));
    } else {
      Reg({"delete", key_, name_.empty() ? "/ve" : "/v", name_, "/f"});
    }
  }
  bool ok() const { return set_; }

 private:
  std::vector<std::string> Add(const std::string& data) const {
    std::vector<std::string> add{"add", key_};
    if (name_.empty()) {
      add.push_back("/ve");
    } else {
      add.insert(add.end(), {"/v", name_});
    }
    add.insert(add.end(), {"/d", data, "/f"});
    return add;
  }
  static ProcessResult Reg(std::vector<std::string> args) {
    args.erase(std::remove(args.begin(), args.end(), std::string()), args.end());
    std::vector<std::string> argv{GetBed().wine, "reg"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv, 60000, {{"WINEDEBUG", "-all"}});
  }
  std::string key_, name_, created_, old_;
  bool hadOld_ = false;
  bool set_ = false;
};

// Runs action on a thread of its own once the demo installer has written its record (it is then
// running, waiting for the go file), then writes the go file; joined by the destructor.
class WhileTheInstallerRuns {
 public:
  WhileTheInstallerRuns(const std::string& record, const std::string& go, std::function<void()> action)
      : thread_([=] {
          for (int i = 0; i < 1200 && !stop_ && !FileExists(record); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
          }
          if (!stop_ && FileExists(record)) {
            action();
            acted_ = true;
          }
          EXPECT_TRUE(WriteFile(go, "go"));
        }) {}
  ~WhileTheInstallerRuns() {
    stop_ = true;
    thread_.join();
  }
  bool acted() const { return acted_; }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<bool> acted_{false};
  std::thread thread_;
};

class LaunchSecurity : public InstallerRunTest {
 protected:
  void SetUp() override {
    InstallerRunTest::SetUp();
    const std::string stem = GetBed().out + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    mark_ = stem + "-mark.txt";
    go_ = stem + "-go.txt";
    place_ = stem + "-place.txt";
    for (const std::string& file : {mark_, go_, place_}) RemoveFile(file);
  }

  // The demo installer's options, and the swapper's mark should the stub start it.
  StubOptions Options(const std::string& exitCode) const {
    StubOptions options = InstallerRunTest::Options(exitCode);
    options.env["ORV_SWAP_MARK"] = WinPath(mark_);
    options.env["ORV_DEMO_PLACE"] = WinPath(place_);
    return options;
  }

  std::string SwapperPath() const { return GetBed().winBuild + "/tests/exe_swapper.exe"; }

  // The folder of the resume copy, in the Windows form.
  static std::string SetupFolder() {
    const std::string copy = ResumeCopyWinPath();
    return copy.substr(0, copy.find_last_of('\\'));
  }

  std::string mark_, go_, place_;
};

// Windows resolves ".exe" through the merged class registry, the user's own classes included.
TEST_F(LaunchSecurity, TheUsersProgramAssociationIsNeverUsed) {
  const std::string command = "\"" + WinPath(SwapperPath()) + "\" association \"%1\" %*";
  RegistryValue exefile("HKCU\\Software\\Classes\\exefile\\shell\\open\\command", "", command,
                        "HKCU\\Software\\Classes\\exefile");
  RegistryValue extension("HKCU\\Software\\Classes\\.exe", "", "exefile", "HKCU\\Software\\Classes\\.exe");
  ASSERT_TRUE(exefile.ok() && extension.ok());
  Serve(false);
  const StubRun run = RunStub(Options("0"));
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 0u) << LogDump();
  EXPECT_FALSE(FileExists(mark_)) << "the user's association started its program";
  EXPECT_TRUE(ReadLaunch().recorded) << LogDump();
}

TEST_F(LaunchSecurity, TheInstallerRunsInTheRunsAdminsOnlyFolderWithItsTemporaryFolder) {
  Serve(false);
  const StubRun run = RunStub(Options("0"));
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 0u) << LogDump();
  std::string place;
  ASSERT_TRUE(ReadFile(place_, place)) << LogDump();
  std::smatch lines;
  ASSERT_TRUE(std::regex_match(place, lines, std::regex("([^\n]*)\n([^\n]*)\n([^\n]*)\n([^\n]*)\n"))) << place;
  const std::string current = lines[1], temp = lines[2], tmp = lines[3], tempPath = lines[4];
  const std::string setup = std::regex_replace(SetupFolder(), std::regex(R"([\\().])"), R"(\$&)");
  EXPECT_TRUE(std::regex_match(current, std::regex(setup + R"(\\orv[0-9a-f]{8})", std::regex::icase)))
      << "current folder " << current;
  EXPECT_EQ(temp, current + "\\tmp");
  EXPECT_EQ(tmp, current + "\\tmp");
  EXPECT_EQ(tempPath, current + "\\tmp\\");
  const Launch launch = ReadLaunch();
  ASSERT_TRUE(launch.recorded);
  EXPECT_EQ(launch.installerPath.rfind(current + "\\", 0), 0u) << launch.installerPath;
  std::vector<std::string> left = ListFiles(ResumeDir(), "orv");
  left.erase(std::remove(left.begin(), left.end(), kCopyName), left.end());
  EXPECT_EQ(left, std::vector<std::string>{}) << "the run's folder must be removed";
}

// The installer's whole environment, as it recorded it: names in upper case, the first of each.
std::map<std::string, std::string> EnvironmentIn(const std::string& file) {
  std::map<std::string, std::string> variables;
  std::string text;
  if (!ReadFile(file, text)) return variables;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const size_t equals = line.find('=', 1);
    if (equals == std::string::npos) continue;
    std::string name = line.substr(0, equals);
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
    variables.emplace(name, line.substr(equals + 1));
  }
  return variables;
}

// Every program of the user's session gets what HKCU\Environment holds, the elevated stub
// included; the installer gets the machine's variables and the user's folders instead.
TEST_F(LaunchSecurity, WhatAUserProgramPutsInHkcuEnvironmentNeverReachesTheInstaller) {
  const std::map<std::string, std::string> planted{
      {"COMSPEC", "C:\\evil\\cmd.exe"},
      {"PATH", "C:\\evil"},
      {"PATHEXT", ".EVIL;.EXE"},
      {"PSMODULEPATH", "C:\\evil\\modules"},
      {"COR_ENABLE_PROFILING", "1"},
      {"COR_PROFILER_PATH", "C:\\evil\\profiler.dll"},
      {"COMPLUS_ENABLEEVENTPIPE", "1"},
      {"DOTNET_STARTUP_HOOKS", "C:\\evil\\hook.dll"},
      {"ORV_USER_SET", "C:\\evil"},
  };
  std::vector<std::unique_ptr<RegistryValue>> values;
  for (const auto& [name, value] : planted) {
    values.push_back(std::make_unique<RegistryValue>("HKCU\\Environment", name, value));
    ASSERT_TRUE(values.back()->ok()) << name;
  }
  const std::string environment = GetBed().out + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                                  "-environment.txt";
  // The control: a program the user starts gets every planted value.
  RemoveFile(environment);
  const ProcessResult control =
      RunWine("demo_installer.exe", {}, 60000,
              {{"ORV_DEMO_ENVIRONMENT", WinPath(environment)}, {"ORV_DEMO_RECORD", WinPath(record_)},
               {"ORV_DEMO_EXIT_CODE", "0"}});
  ASSERT_EQ(control.status, 0) << control.err;
  std::map<std::string, std::string> users = EnvironmentIn(environment);
  for (const auto& [name, value] : planted) {
    EXPECT_TRUE(users.count(name) && users.at(name).find(value) != std::string::npos)
        << name << " did not reach a program of the user";
  }

  RemoveFile(environment);
  RemoveFile(record_);
  Serve(false);
  StubOptions options = Options("0");
  options.env["ORV_DEMO_ENVIRONMENT"] = WinPath(environment);
  const StubRun run = RunStub(options);
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 0u) << LogDump();
  std::map<std::string, std::string> installers = EnvironmentIn(environment);
  ASSERT_FALSE(installers.empty()) << LogDump();
  std::string shown;
  for (const auto& [name, value] : installers) shown += "  " + name + "=" + value + "\n";
  std::printf("[ environment ] the installer's %zu variables:\n%s", installers.size(), shown.c_str());
  for (const auto& [name, value] : installers) {
    EXPECT_EQ(value.find("evil"), std::string::npos) << name << "=" << value << " reached the installer";
  }
  EXPECT_EQ(installers.count("ORV_USER_SET"), 0u);
  EXPECT_EQ(installers.count("COR_ENABLE_PROFILING"), 0u);
  // What the machine and the platform's records give.
  EXPECT_TRUE(installers.count("COMSPEC") && installers.count("PATH") && installers.count("SYSTEMROOT"));
  const std::string profile = "C:\\users\\" + GetBed().user;
  EXPECT_EQ(installers["USERPROFILE"], profile);
  EXPECT_EQ(installers["HOMEDRIVE"] + installers["HOMEPATH"], profile);
  EXPECT_EQ(installers["APPDATA"], profile + "\\AppData\\Roaming");
  EXPECT_EQ(installers["LOCALAPPDATA"], profile + "\\AppData\\Local");
  EXPECT_EQ(installers["USERNAME"], users["USERNAME"]);
  EXPECT_TRUE(ReadLaunch().recorded) << LogDump();
}

// TEMP (HKCU\Environment) names a link that a process of the user turns to another folder, where
// the same names hold its own program, once the stub has checked its download.
TEST_F(LaunchSecurity, TempThroughALinkTurnedAfterTheCheckNeverGetsItsProgramRun) {
  const std::string base = GetBed().out + "/turned-temp-" + std::to_string(getpid());
  const std::string a = base + "/A", b = base + "/B", link = base + "/temp";
  std::string swapper;
  ASSERT_TRUE(ReadFile(SwapperPath(), swapper));
  RegistryValue temp("HKCU\\Environment", "TEMP", WinPath(link));
  RegistryValue tmp("HKCU\\Environment", "TMP", WinPath(link));
  ASSERT_TRUE(temp.ok() && tmp.ok());
  constexpr int kRuns = 3;
  int turned = 0;
  for (int i = 0; i < kRuns; ++i) {
    SCOPED_TRACE("run " + std::to_string(i + 1));
    ClearLog();
    RemoveFile(record_);
    RunProcess({"rm", "-rf", base}, 10000);
    ASSERT_EQ(RunProcess({"mkdir", "-p", a, b}, 10000).status, 0);
    ASSERT_EQ(symlink(a.c_str(), link.c_str()), 0);
    Serve(false);
    std::atomic<bool> stop{false};
    bool planted = false, flipped = false;
    // Mirrors every download under A into B with the same names, then turns the link once the
    // log says the installer is about to be launched.
    std::thread attacker([&] {
      while (!stop && !flipped) {
        for (const std::string& folder : ListFiles(a)) {
          for (const std::string& name : ListFiles(a + "/" + folder)) {
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0 && !FileExists(b + "/" + folder + "/" + name)) {
              RunProcess({"mkdir", "-p", b + "/" + folder}, 10000);
              planted = WriteFile(b + "/" + folder + "/" + name, swapper);
            }
          }
        }
        std::string log;
        if (planted && ReadFile(LogFile(), log) && log.find("Launching installer") != std::string::npos) {
          const std::string next = link + ".next";
          flipped = symlink(b.c_str(), next.c_str()) == 0 && rename(next.c_str(), link.c_str()) == 0;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    });
    const StubRun run = RunStub(Options("0"));
    stop = true;
    attacker.join();
    turned += flipped;
    ASSERT_TRUE(run.watched) << run.report;
    EXPECT_FALSE(FileExists(mark_)) << "the stub started the program behind the turned link\n" << LogDump();
    EXPECT_EQ(run.exitCode, 0u) << LogDump();
    EXPECT_TRUE(ReadLaunch().recorded) << LogDump();
    RemoveFile(mark_);
  }
  std::printf("[ turned TEMP ] the link was turned in %d of %d runs\n", turned, kRuns);
  RunProcess({"rm", "-rf", base}, 10000);
}

// Windows lets a process of the user rename a running program and put another under its name.
TEST_F(LaunchSecurity, TheStubsFileReplacedDuringTheRunDoesNotChangeTheResumeCopy) {
  const std::string folder = GetBed().out + "/own-image-" + std::to_string(getpid());
  const std::string stubPath = folder + "/orvsetup.exe";
  std::string stub;
  ASSERT_TRUE(ReadFile(GetBed().winBuild + "/orvsetup.exe", stub));
  RunProcess({"rm", "-rf", folder}, 10000);
  ASSERT_EQ(RunProcess({"mkdir", "-p", folder}, 10000).status, 0);
  ASSERT_TRUE(WriteFile(stubPath, stub));
  Serve(true);
  StubOptions options = Options("2");
  options.stub = stubPath;
  options.env["ORV_DEMO_WAIT_FOR"] = WinPath(go_);
  ProcessResult replaced;
  StubRun run;
  {
    WhileTheInstallerRuns during(record_, go_, [&] {
      replaced = RunWine("exe_swapper.exe", {"--replace", WinPath(stubPath), WinPath(SwapperPath())}, 60000);
    });
    run = RunStub(options);
  }
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 2u) << LogDump();
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  std::printf("[ own image ] the user's process: %s", replaced.out.c_str());
  std::string copy;
  ASSERT_TRUE(ReadFile(ResumeDir() + "/" + kCopyName, copy)) << LogDump();
  EXPECT_TRUE(copy == stub) << "the resume copy is not the stub that ran (" << copy.size() << " bytes)";
  RunProcess({"rm", "-rf", folder}, 10000);
}

// The inode of a Unix path; 0 when it is missing.
ino_t InodeOf(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// On a machine whose program files folder lets users create folders, a user's program can make
// the setup folder first and leave a read-only file of its own at the copy's name.
TEST_F(LaunchSecurity, AReadOnlyFileLeftAtTheCopysNameIsReplacedByANewCopy) {
  const std::string copy = ResumeDir() + "/" + kCopyName;
  ASSERT_EQ(RunProcess({"mkdir", "-p", ResumeDir()}, 10000).status, 0);
  ASSERT_TRUE(WriteFile(copy, "someone else's program"));
  ASSERT_EQ(chmod(copy.c_str(), 0444), 0);
  const ino_t planted = InodeOf(copy);
  std::string stub;
  ASSERT_TRUE(ReadFile(GetBed().winBuild + "/orvsetup.exe", stub));
  Serve(true);
  const StubRun run = RunStub(Options("2"));
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 2u) << LogDump();
  std::string copied;
  ASSERT_TRUE(ReadFile(copy, copied));
  EXPECT_TRUE(copied == stub) << "the copy holds " << copied.size() << " bytes\n" << LogDump();
  EXPECT_NE(InodeOf(copy), planted) << "the planted file became the copy";
  EXPECT_TRUE(FileExists(DesktopDir() + "/" + kShortcutName)) << LogDump();
  EXPECT_TRUE(Contains(LogMessages(), "Wrapper successfully copied to \"" + ResumeCopyWinPath() + "\"")) << LogDump();
}

// A run that was killed leaves its folder with the download and the installer's temporary folder;
// the next run removes it once it is a day old, and nothing else.
TEST_F(LaunchSecurity, AKilledRunsFolderADayOldIsRemovedByTheNextRun) {
  const std::string old = ResumeDir() + "/orv0badf00d", young = ResumeDir() + "/orv00c0ffee";
  const std::string other = ResumeDir() + "/orvkeep";
  ASSERT_EQ(RunProcess({"mkdir", "-p", old + "/tmp/helper", young + "/tmp", other}, 10000).status, 0);
  ASSERT_TRUE(WriteFile(old + "/orv1a2.tmp.exe", installer_));
  ASSERT_TRUE(WriteFile(old + "/tmp/helper/unpacked.dll", "dll"));
  ASSERT_TRUE(WriteFile(young + "/orv3b4.tmp.exe", installer_));
  for (const std::string& folder : {old, other}) {
    ASSERT_EQ(RunProcess({"touch", "-d", "25 hours ago", folder}, 10000).status, 0);
  }
  Serve(false);
  const StubRun run = RunStub(Options("0"));
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 0u) << LogDump();
  EXPECT_FALSE(FileExists(old)) << LogDump();
  EXPECT_TRUE(FileExists(young + "/orv3b4.tmp.exe")) << "a folder younger than a day was removed";
  EXPECT_TRUE(FileExists(other)) << "a folder that is not a run's was removed";
  const std::string setup = SetupFolder();
  EXPECT_TRUE(Contains(LogMessages(), "Old download folder \"" + setup + "\\orv0badf00d\" deleted")) << LogDump();
  std::vector<std::string> left = RunFoldersLeft();
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"orv00c0ffee", "orvkeep"}));
}

// Under Wine an ended Explorer stays unreachable for the desktop's shell until the prefix's
// server starts again: ends it (and every program of the prefix) and starts a lasting one.
class ExplorerEnded : public LaunchSecurity {
 protected:
  void TearDown() override {
    const char* server = std::getenv("ORV_WINESERVER");
    // Through a shell that sends their output nowhere: the lasting server and the services that
    // the first program starts keep any pipe open for as long as they run.
    RunProcess({"sh", "-c", "\"$0\" -k; \"$0\" -w; \"$0\" -p >/dev/null 2>&1; \"$1\" cmd /c exit >/dev/null 2>&1",
                server && *server ? server : "wineserver", GetBed().wine},
               120000, {{"WINEDEBUG", "-all"}});
    LaunchSecurity::TearDown();
  }
};

// Explorer ended by a process of the user: the desktop's shell cannot open the page, and the
// elevated stub must not open it itself through the user's http handler.
TEST_F(ExplorerEnded, ThePageStaysClosedWhenTheDesktopShellIsGone) {
  Serve(false);
  StubOptions options = Options("2");
  options.env["ORV_DEMO_WAIT_FOR"] = WinPath(go_);
  ProcessResult killed;
  StubRun run;
  {
    WhileTheInstallerRuns during(record_, go_, [&] {
      // The prefix is 64-bit (with WoW64 for the i686 bed): its explorer is a 64-bit process, which
      // Wine 8's 32-bit taskkill does not find; the 64-bit loader's does.
      const char* wine64 = "/usr/lib/wine/wine64";
      const std::string loader = access(wine64, X_OK) == 0 ? wine64 : GetBed().wine;
      killed = RunProcess({loader, "taskkill", "/f", "/im", "explorer.exe"}, 60000, {{"WINEDEBUG", "-all"}});
    });
    run = RunStub(options);
    EXPECT_TRUE(during.acted());
  }
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 2u) << LogDump();
  EXPECT_EQ(killed.status, 0) << killed.out << killed.err;
  EXPECT_EQ(Pages(1), std::vector<std::string>{}) << "the page was opened without the desktop's shell";
  const std::vector<std::string> lines = LinesAfter(LogMessages(), "Navigating user to cancellation page");
  ASSERT_FALSE(lines.empty()) << LogDump();
  EXPECT_NE(lines.front().find("not opened"), std::string::npos) << LogDump();
}

}  // namespace
}  // namespace bed
