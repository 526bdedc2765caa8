// The progress dialog at the screen scales of today's screens: it grows from its dialog units and
// font, stays centred, and a picture of each scale is kept in the test output folder.
#include <cstdlib>
#include <map>
#include <string>

#include "stub_fixture.h"

namespace bed {
namespace {

// The screen scale of the programs started while this object lives: the user's LogPixels, which
// Wine 8 reads before the machine's font DPI key (HKLM\System\CurrentControlSet\Hardware
// Profiles\Current\Software\Fonts). The value is removed again at the end.
class ScreenScale {
 public:
  explicit ScreenScale(int percent) {
    ok_ = Reg({"add", kKey, "/v", "LogPixels", "/t", "REG_DWORD", "/d", std::to_string(96 * percent / 100), "/f"});
  }
  ~ScreenScale() { Reset(); }
  ScreenScale(const ScreenScale&) = delete;
  ScreenScale& operator=(const ScreenScale&) = delete;
  bool ok() const { return ok_; }
  // Back to the prefix's own scale (100%).
  static void Reset() { Reg({"delete", kKey, "/v", "LogPixels", "/f"}); }

 private:
  static constexpr char kKey[] = "HKCU\\Control Panel\\Desktop";
  static bool Reg(std::vector<std::string> args) {
    args.insert(args.begin(), {GetBed().wine, "reg"});
    return RunProcess(args, 60000).status == 0;
  }
  bool ok_ = false;
};

class DialogScale : public StubTest {
 protected:
  void SetUp() override {
    StubTest::SetUp();
    ScreenScale::Reset();  // a run that was killed may have left a scale behind
  }
};

long Width(const DialogSeen& dialog) { return dialog.right - dialog.left; }
long Height(const DialogSeen& dialog) { return dialog.bottom - dialog.top; }

TEST_F(DialogScale, TheDialogIsTwiceAsLargeAt200PercentAndCentred) {
  std::string installer;
  ASSERT_TRUE(ReadFile(GetBed().winBuild + "/tests/demo_installer.exe", installer));
  std::map<int, DialogSeen> dialogs;
  for (const int percent : {100, 150, 200}) {
    SCOPED_TRACE(std::to_string(percent) + "%");
    RenewFiles();
    ServeConfig(ConfigFor(false, FilesUrl("/setup.exe"), installer, "1.0"));
    ServeThrottled("/setup.exe", installer, 20, 100);
    const ScreenScale scale(percent);
    ASSERT_TRUE(scale.ok());
    StubOptions options;
    options.env = {{"ORV_DEMO_EXIT_CODE", "0"}};
    const std::string stem = GetBed().out + "/progress-dialog-" + std::to_string(percent);
    options.screenshot = stem + ".bmp";
    options.screenshotAtPos = 30;
    RemoveFile(options.screenshot);
    RemoveFile(stem + ".png");
    const StubRun run = RunStub(options);
    ASSERT_TRUE(run.watched) << run.report;
    EXPECT_EQ(run.exitCode, 0u) << LogDump();
    ASSERT_TRUE(run.dialog.shown) << run.report;
    ASSERT_TRUE(FileExists(options.screenshot)) << run.report;
    EXPECT_EQ(RunProcess({"convert", options.screenshot, stem + ".png"}, 60000).status, 0);
    dialogs[percent] = run.dialog;
  }

  const DialogSeen& normal = dialogs[100];
  const DialogSeen& large = dialogs[200];
  const std::string sizes = std::to_string(Width(normal)) + "x" + std::to_string(Height(normal)) + " at 100%, " +
                            std::to_string(Width(dialogs[150])) + "x" + std::to_string(Height(dialogs[150])) +
                            " at 150%, " + std::to_string(Width(large)) + "x" + std::to_string(Height(large)) +
                            " at 200%";
  ASSERT_GT(Width(normal), 0) << sizes;
  EXPECT_LE(std::labs(Width(large) - 2 * Width(normal)), 2) << sizes;
  EXPECT_LE(std::labs(Height(large) - 2 * Height(normal)), 2) << sizes;
  EXPECT_GT(Width(dialogs[150]), Width(normal)) << sizes;
  EXPECT_LT(Width(dialogs[150]), Width(large)) << sizes;
  EXPECT_LE(std::labs((large.left + large.right) - (large.workLeft + large.workRight)), 2) << sizes;
  EXPECT_LE(std::labs((large.top + large.bottom) - (large.workTop + large.workBottom)), 2) << sizes;
}

}  // namespace
}  // namespace bed
