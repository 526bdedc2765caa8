// Shows the progress dialog of this module's resources and feeds it a throttled download sequence
// through the download's own reporter, for a look at the dialog (and a screenshot) without a server.
// Usage: dialog_demo [step delay in ms] [hold before the end in ms]
//        dialog_demo early
// Prints the dialog's window text, styles, rectangle and the bar's position at the hold, then
// moves the bar to the full count, prints its position again and reports the end of the data.
// "early" reports the end of the download before the dialog is started; the dialog must then
// close itself as soon as it initialises.
// Exit code 0 when the dialog came up and was closed, 1 otherwise.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <optional>
#include <string>

#include "download/download_reporter.h"
#include "main/progress_dialog.h"
#include "resource.h"

namespace {
using namespace orv;

unsigned long Argument(int argc, wchar_t** argv, int index, unsigned long fallback) {
  return argc > index ? std::wcstoul(argv[index], nullptr, 10) : fallback;
}

LRESULT BarPosition(HWND dialog) { return SendDlgItemMessageW(dialog, IDC_PROGRESS, PBM_GETPOS, 0, 0); }

// The bar's position once it equals expected, or its last position after two seconds: the
// positions are posted, so they land a little after the report.
LRESULT BarPositionOnce(HWND dialog, LRESULT expected) {
  LRESULT position = BarPosition(dialog);
  for (int i = 0; i < 100 && position != expected; ++i) {
    Sleep(20);
    position = BarPosition(dialog);
  }
  return position;
}

void Describe(HWND dialog, LRESULT expectedBar) {
  wchar_t text[128] = {};
  GetWindowTextW(dialog, text, static_cast<int>(sizeof text / sizeof text[0]));
  RECT window = {};
  GetWindowRect(dialog, &window);
  const LONG_PTR style = GetWindowLongPtrW(dialog, GWL_STYLE);
  const LONG_PTR exStyle = GetWindowLongPtrW(dialog, GWL_EXSTYLE);
  const LRESULT position = BarPositionOnce(dialog, expectedBar);
  std::printf("text=%ls\nstyle=0x%08lX exstyle=0x%08lX\nrect=%ld,%ld,%ld,%ld screen=%d,%d\nbar=%ld\n", text,
              static_cast<unsigned long>(style), static_cast<unsigned long>(exStyle), window.left, window.top,
              window.right, window.bottom, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
              static_cast<long>(position));
  std::fflush(stdout);
}

// The demo writes no log.
class QuietLog final : public LogSink {
 public:
  void Log(LogLevel, const std::string&) override {}
};

// The dialog as the reporter moves it: posted through its channel, as the run's dialog scope does.
class DialogProgress final : public DownloadProgress {
 public:
  explicit DialogProgress(DialogChannel& channel) : channel_(channel) {}
  void SetBarPosition(int32_t percent) override { channel_.PostPosition(percent); }
  void EndProgressDialog() override { channel_.RequestEnd(); }

 private:
  DialogChannel& channel_;
};

bool OnScreen(HWND dialog) { return IsWindow(dialog) && IsWindowVisible(dialog); }

// Waits up to two seconds for the dialog to leave the screen; prints and returns the exit code.
int ReportClosed(HWND dialog) {
  for (int i = 0; i < 100 && OnScreen(dialog); ++i) Sleep(20);
  const bool closed = !OnScreen(dialog);
  std::printf("closed=%d\n", closed ? 1 : 0);
  return closed ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  ProgressDialog dialog;
  QuietLog log;
  DialogProgress progress(*dialog.channel());
  DownloadReporter reporter(log, progress);
  const bool early = argc > 1 && std::wcscmp(argv[1], L"early") == 0;
  if (early) reporter.Complete(0, std::nullopt);
  dialog.Start(GetModuleHandleW(nullptr));
  if (!dialog.WaitUntilShown(10000)) {
    std::fputs("the dialog did not come up\n", stderr);
    return 1;
  }
  HWND window = dialog.channel()->window();
  if (early) return ReportClosed(window);

  const DWORD stepMs = Argument(argc, argv, 1, 40);
  const DWORD holdMs = Argument(argc, argv, 2, 0);
  const uint64_t total = 1000000;
  reporter.Stage(kStatusConnecting);
  reporter.Stage(kStatusSendingRequest);
  reporter.Stage(kStatusBeginDownloadData);
  uint64_t last = 0;
  for (uint64_t done = 0; done <= total * 2 / 3; done += total / 50) {
    reporter.Bytes(done, total);
    last = done;
    Sleep(stepMs);
  }
  Describe(window, static_cast<LRESULT>(static_cast<double>(last) * 100.0 / total));
  Sleep(holdMs);
  reporter.Bytes(total, total);
  std::printf("final bar=%ld\n", static_cast<long>(BarPositionOnce(window, 100)));
  std::fflush(stdout);
  const DWORD before = GetTickCount();
  reporter.Complete(total, total);
  std::printf("end took %lu ms\n", static_cast<unsigned long>(GetTickCount() - before));
  return ReportClosed(window);
}
