#include "main/progress_dialog.h"

HWND volatile g_hDialog = nullptr;
HWND volatile g_hProgress = nullptr;

void StartProgressDialog(HINSTANCE) {}
DWORD WINAPI DialogThreadProc(LPVOID) { return 0; }
INT_PTR CALLBACK DownloadDlgProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
