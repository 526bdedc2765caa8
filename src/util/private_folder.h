#pragma once
#include <windows.h>

#include <string>

#include "util/unique_handle.h"

namespace orv {

// A folder of the stub's own, made fresh under a parent that others may write (the user's
// temporary folder) and held open while the stub uses it, so that nobody can rename or delete it
// and put a link to somewhere else in its place.
class PrivateFolder {
 public:
  // False when no fresh folder could be made under parent (an existing name is never reused) or
  // when what was made is not a plain folder; GetLastError() tells why. With adminsOnly, its access
  // list lets only Administrators and SYSTEM write and inherits nothing from parent.
  [[nodiscard]] bool Create(const std::wstring& parent, const std::wstring& prefix, bool adminsOnly);
  // "" before Create() succeeds; then the folder's path, ending in a backslash.
  const std::wstring& path() const { return path_; }
  // False when the folder could not be removed (files left in it, or it was never made); else the
  // hold is released and the empty folder removed.
  [[nodiscard]] bool Remove();

 private:
  std::wstring path_;
  UniqueHandle hold_;
};

// The access list a folder of adminsOnly gets, in the platform's descriptor language: Administrators
// and SYSTEM full control, Users read and execute, inherited by what the folder holds, protected.
extern const wchar_t kAdminsOnlyFolderSddl[];

// True when this process's token is elevated.
bool ProcessIsElevated();

// A folder of a fixed name under a parent that only administrators may write (the program files
// folder), for files that must outlive the run and that the user's own processes must not be able
// to replace or plant a DLL beside.

// False, GetLastError() set, when folder cannot be made, is a link or other reparse point or not a
// directory (ERROR_CANT_ACCESS_FILE), or cannot be given Administrators as owner and the
// administrators-only access list (ERROR_ACCESS_DENIED and the like: the process is not elevated).
// Otherwise folder exists, made or adopted, owned by Administrators, writable only by them and SYSTEM.
[[nodiscard]] bool SecureAdminsOnlyFolder(const std::wstring& folder);

}  // namespace orv
