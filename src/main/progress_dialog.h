#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "base/log_sink.h"
#include "base/unique_handle.h"
#include "download/progress_step.h"

namespace orv {

// The progress dialog as the other threads reach it: they only post to its window, and the
// dialog ends itself (EndDialog runs in the dialog procedure, on the dialog's thread).
class DialogChannel {
 public:
  // A channel to a dialog that has not initialised yet; userClosed (a manual-reset event, not
  // owned, may be null) is set when the user closes the dialog.
  explicit DialogChannel(HANDLE userClosed = nullptr);
  DialogChannel(const DialogChannel&) = delete;
  DialogChannel& operator=(const DialogChannel&) = delete;

  // Nothing while the dialog has not initialised; otherwise posts the bar's new position.
  void PostPosition(int32_t percent) const;
  // Asks the dialog to end with result 0: at once when it is up, as soon as it initialises
  // otherwise. Never blocks.
  void RequestEnd();
  // Null until the dialog has initialised; then its window (stale once the dialog has ended).
  HWND window() const { return window_.load(); }

  // Dialog thread only: publishes the dialog's window and returns true when an end was already
  // requested (the dialog must then end itself).
  [[nodiscard]] bool Publish(HWND window);
  // Dialog thread only: notes that the dialog procedure is ending the dialog (just before EndDialog).
  void MarkEnding() { ending_.store(true); }
  // True once the dialog procedure has begun to end the dialog.
  bool ending() const { return ending_.load(); }
  // Marks the dialog as up, or as unable to come up; wakes ProgressDialog::WaitUntilShown.
  void MarkSettled() const;
  // The manual-reset event MarkSettled signals; null when it could not be created.
  HANDLE settledEvent() const { return settled_.get(); }
  // Dialog thread only: the user closed the dialog; sets the userClosed event.
  void MarkClosedByUser() const;

 private:
  HANDLE userClosed_;
  std::atomic<HWND> window_{nullptr};
  std::atomic<bool> endRequested_{false};
  std::atomic<bool> ending_{false};
  UniqueHandle settled_;
};

// Owns the progress dialog's thread. The dialog itself lives until it ends or the process ends;
// destroying this object neither ends nor waits for it.
class ProgressDialog {
 public:
  // A dialog not started yet, with a new channel that sets userClosed (see DialogChannel).
  explicit ProgressDialog(HANDLE userClosed = nullptr);
  ProgressDialog(const ProgressDialog&) = delete;
  ProgressDialog& operator=(const ProgressDialog&) = delete;

  // Starts the dialog thread (template IDD_DOWNLOAD of instance) once; a failure is ignored and
  // the download then runs without a visible dialog.
  void Start(HINSTANCE instance);
  // False when the dialog did not come up within timeoutMs (or cannot); true once it is up.
  [[nodiscard]] bool WaitUntilShown(DWORD timeoutMs) const;
  // Asks the dialog to end, then waits. False when, after timeoutMs, the dialog is still on screen;
  // true once it is hidden by its ending (its thread may still be tearing the window down), once
  // its thread has ended, or at once when it was never started.
  [[nodiscard]] bool EndAndWait(DWORD timeoutMs);
  // The channel through which other threads reach the dialog.
  const std::shared_ptr<DialogChannel>& channel() const { return channel_; }

 private:
  std::shared_ptr<DialogChannel> channel_;
  UniqueHandle thread_;
};

// A sink for the download's status decisions: each line goes to log at Info, bar positions and the
// end are posted to the dialog through channel. Safe to call from any thread when log is.
std::unique_ptr<ProgressSink> MakeDialogProgressSink(std::shared_ptr<DialogChannel> channel, LogSink& log);

// Dialog procedure: on WM_INITDIALOG (lParam: the DialogChannel*) publishes the window and sets its
// text; moves the bar and ends the dialog on the channel's posted messages; on WM_CLOSE tells the
// channel that the user closed it and ends itself. TRUE for the messages it handles, FALSE otherwise.
INT_PTR CALLBACK DownloadDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace orv
