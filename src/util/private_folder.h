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

}  // namespace orv
