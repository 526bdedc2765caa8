#pragma once

namespace orv {

// True when GetFileAttributesW's error code means the path does not exist: file or folder not
// found, invalid drive, drive not ready, bad network path, invalid parameter, invalid or bad name.
bool IsMissingPathError(unsigned long errorCode);

// True when path names an existing file or directory, and also when its attributes cannot be
// read for a reason that does not mean "missing" (access denied, sharing violation, ...).
bool PathExists(const wchar_t* path);

}  // namespace orv
