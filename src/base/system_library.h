#pragma once
#include <windows.h>

namespace orv {

// False, the current folder at least taken out of the search, when SetDefaultDllDirectories is
// missing (Windows 7 without KB2533623); else every later DLL load searches System32 only. Then
// loads kPreloadedSystemDlls from System32, for loaders that ignore the restriction (Wine's).
[[nodiscard]] bool RestrictDllSearchToSystem32();

// Non-KnownDLLs that system components load by plain name after the entry function (comctl32's
// delay-load of uxtheme; winhttp's and wintrust's crypt32); once loaded from System32, such a load
// finds that copy.
inline constexpr const wchar_t* kPreloadedSystemDlls[] = {L"uxtheme.dll", L"version.dll", L"crypt32.dll"};

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

}  // namespace orv
