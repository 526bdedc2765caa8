#pragma once
#include <windows.h>

// Writes (or replaces) the shell link at shortcutPath pointing at target, with the description
// "Continue installation of Orvandel" and nothing else set. COM must already be initialised on
// the calling thread. Returns a negative HRESULT when the link object cannot be created or
// saved, or when a link or a file with more than one name stands at shortcutPath (refused, left
// as it is; GetLastError() tells why), otherwise the result of the save.
[[nodiscard]] HRESULT CreateResumeShortcut(const wchar_t* target, const wchar_t* shortcutPath);
