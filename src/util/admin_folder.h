#pragma once
#include <string>

namespace orv {

// A folder of a fixed name under a parent that only administrators may write (the program files
// folder), for files that must outlive the run and that the user's own processes must not be able
// to replace or plant a DLL beside.

// False, GetLastError() set, when folder cannot be made, is a link or other reparse point or not a
// directory (ERROR_CANT_ACCESS_FILE), or cannot be given Administrators as owner and the
// administrators-only access list (ERROR_ACCESS_DENIED and the like: the process is not elevated).
// Otherwise folder exists, made or adopted, owned by Administrators, writable only by them and SYSTEM.
[[nodiscard]] bool SecureAdminsOnlyFolder(const std::wstring& folder);

}  // namespace orv
