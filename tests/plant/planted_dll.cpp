// Stands in for a DLL that an attacker plants beside the stub: copied under the names of system
// DLLs (winhttp.dll, urlmon.dll, ...), it leaves a mark when a process loads it: the file
// "<its own file name>.loaded" in the folder named by ORV_PLANT_MARKS (else beside itself),
// holding the loading program's path. It exports nothing, so a program that uses it fails.
#include <windows.h>

namespace {

// The folder for the marks, ending in a backslash; false when none can be named.
bool MarkFolder(HMODULE self, wchar_t* folder, DWORD capacity) {
  const DWORD length = GetEnvironmentVariableW(L"ORV_PLANT_MARKS", folder, capacity - 1);
  if (length > 0 && length < capacity - 1) {
    if (folder[length - 1] != L'\\') lstrcatW(folder, L"\\");
    return true;
  }
  const DWORD written = GetModuleFileNameW(self, folder, capacity);
  if (written == 0 || written >= capacity) return false;
  for (DWORD i = written; i > 0; --i) {
    if (folder[i - 1] == L'\\') {
      folder[i] = L'\0';
      return true;
    }
  }
  return false;
}

void LeaveMark(HMODULE self) {
  wchar_t own[MAX_PATH] = {};
  wchar_t program[MAX_PATH] = {};
  wchar_t mark[2 * MAX_PATH + 16] = {};
  const DWORD ownLength = GetModuleFileNameW(self, own, MAX_PATH);
  if (ownLength == 0 || ownLength >= MAX_PATH || !MarkFolder(self, mark, MAX_PATH)) return;
  const wchar_t* name = own;
  for (const wchar_t* p = own; *p; ++p) {
    if (*p == L'\\') name = p + 1;
  }
  lstrcatW(mark, name);
  lstrcatW(mark, L".loaded");
  const DWORD programLength = GetModuleFileNameW(nullptr, program, MAX_PATH);
  const HANDLE file = CreateFileW(mark, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, program, programLength * sizeof(wchar_t), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) LeaveMark(instance);
  return TRUE;
}
