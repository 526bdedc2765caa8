#include "launch/installer_environment.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <cwchar>

#include "base/last_error.h"
#include "base/system_library.h"
#include "base/unique_handle.h"
#include "launch/environment_block.h"

namespace orv {
namespace {

// The userenv.dll functions, taken from System32 at run time: userenv.dll is not one of the
// DLLs Windows always loads from System32, so the program does not import it.
struct UserEnvApi {
  bool loaded = false;  // every pointer below is set; false: all are null
  BOOL(WINAPI* CreateBlock)(void** block, HANDLE token, BOOL inherit) = nullptr;
  BOOL(WINAPI* DestroyBlock)(void* block) = nullptr;
  BOOL(WINAPI* ProfileFolder)(HANDLE token, wchar_t* folder, DWORD* size) = nullptr;
};

UserEnvApi LoadUserEnv() {
  UserEnvApi api;
  const HMODULE module = LoadSystemLibrary(L"userenv.dll");
  const bool all = BindProcedure(module, "CreateEnvironmentBlock", api.CreateBlock) &&
                   BindProcedure(module, "DestroyEnvironmentBlock", api.DestroyBlock) &&
                   BindProcedure(module, "GetUserProfileDirectoryW", api.ProfileFolder);
  if (!all) return UserEnvApi{};
  api.loaded = true;
  return api;
}

// Loaded on first use (thread-safe) and never unloaded.
const UserEnvApi& UserEnv() {
  static const UserEnvApi api = LoadUserEnv();
  return api;
}

// A block CreateEnvironmentBlock made: freed with DestroyEnvironmentBlock.
struct MadeEnvironmentTraits {
  using Handle = void*;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle block) { return block != nullptr; }
  static void Close(Handle block) { UserEnv().DestroyBlock(block); }
};

// The block GetEnvironmentStringsW handed out: freed with FreeEnvironmentStringsW.
struct EnvironmentStringsTraits {
  using Handle = wchar_t*;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle block) { return block != nullptr; }
  static void Close(Handle block) { FreeEnvironmentStringsW(block); }
};

// Text the shell allocated: freed with CoTaskMemFree.
struct TaskMemoryTraits {
  using Handle = wchar_t*;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle text) { return text != nullptr; }
  static void Close(Handle text) { CoTaskMemFree(text); }
};

// The entries of a block that ends with an empty string.
std::vector<std::wstring> EntriesOf(const wchar_t* block) {
  const wchar_t* end = block;
  while (end[0] != L'\0' || (end != block && end[-1] != L'\0')) ++end;
  return SplitEnvironmentBlock(std::wstring_view(block, static_cast<size_t>(end - block)));
}

Result<std::wstring> ProfileFolder() {
  UniqueHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.out())) return LastErrorStatus("Cannot open the token");
  DWORD size = 0;
  if (UserEnv().ProfileFolder(token.get(), nullptr, &size) || GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) {
    return LastErrorStatus("Cannot read the profile folder's length");
  }
  std::wstring folder(size, L'\0');
  if (!UserEnv().ProfileFolder(token.get(), &folder[0], &size)) return LastErrorStatus("Cannot read the profile folder");
  folder.resize(wcsnlen(folder.c_str(), folder.size()));
  return folder;
}

Result<std::wstring> KnownFolder(const KNOWNFOLDERID& id) {
  UniqueResource<TaskMemoryTraits> path;
  const HRESULT found = SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, path.out());
  if (FAILED(found)) return Status::Failure(static_cast<uint32_t>(found), "Cannot read a known folder");
  return std::wstring(path.get());
}

}  // namespace

Result<std::wstring> InstallerEnvironmentBlock(const std::wstring& temp, const std::vector<std::wstring>& carried) {
  if (!UserEnv().loaded) return Status::Failure(ERROR_MOD_NOT_FOUND, "Cannot load userenv.dll from System32");
  EnvironmentParts parts;
  {
    UniqueResource<MadeEnvironmentTraits> machine;
    if (!UserEnv().CreateBlock(machine.out(), nullptr, FALSE)) return LastErrorStatus("Cannot make the machine's environment");
    parts.machine = EntriesOf(static_cast<const wchar_t*>(machine.get()));
  }
  {
    const UniqueResource<EnvironmentStringsTraits> session{GetEnvironmentStringsW()};
    if (!session) return LastErrorStatus("Cannot read the environment");
    parts.session = EntriesOf(session.get());
  }
  Result<std::wstring> profile = ProfileFolder();
  if (!profile.ok()) return profile.status();
  Result<std::wstring> roaming = KnownFolder(FOLDERID_RoamingAppData);
  if (!roaming.ok()) return roaming.status();
  Result<std::wstring> local = KnownFolder(FOLDERID_LocalAppData);
  if (!local.ok()) return local.status();
  parts.folders = UserFolders{std::move(*profile), std::move(*roaming), std::move(*local)};
  parts.temp = temp;
  parts.carried = carried;
  return JoinEnvironmentBlock(BuildInstallerEnvironment(parts));
}

}  // namespace orv
