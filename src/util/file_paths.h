#pragma once
#include <cstddef>
#include <memory>
#include <string>

namespace orv {

// True when GetFileAttributesW's error code means the path does not exist: file or folder not
// found, invalid drive, drive not ready, bad network path, invalid parameter, invalid or bad name.
bool IsMissingPathError(unsigned long errorCode);

// True when path names an existing file or directory, and also when its attributes cannot be
// read for a reason that does not mean "missing" (access denied, sharing violation, ...).
bool PathExists(const wchar_t* path);

// False when either path cannot be opened (a missing file included) or they are different files;
// true when both name one file, however they are spelled (case, short names, links).
bool IsSameFile(const std::wstring& first, const std::wstring& second);

// Capacity, in wide characters, of the buffer handed out below.
inline constexpr size_t kTempInstallerPathCapacity = 264;

// A new unique download name in the user's temporary folder: the platform's "orvXXXX.tmp" name
// (whose empty placeholder file it creates) with ".exe" appended, in a buffer of
// kTempInstallerPathCapacity characters that the caller owns. Empty string when the platform
// cannot give the folder or the name.
std::unique_ptr<wchar_t[]> MakeTempInstallerPath();

// As MakeTempInstallerPath, but the name is made in folder (which must exist) instead of the
// temporary folder. Empty string when the platform cannot give a name there or it does not fit.
std::unique_ptr<wchar_t[]> MakeTempInstallerPathIn(const wchar_t* folder);

}  // namespace orv
