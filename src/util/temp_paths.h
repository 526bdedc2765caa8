#pragma once
#include <cstddef>
#include <memory>

namespace orv {

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
