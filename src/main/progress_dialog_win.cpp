#include "main/progress_dialog.h"

#include <atomic>

#include "resource.h"
#include "util/unique_handle.h"

HWND volatile g_hDialog = nullptr;
HWND volatile g_hProgress = nullptr;

namespace {

constexpr wchar_t kWindowText[] = L"Downloading ORV Installer...";

// Signalled once the dialog has published its handles, or once it can no longer do so.
UniqueHandle g_dialogSettled;

// Set when the end of the download was reported; read by a dialog that initialises late.
std::atomic<bool> g_endRequested{false};

void MarkSettled() {
  if (g_dialogSettled) SetEvent(g_dialogSettled.get());
}

}  // namespace

void StartProgressDialog(HINSTANCE instance) {
  g_dialogSettled.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  // The thread handle is deliberately left open: the thread is never waited for.
  if (!CreateThread(nullptr, 0, DialogThreadProc, instance, 0, nullptr)) MarkSettled();
}

DWORD WINAPI DialogThreadProc(LPVOID instance) {
  DialogBoxParamW(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEW(IDD_DOWNLOAD), nullptr, DownloadDlgProc, 0);
  MarkSettled();
  return 0;
}

INT_PTR CALLBACK DownloadDlgProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      g_hDialog = dialog;
      g_hProgress = GetDlgItem(dialog, IDC_PROGRESS);
      SetWindowTextW(dialog, kWindowText);
      std::atomic_thread_fence(std::memory_order_seq_cst);
      if (g_endRequested.load()) EndDialog(dialog, 0);
      MarkSettled();
      return TRUE;
    case WM_CLOSE:
      ExitProcess(0);
    default:
      return FALSE;
  }
}

bool WaitForProgressDialog(DWORD timeoutMs) {
  if (g_dialogSettled) WaitForSingleObject(g_dialogSettled.get(), timeoutMs);
  return g_hDialog != nullptr;
}

void EndProgressDialog() {
  g_endRequested.store(true);
  std::atomic_thread_fence(std::memory_order_seq_cst);
  HWND dialog = g_hDialog;
  if (dialog) EndDialog(dialog, 0);
}
