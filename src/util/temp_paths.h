#pragma once
#include <memory>

// A new unique download name in the user's temporary folder: the platform's "orvXXXX.tmp" name
// (whose empty placeholder file it creates) with ".exe" appended. Empty string when the
// platform cannot give the folder or the name.
std::unique_ptr<wchar_t[]> MakeTempInstallerPath();

// The desktop folder of the current user followed by "\Continue installation.lnk". Empty string
// when the desktop folder cannot be found or the name would not fit.
std::unique_ptr<wchar_t[]> ResumeShortcutPath();
