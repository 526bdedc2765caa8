// The progress dialog at the screen scales of today's screens: it grows from its dialog units and
// font, stays centred, and a picture of each scale is kept in the test output folder.
#include <cstdlib>
#include <map>
#include <utility>
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

TEST_F(DialogScale, TheDialogGrowsWithTheScreenScaleAndStaysCentred) {
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

  // The layout follows the font, whose pixel height is whole: 8 point is 10.67 pixels at 100%
  // (11) and 21.33 at 200% (21), and the dialog units are the font's measured height and average
  // width, so the dialog comes out a little under the scale (Wine's fonts: 492x61, 702x88 and
  // 912x110). Up to an eighth under the scale, and no more than it plus the border's pixels.
  std::string sizes;
  for (const auto& [percent, dialog] : dialogs) {
    sizes += std::to_string(Width(dialog)) + "x" + std::to_string(Height(dialog)) + " at " +
             std::to_string(percent) + "%; ";
  }
  const DialogSeen& normal = dialogs[100];
  ASSERT_GT(Width(normal), 0) << sizes;
  for (const int percent : {150, 200}) {
    const DialogSeen& scaled = dialogs[percent];
    const std::pair<long, long> measures[] = {{Width(normal), Width(scaled)}, {Height(normal), Height(scaled)}};
    for (const auto& [at100, atScale] : measures) {
      EXPECT_GE(8 * 100 * atScale, 7 * percent * at100) << percent << "%: " << sizes;
      EXPECT_LE(100 * atScale, percent * at100 + 200) << percent << "%: " << sizes;
    }
  }
  for (const auto& [percent, dialog] : dialogs) {
    EXPECT_LE(std::labs((dialog.left + dialog.right) - (dialog.workLeft + dialog.workRight)), 2) << percent << "%";
    EXPECT_LE(std::labs((dialog.top + dialog.bottom) - (dialog.workTop + dialog.workBottom)), 2) << percent << "%";
  }
}

}  // namespace
}  // namespace bed
