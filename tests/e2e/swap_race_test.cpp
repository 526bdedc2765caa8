// A program of the same user that keeps overwriting every .exe under the temporary folder while
// the stub runs must never get its own program started by the stub.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "stub_fixture.h"

namespace bed {
namespace {

using SwapRace = StubTest;

constexpr int kRuns = 5;

// The swapper either overwrites from before the download ("--swap"), or, as malware that reads
// the stub's log, only from the moment the log says the checksum is OK ("--after-check").
TEST_F(SwapRace, TheSwappersProgramIsNeverStarted) {
  std::string installer;
  ASSERT_TRUE(ReadFile(GetBed().winBuild + "/tests/demo_installer.exe", installer));
  std::string swapper;
  ASSERT_TRUE(ReadFile(GetBed().winBuild + "/tests/exe_swapper.exe", swapper));
  const std::string out = GetBed().out + "/swap-race";
  const std::string mark = out + "-swapped.txt";
  const std::string stop = out + "-stop.txt";
  const std::string ready = stop + ".ready";
  const std::string record = out + "-installer.txt";
  const std::string decoy = TempDir() + "/decoy.exe";
  int installed = 0;
  int swapsSeen = 0;
  for (int i = 0; i < 2 * kRuns; ++i) {
    const char* mode = i % 2 == 0 ? "--swap" : "--after-check";
    SCOPED_TRACE(std::string("run ") + std::to_string(i + 1) + " " + mode);
    ClearLog();
    ClearTemp();
    for (const std::string& file : {mark, stop, ready, record}) RemoveFile(file);
    ASSERT_TRUE(WriteFile(decoy, "a program of the user's own"));
    RenewFiles();
    ServeFile("/setup.exe", installer);
    ServeConfig(ConfigFor(false, FilesUrl("/setup.exe"), installer, "1.0"));

    ProcessResult swapped;
    std::thread swapping([&] { swapped = RunWine("exe_swapper.exe", {mode, WinPath(stop)}, 240000); });
    // The blind swapper is at work once the decoy holds its bytes; the other one once it has
    // read where the log ends.
    std::string bytes;
    bool swapping_ = false;
    for (int wait = 0; wait < 600 && !swapping_; ++wait) {
      swapping_ = i % 2 == 0 ? ReadFile(decoy, bytes) && bytes == swapper : FileExists(ready);
      if (!swapping_) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    StubOptions options;
    options.env = {{"ORV_DEMO_EXIT_CODE", "0"}, {"ORV_DEMO_RECORD", WinPath(record)}, {"ORV_SWAP_MARK", WinPath(mark)}};
    const StubRun run = RunStub(options);
    ASSERT_TRUE(WriteFile(stop, "stop"));
    swapping.join();
    RemoveFile(decoy);
    ASSERT_TRUE(swapping_) << "the swapper did not start: " << swapped.err;
    ASSERT_TRUE(run.watched) << run.report;
    ASSERT_EQ(swapped.status, 0) << swapped.err;
    swapsSeen += std::atoi(swapped.out.c_str());

    EXPECT_FALSE(FileExists(mark)) << "the stub started the swapper's program\n" << LogDump();
    // The demo installer ran (0); or the swapper held the file open for writing when the stub
    // came to check it (5); or its bytes were there at the check (6).
    EXPECT_TRUE(run.exitCode == 0 || run.exitCode == 5 || run.exitCode == 6) << run.exitCode << "\n" << LogDump();
    if (run.exitCode == 0) {
      EXPECT_TRUE(FileExists(record)) << LogDump();
      ++installed;
    }
  }
  std::printf("[ swap race ] %d of %d runs installed the demo installer; the swapper overwrote %d files\n", installed,
              2 * kRuns, swapsSeen);
}

}  // namespace
}  // namespace bed
