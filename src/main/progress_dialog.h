#pragma once
#include <windows.h>

// The progress dialog's window and its progress bar; null until the dialog has initialised.
extern HWND volatile g_hDialog;
extern HWND volatile g_hProgress;

// Starts the dialog thread (DialogThreadProc with the module instance). Failures are ignored:
// the download then runs without a visible dialog.
void StartProgressDialog(HINSTANCE instance);

// Thread routine: runs the modal progress dialog until it is ended; returns 0.
DWORD WINAPI DialogThreadProc(LPVOID instance);

// Dialog procedure: publishes the handles on WM_INITDIALOG, ends the process (exit code 0) on WM_CLOSE.
INT_PTR CALLBACK DownloadDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Waits at most timeoutMs milliseconds until the dialog started by StartProgressDialog has
// published its handles or has failed to open. True when g_hDialog is set.
[[nodiscard]] bool WaitForProgressDialog(DWORD timeoutMs);

// Ends the progress dialog with result 0. When the dialog has not initialised yet, it ends itself
// as soon as it does, so an early end of the download never leaves it open.
void EndProgressDialog();
