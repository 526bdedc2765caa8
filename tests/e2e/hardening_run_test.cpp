// The stub runs elevated from the Downloads folder: planted DLLs, the cancellation page's address,
// forged log lines, links planted in the profile and servers that trickle must not turn it.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "installer_run_fixture.h"

namespace bed {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Lines of the log that do not have the "date time LEVEL message" form.
std::vector<std::string> MalformedLines() {
  std::vector<std::string> bad;
  for (const LogLine& line : ReadLog()) {
    if (line.level == "?") bad.push_back(line.message);
  }
  return bad;
}

// Serves a body one byte at a time, a byte every interval, for as long as the client reads (or
// until the server stops): a server that keeps every single read inside its time-out.
class Trickle {
 public:
  explicit Trickle(std::chrono::milliseconds interval) : interval_(interval) {}
  ~Trickle() { Stop(); }
  void Stop() {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    wake_.notify_all();
  }
  void Route(httplib::Server& server, const std::string& path) {
    server.Get(path, [this](const httplib::Request&, httplib::Response& response) {
      response.set_chunked_content_provider("application/json", [this](size_t, httplib::DataSink& sink) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (stopping_) return false;
        wake_.wait_for(lock, interval_, [this] { return stopping_; });
        if (stopping_) return false;
        ++bytes_;
        return sink.write("{", 1);
      });
    });
  }
  int bytes() const { return bytes_; }

 private:
  std::chrono::milliseconds interval_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::atomic<int> bytes_{0};
};

class HardenedRun : public InstallerRunTest {
 protected:
  // The stub's run (the demo installer ending with exitCode) while trickle serves, then the
  // trickle stopped; the seconds the run took.
  StubRun RunWhileTrickling(Trickle& trickle, const std::string& exitCode, double& seconds) {
    StubOptions options = Options(exitCode);
    options.timeoutMs = 150000;
    const Clock::time_point start = Clock::now();
    const StubRun run = RunStub(options);
    seconds = SecondsSince(start);
    trickle.Stop();
    return run;
  }
};

TEST_F(HardenedRun, PlantedDllsBesideTheStubAreNeverLoaded) {
  const std::vector<std::string> planted{"winhttp.dll", "urlmon.dll", "version.dll", "uxtheme.dll", "crypt32.dll"};
  const std::string folder = GetBed().out + "/planted-" + std::to_string(getpid());
  const std::string marks = folder + "/marks";
  RunProcess({"rm", "-rf", folder}, 10000);
  ASSERT_EQ(RunProcess({"mkdir", "-p", marks}, 10000).status, 0);
  std::string dll, stub, probe;
  ASSERT_TRUE(ReadFile(GetBed().winBuild + "/tests/planted.dll", dll));
  ASSERT_TRUE(ReadFile(GetBed().winBuild + "/orvsetup.exe", stub));
  ASSERT_TRUE(ReadFile(GetBed().winBuild + "/tests/plant_probe.exe", probe));
  for (const std::string& name : planted) ASSERT_TRUE(WriteFile(folder + "/" + name, dll));
  ASSERT_TRUE(WriteFile(folder + "/orvsetup.exe", stub));
  ASSERT_TRUE(WriteFile(folder + "/plant_probe.exe", probe));
  const std::map<std::string, std::string> plantEnv{
      {"WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d;winhttp,urlmon,version,uxtheme,crypt32=n,b"},
      {"ORV_PLANT_MARKS", WinPath(marks)}};

  // The control: a plain search from the same folder does load the planted copies.
  const ProcessResult control = RunWine(folder + "/plant_probe.exe", planted, 60000, plantEnv);
  ASSERT_EQ(control.status, 0) << control.err;
  for (const std::string& name : planted) {
    EXPECT_TRUE(FileExists(marks + "/" + name + ".loaded")) << name << " was not loaded from beside the program:\n"
                                                            << control.out;
    RemoveFile(marks + "/" + name + ".loaded");
  }

  Serve(true);
  StubOptions options = Options("0");
  options.stub = folder + "/orvsetup.exe";
  for (const auto& [key, value] : plantEnv) options.env[key] = value;
  const StubRun run = RunStub(options);
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 0u) << LogDump();
  EXPECT_TRUE(run.boxes.empty()) << run.report;
  // Wine's own user32.dll imports version.dll, so Wine's loader maps a planted version.dll before
  // the stub's first instruction; Windows' user32 is a KnownDLL without that import. Any other
  // mark is the stub's doing.
  std::vector<std::string> loaded = ListFiles(marks);
  loaded.erase(std::remove(loaded.begin(), loaded.end(), "version.dll.loaded"), loaded.end());
  EXPECT_EQ(loaded, std::vector<std::string>{}) << "planted DLLs were loaded into the stub";
  const std::vector<std::string> lines = LogMessages();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "Tavlin wrapper exiting") << LogDump();
  EXPECT_TRUE(Contains(lines, "Checksum is OK. Continue...")) << LogDump();
  RunProcess({"rm", "-rf", folder}, 10000);
}

// Wine can disable a DLL ("name=" in WINEDLLOVERRIDES): the stub then cannot load it from System32
// and must end through its own error box, not fail to start. urlmon.dll is no longer used at all
// (the download is the stub's own, over WinHTTP): without it the run goes on to the end.
TEST_F(HardenedRun, MissingWinHttpEndsThroughTheErrorBoxAndUrlmonIsNotNeeded) {
  struct Case {
    const char* dll;
    const char* box;  // nullptr: no box
    const char* line;
    uint32_t exitCode;
  };
  const Case cases[] = {
      {"winhttp", "Cannot obtain configuration. Error code 1", "Can't download config file", 1},
      {"urlmon", nullptr, "Tavlin wrapper exiting", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dll);
    ClearLog();
    Serve(false);
    StubOptions options = Options("0");
    options.env["WINEDLLOVERRIDES"] = std::string("mscoree,mshtml=;winemenubuilder.exe=d;") + c.dll + "=";
    const StubRun run = RunStub(options);
    ASSERT_TRUE(run.watched) << run.report;
    EXPECT_EQ(run.exitCode, c.exitCode) << LogDump();
    ASSERT_EQ(run.boxes.size(), c.box ? 1u : 0u) << run.report;
    if (c.box) {
      EXPECT_EQ(run.boxes[0].text, c.box);
    }
    const std::vector<std::string> lines = LogMessages();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [&](const std::string& line) { return line.rfind(c.line, 0) == 0; }))
        << LogDump();
  }
}

TEST_F(HardenedRun, CancellationPageGetsTheVersionPercentEncoded) {
  const std::string version = "4.1 beta&x=1#y";
  Serve(false, version);
  const StubRun run = RunStub(Options("2"));
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 2u) << LogDump();
  EXPECT_EQ(Pages(1), std::vector<std::string>{CancelPageBase() + "4.1%20beta%26x%3D1%23y"});
  std::string launch;
  ASSERT_TRUE(ReadFile(record_, launch));
  EXPECT_NE(launch.find(" -v \"" + version + "\" "), std::string::npos) << "the installer gets the version as it is: "
                                                                        << launch;
}

TEST_F(HardenedRun, LineBreaksOnTheCommandLineStayInsideOneLogLine) {
  const std::string forged = "2026-12-07 08:10:42,517 ERROR Installer execution canceled. Exit code 2";
  Serve(false);
  const StubRun run = RunStub(Options("0", {"/S\r\n" + forged, "x\ny\tz"}));
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_EQ(run.exitCode, 0u) << LogDump();
  EXPECT_EQ(MalformedLines(), std::vector<std::string>{}) << LogDump();
  const std::vector<std::string> lines = LogMessages();
  EXPECT_FALSE(Contains(lines, "Installer execution canceled. Exit code 2")) << "a forged line: " << LogDump();
  const auto launching = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.rfind("Launching installer ", 0) == 0;
  });
  ASSERT_NE(launching, lines.end()) << LogDump();
  EXPECT_NE(launching->find("/S\\r\\n" + forged), std::string::npos) << *launching;
  EXPECT_NE(launching->find("x\\ny\\tz"), std::string::npos) << *launching;
  EXPECT_EQ(lines.back(), "Tavlin wrapper exiting") << LogDump();
}

// Links planted from the Unix side, as Wine shows them: a hard link is a file with two names, a
// symbolic link to a file is followed silently, one to a folder looks like a junction; a dangling
// one leads to a name that an open creating missing files would create behind the link.
TEST_F(HardenedRun, LinksPlantedForTheCopyTheShortcutAndTheLogAreRefused) {
  const std::string victimFolder = GetBed().out + "/protected-" + std::to_string(getpid());
  const std::string victim = victimFolder + "/victim.dll";
  const std::string precious = "precious bytes that must stay as they are";
  const std::string copy = ResumeDir() + "/" + kCopyName;
  const std::string shortcut = DesktopDir() + "/" + kShortcutName;
  const std::string logFolder = AppDataDir() + "/Tavlin";
  const std::string windowsCopy = ResumeCopyWinPath();
  const std::string windowsShortcut = "C:\\users\\" + GetBed().user + "\\Desktop\\" + kShortcutName;
  enum class Kind { HardLink, Symlink, Dangling };
  struct Case {
    const char* name;
    std::string planted;  // the Unix path where the link is planted
    Kind kind;
    std::string refusal;  // the log line that reports it (the log itself: on standard output)
    uint32_t exitCode = 2;  // the cancelled installation's; 4 when no run's folder can be made
  };
  const std::string windowsSetup = windowsCopy.substr(0, windowsCopy.find_last_of('\\'));
  const Case cases[] = {
      {"copy, hard link", copy, Kind::HardLink,
       "Failed to copy the wrapper into \"" + windowsCopy + "\". Error code 1142"},
      {"copy, symbolic link", copy, Kind::Symlink,
       "Failed to copy the wrapper into \"" + windowsCopy + "\". Error code 1920"},
      // The run's own folder is made there first: nothing is downloaded behind the link either.
      {"setup folder, junction", ResumeDir(), Kind::Symlink,
       "Can't create the run's folder: Cannot secure the folder \"" + windowsSetup + "\". Error code 1920", 4},
      {"shortcut, hard link", shortcut, Kind::HardLink,
       "Unable to create shortcut \"" + windowsShortcut + "\". Error code 1142"},
      {"shortcut, symbolic link", shortcut, Kind::Symlink,
       "Unable to create shortcut \"" + windowsShortcut + "\". Error code 1920"},
      {"log file, hard link", LogFile(), Kind::HardLink, "Log file refused"},
      {"log folder, junction", logFolder, Kind::Symlink, "Log file refused"},
      {"copy, dangling symbolic link", copy, Kind::Dangling,
       "Failed to copy the wrapper into \"" + windowsCopy + "\". Error code 1920"},
      {"shortcut, dangling symbolic link", shortcut, Kind::Dangling,
       "Unable to create shortcut \"" + windowsShortcut + "\". Error code 1920"},
      {"log file, dangling symbolic link", LogFile(), Kind::Dangling, "Log file refused"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClearLog();
    ClearTemp();
    ASSERT_EQ(RunProcess({"mkdir", "-p", ResumeDir()}, 10000).status, 0);
    RemoveFile(shortcut);
    RunProcess({"rm", "-rf", victimFolder}, 10000);
    ASSERT_EQ(RunProcess({"mkdir", "-p", victimFolder, logFolder}, 10000).status, 0);
    ASSERT_TRUE(WriteFile(victim, precious));
    const bool folder = c.planted == logFolder || c.planted == ResumeDir();
    if (folder) ASSERT_EQ(RunProcess({"rm", "-rf", c.planted}, 10000).status, 0);
    const std::string target = folder ? victimFolder : c.kind == Kind::Dangling ? victimFolder + "/absent.dll" : victim;
    const int made = c.kind == Kind::HardLink ? link(target.c_str(), c.planted.c_str())
                                              : symlink(target.c_str(), c.planted.c_str());
    ASSERT_EQ(made, 0) << c.planted;

    Serve(true);
    const StubRun run = RunStub(Options("2"));
    RemoveFile(c.planted);
    ASSERT_EQ(RunProcess({"mkdir", "-p", logFolder}, 10000).status, 0);
    ASSERT_TRUE(run.watched) << run.report;
    EXPECT_EQ(run.exitCode, c.exitCode) << LogDump();
    std::string after;
    ASSERT_TRUE(ReadFile(victim, after));
    EXPECT_TRUE(after == precious) << "the write went through the link: the victim holds " << after.size()
                                   << " bytes";
    EXPECT_EQ(ListFiles(victimFolder), std::vector<std::string>{"victim.dll"}) << "a file appeared behind the link";
    if (c.planted == LogFile() || c.planted == logFolder) {
      EXPECT_NE(run.output.find(c.refusal), std::string::npos) << run.output;
      EXPECT_NE(run.output.find("Tavlin wrapper exiting"), std::string::npos) << run.output;
    } else {
      const std::vector<std::string> lines = LogMessages();
      EXPECT_TRUE(Contains(lines, c.refusal)) << LogDump();
      ASSERT_FALSE(lines.empty());
      EXPECT_EQ(lines.back(), c.exitCode == 2 ? "Tavlin wrapper exiting" : c.refusal) << LogDump();
    }
  }
  RunProcess({"rm", "-rf", victimFolder}, 10000);
}

TEST_F(HardenedRun, ConfiguredSizeMustMatchTheInstaller) {
  struct Case {
    const char* name;
    long long delta;  // size key = installer size + delta
    uint32_t exitCode;
  };
  const Case cases[] = {{"exact size", 0, 0}, {"one byte less", -1, 4}, {"one byte more", 1, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClearLog();
    Serve(false, kVersion, "\"size\": " + std::to_string(static_cast<long long>(installer_.size()) + c.delta));
    const StubRun run = RunStub(Options("0"));
    ASSERT_TRUE(run.watched) << run.report;
    EXPECT_EQ(run.exitCode, c.exitCode) << LogDump();
    const std::vector<std::string> lines = LogMessages();
    if (c.exitCode == 4) {
      ASSERT_EQ(run.boxes.size(), 1u) << run.report;
      EXPECT_EQ(run.boxes[0].text, "Cannot obtain installer. Error code 4");
      EXPECT_FALSE(Contains(lines, "Checksum is OK. Continue...")) << LogDump();
    } else {
      EXPECT_TRUE(run.boxes.empty()) << run.report;
      EXPECT_EQ(lines.back(), "Tavlin wrapper exiting") << LogDump();
    }
  }
}

// A configuration server that keeps every read inside its 30-second time-out by sending a byte a
// second would hold the stub for as long as it likes; the fetch as a whole ends after 30 s.
TEST_F(HardenedRun, TricklingConfigurationServerGivesCode1WithinTheDeadline) {
  Trickle trickle(std::chrono::milliseconds(1000));
  config_ = std::make_unique<TestServer>(CertKind::Trusted);
  trickle.Route(config_->server(), "/orv.json");
  ASSERT_TRUE(config_->Start());
  NextStubEndpoints().configPort = config_->port();
  double seconds = 0;
  const StubRun run = RunWhileTrickling(trickle, "0", seconds);
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_FALSE(run.timedOut) << "the stub was still fetching after " << seconds << " s";
  EXPECT_EQ(run.exitCode, 1u) << LogDump();
  ASSERT_EQ(run.boxes.size(), 1u) << run.report;
  EXPECT_EQ(run.boxes[0].text, "Cannot obtain configuration. Error code 1");
  EXPECT_TRUE(Contains(LogMessages(), "Can't download config file")) << LogDump();
  EXPECT_GE(trickle.bytes(), 20) << "the server did not trickle";
  EXPECT_GE(seconds, 29.0);
  EXPECT_LT(seconds, 75.0) << "the fetch was not bounded by its deadline";
}

// The same for the failure hit after a failed installation: 10 s, then the run goes on.
TEST_F(HardenedRun, TricklingAnalyticsServerIsLeftAfterTheDeadline) {
  Trickle trickle(std::chrono::milliseconds(1000));
  TestServer analytics(CertKind::Trusted);
  trickle.Route(analytics.server(), "/piwik.php");
  ASSERT_TRUE(analytics.Start());
  NextStubEndpoints().analyticsPort = analytics.port();
  Serve(false);
  double seconds = 0;
  const StubRun run = RunWhileTrickling(trickle, "1", seconds);
  ASSERT_TRUE(run.watched) << run.report;
  EXPECT_FALSE(run.timedOut) << "the stub was still sending the hit after " << seconds << " s";
  EXPECT_EQ(run.exitCode, 1u) << LogDump();
  EXPECT_TRUE(run.boxes.empty()) << run.report;
  const std::vector<std::string> lines = LogMessages();
  EXPECT_TRUE(Contains(lines, "Sent failed hit to Piwik")) << LogDump();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "Tavlin wrapper exiting") << LogDump();
  EXPECT_EQ(analytics.Count("/piwik.php"), 1u);
  EXPECT_GE(trickle.bytes(), 5) << "the server did not trickle";
  EXPECT_LT(seconds, 60.0) << "the hit was not bounded by its deadline";
}

}  // namespace
}  // namespace bed
