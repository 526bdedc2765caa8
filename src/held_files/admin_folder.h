#pragma once
// Folders that only administrators may write, under a parent that only administrators may write
// (the program files folder), for files that must outlive the run (the resume copy) or that the
// elevated run downloads, checks and starts: the user's own processes must not be able to
// replace them or plant a DLL beside them.
#include <string>

#include "base/status.h"

namespace orv {

// The access list such a folder gets, in the platform's descriptor language: Administrators and
// SYSTEM full control, Users read and execute, inherited by what the folder holds, protected.
extern const wchar_t kAdminsOnlyFolderSddl[];

// The same with owner Administrators: an owner may always rewrite the list, so a folder is only
// safe once Administrators own it.
std::wstring AdminsOwnedFolderSddl();

// A failure (the platform's code) when folder cannot be made, is a link or other reparse point or
// not a directory (ERROR_CANT_ACCESS_FILE), or cannot be given Administrators as owner and the
// administrators-only access list (ERROR_ACCESS_DENIED and the like: the process is not
// elevated). Otherwise folder exists, made or adopted, owned by Administrators, writable only by
// them and SYSTEM.
[[nodiscard]] Status SecureAdminsOnlyFolder(const std::wstring& folder);

}  // namespace orv
