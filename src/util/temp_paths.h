#pragma once
#include <cstddef>
#include <memory>

// Capacities, in wide characters, of the buffers handed out below.
inline constexpr size_t kTempInstallerPathCapacity = 264;
inline constexpr size_t kResumeShortcutPathCapacity = 261;

// A new unique download name in the user's temporary folder: the platform's "orvXXXX.tmp" name
// (whose empty placeholder file it creates) with ".exe" appended, in a buffer of
// kTempInstallerPathCapacity characters that the caller owns. Empty string when the platform
// cannot give the folder or the name.
std::unique_ptr<wchar_t[]> MakeTempInstallerPath();

// The desktop folder of the current user followed by "\Continue installation.lnk", in a buffer of
// kResumeShortcutPathCapacity characters that the caller owns. Empty string when the desktop
// folder cannot be found or the name would not fit.
std::unique_ptr<wchar_t[]> ResumeShortcutPath();
