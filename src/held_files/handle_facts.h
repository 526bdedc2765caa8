#pragma once
// What the platform reports about an open handle and about this process, for the checks of
// src/util/final_path.h: the handle's final path, its attributes and owner, and the owners that
// this process's own creations get.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "held_files/final_path.h"

namespace orv {

// The Administrators group's SID in text form.
inline constexpr wchar_t kAdministratorsSid[] = L"S-1-5-32-544";

// A failure (code from GetFinalPathNameByHandleW) when the platform cannot tell; otherwise the
// handle's final path, every link resolved: flags VOLUME_NAME_DOS gives "\\?\C:\...",
// VOLUME_NAME_NT "\Device\HarddiskVolume1\...".
[[nodiscard]] Result<std::wstring> FinalPathOf(HANDLE handle, DWORD flags = VOLUME_NAME_DOS);

// True when the two names are equal as the platform compares file names (ordinal, ignoring case).
bool SameFileName(std::wstring_view first, std::wstring_view second);

// A failure when the attributes, final path or owner of folder cannot be read; otherwise them.
[[nodiscard]] Result<HeldFolderFacts> FolderFactsOf(HANDLE folder);

// Never fails: Administrators, then this process's token owner and user where they can be read:
// the owners that a folder this process makes may turn out to have.
std::vector<std::wstring> OwnOwnerSids();

}  // namespace orv
