#pragma once
// The environment the elevated installer starts with: built, never inherited. Everything a
// process of the user can set (HKCU\Environment reaches every program of the session, this
// elevated one included) could otherwise choose what the installer and its helpers load and run
// as administrator: PATH, COMSPEC, windir, a .NET profiler (COR_ENABLE_PROFILING with
// COR_PROFILER_PATH), PSModulePath. So the machine's variables come first, then only the
// session's names that describe the user, the user's folders as the platform records them, and
// the run's own temporary folder.
#include <string>
#include <vector>

#include "base/status.h"

namespace orv {

// The session's variables the installer gets: they name the account, its domain, the server
// that logged it on and the terminal session; the platform sets them at logon, and none of them
// is a folder, a search list or a program.
inline constexpr const wchar_t* kSessionUserNames[] = {L"USERNAME",    L"USERDOMAIN",  L"USERDOMAIN_ROAMINGPROFILE",
                                                      L"USERDNSDOMAIN", L"LOGONSERVER", L"SESSIONNAME",
                                                      L"CLIENTNAME"};

// The user's folders as the platform records them (the token's profile, the known folders); an
// empty one is left out of the environment.
struct UserFolders {
  std::wstring profile;         // USERPROFILE; HOMEDRIVE and HOMEPATH are made from it
  std::wstring roamingAppData;  // APPDATA
  std::wstring localAppData;    // LOCALAPPDATA
};

// The parts the environment is made of, as the platform gave them ("name=value" entries).
struct EnvironmentParts {
  std::vector<std::wstring> machine;  // the machine's variables (no user token)
  std::vector<std::wstring> session;  // this process's own environment
  UserFolders folders;
  std::wstring temp;                  // TMP and TEMP
  std::vector<std::wstring> carried;  // further names taken from the session (a test build's settings)
};

// Sorted by name ignoring case, each name once: the machine's variables, but kSessionUserNames and
// carried only from the session, the five folder names only from folders (HOMEDRIVE and HOMEPATH
// for a profile on a drive letter; empty: absent), TMP and TEMP = temp.
std::vector<std::wstring> BuildInstallerEnvironment(const EnvironmentParts& parts);

// Windows only. A failure (the platform's code) when userenv.dll (from System32) or a part cannot
// be read: the machine's variables, the profile, the known folders, this process's environment.
// Otherwise the Unicode block for CreateProcessW of BuildInstallerEnvironment with temp, carried.
[[nodiscard]] Result<std::wstring> InstallerEnvironmentBlock(const std::wstring& temp,
                                                            const std::vector<std::wstring>& carried);

}  // namespace orv
