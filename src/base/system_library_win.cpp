#include "base/system_library.h"

#include <string>

namespace orv {

namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

// Path of fileName in System32; empty when the folder cannot be read.
std::wstring System32Path(const wchar_t* fileName) {
  wchar_t folder[MAX_PATH + 1] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return {};
  return std::wstring(folder, length) + L"\\" + fileName;
}

}  // namespace

bool RestrictDllSearchToSystem32() {
  // Looked up, not imported: the program must still start where the function is missing.
  SetDefaultDllDirectoriesFunction restrict = nullptr;
  const bool found = BindProcedure(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories", restrict);
  const bool restricted = found && restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!restricted) SetDllDirectoryW(L"");
  // Kept loaded until the process ends.
  for (const wchar_t* name : kPreloadedSystemDlls) static_cast<void>(LoadSystemLibrary(name));
  return restricted;
}

HMODULE LoadSystemLibrary(const wchar_t* fileName) {
  if (fileName == nullptr || *fileName == L'\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HMODULE module = LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  // Systems without the search flags: the full path still names System32's copy.
  const std::wstring path = System32Path(fileName);
  if (path.empty()) return nullptr;
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace orv
