#pragma once
#include <windows.h>

// Restricts where this process looks for DLLs loaded from now on to System32, so that a DLL
// planted beside the program (the Downloads folder) or in the current folder is never loaded.
// False when the system lacks SetDefaultDllDirectories (Windows 7 without KB2533623) or refuses
// it; the current folder is then at least taken out of the search. Either way it then loads the
// DLLs of kPreloadedSystemDlls from System32, so that a later load of one of them by plain name,
// through a path that ignores the restriction (Wine's delay-loads), finds System32's copy loaded.
[[nodiscard]] bool RestrictDllSearchToSystem32();

// Non-KnownDLLs that system components of this program load by name after the entry function.
inline constexpr const wchar_t* kPreloadedSystemDlls[] = {L"uxtheme.dll", L"version.dll"};

// The DLL of that file name (e.g. L"winhttp.dll") loaded from System32 and nowhere else.
// Null, with GetLastError() set, when it cannot be loaded from there.
HMODULE LoadSystemLibrary(const wchar_t* fileName);

// Sets slot to the procedure name exported by module, typed as slot's function pointer type.
// False, slot null, when module is null or does not export it.
template <typename Function>
[[nodiscard]] bool BindProcedure(HMODULE module, const char* name, Function& slot) {
  const FARPROC procedure = module ? GetProcAddress(module, name) : nullptr;
  slot = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(procedure));
  return slot != nullptr;
}
