#pragma once
#include <cstddef>
#include <string>

#include "base/status.h"

namespace orv {

// True when GetFileAttributesW's error code means the path does not exist: file or folder not
// found, invalid drive, drive not ready, bad network path, invalid parameter, invalid or bad name.
bool IsMissingPathError(unsigned long errorCode);

// True when path names an existing file or directory, and also when its attributes cannot be
// read for a reason that does not mean "missing" (access denied, sharing violation, ...).
bool PathExists(const wchar_t* path);

// A new download name in folder (which must exist and end in a backslash): the platform's unique
// "orvXXXX.tmp" name, whose empty placeholder file it creates, with ".exe" appended. A failure
// (the platform's code) when no name can be made there, or when folder is too long for one.
[[nodiscard]] Result<std::wstring> MakeDownloadPathIn(const std::wstring& folder);

}  // namespace orv
