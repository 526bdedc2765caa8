#include "main/progress_dialog.h"

#include <commctrl.h>

#include <utility>

#include "resource.h"

namespace orv {

namespace {

constexpr wchar_t kWindowText[] = L"Downloading ORV Installer...";
constexpr UINT kSetPositionMessage = WM_APP + 1;  // wParam: the bar's new position
constexpr UINT kEndMessage = WM_APP + 2;
constexpr DWORD kEndPollMs = 10;

// Ends the dialog from its own procedure, telling the other threads first.
void EndItself(HWND dialog, DialogChannel* channel) {
  if (channel) channel->MarkEnding();
  EndDialog(dialog, 0);
}

// What the dialog thread needs; the thread owns it and frees it when it ends.
struct DialogStart {
  HINSTANCE instance;
  std::shared_ptr<DialogChannel> channel;
};

DWORD WINAPI DialogThreadProc(LPVOID parameter) {
  const std::unique_ptr<DialogStart> start(static_cast<DialogStart*>(parameter));
  DialogBoxParamW(start->instance, MAKEINTRESOURCEW(IDD_DOWNLOAD), nullptr, DownloadDlgProc,
                  reinterpret_cast<LPARAM>(start->channel.get()));
  start->channel->MarkSettled();
  return 0;
}

}  // namespace

DialogChannel::DialogChannel(HANDLE userClosed)
    : userClosed_(userClosed), settled_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

void DialogChannel::MarkClosedByUser() const {
  if (userClosed_) SetEvent(userClosed_);
}

void DialogChannel::PostPosition(int32_t percent) const {
  if (HWND dialog = window_.load()) PostMessageW(dialog, kSetPositionMessage, static_cast<WPARAM>(percent), 0);
}

void DialogChannel::RequestEnd() {
  // Both sides store before they load (sequentially consistent), so at least one of this and
  // Publish sees the other: a dialog that initialises meanwhile still ends.
  endRequested_.store(true);
  if (HWND dialog = window_.load()) PostMessageW(dialog, kEndMessage, 0, 0);
}

bool DialogChannel::Publish(HWND window) {
  window_.store(window);
  return endRequested_.load();
}

void DialogChannel::MarkSettled() const {
  if (settled_) SetEvent(settled_.get());
}

ProgressDialog::ProgressDialog(HANDLE userClosed) : channel_(std::make_shared<DialogChannel>(userClosed)) {}

void ProgressDialog::Start(HINSTANCE instance) {
  if (thread_) return;
  auto* start = new DialogStart{instance, channel_};
  thread_.reset(CreateThread(nullptr, 0, DialogThreadProc, start, 0, nullptr));
  if (!thread_) {
    delete start;
    channel_->MarkSettled();
  }
}

bool ProgressDialog::WaitUntilShown(DWORD timeoutMs) const {
  if (HANDLE settled = channel_->settledEvent()) WaitForSingleObject(settled, timeoutMs);
  return channel_->window() != nullptr;
}

bool ProgressDialog::EndAndWait(DWORD timeoutMs) {
  channel_->RequestEnd();
  if (!thread_) return true;
  const DWORD start = GetTickCount();
  for (;;) {
    if (WaitForSingleObject(thread_.get(), kEndPollMs) == WAIT_OBJECT_0) return true;
    // Hiding the window can keep the dialog's thread busy (under Wine on a display without a
    // window manager EndDialog takes 2 s); once hidden, the dialog is off the screen.
    if (channel_->ending() && !IsWindowVisible(channel_->window())) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
  }
}

INT_PTR CALLBACK DownloadDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* channel = reinterpret_cast<DialogChannel*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      SetWindowTextW(dialog, kWindowText);
      const bool endRequested = channel && channel->Publish(dialog);
      if (channel) channel->MarkSettled();
      if (endRequested) EndItself(dialog, channel);
      return TRUE;
    }
    case kSetPositionMessage:
      SendDlgItemMessageW(dialog, IDC_PROGRESS, PBM_SETPOS, wParam, 0);
      return TRUE;
    case kEndMessage:
      EndItself(dialog, reinterpret_cast<DialogChannel*>(GetWindowLongPtrW(dialog, DWLP_USER)));
      return TRUE;
    case WM_CLOSE: {
      // The run reads the close and ends through its own end; the dialog goes at once.
      auto* channel = reinterpret_cast<DialogChannel*>(GetWindowLongPtrW(dialog, DWLP_USER));
      if (channel) channel->MarkClosedByUser();
      EndItself(dialog, channel);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

}  // namespace orv
