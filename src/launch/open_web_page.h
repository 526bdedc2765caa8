#pragma once
#include <string>

#include "base/status.h"

namespace orv {

// A failure, nothing opened, when url is not an http or https address (ERROR_INVALID_PARAMETER)
// or the desktop's shell cannot be reached or refuses it (its HRESULT: Explorer not running, or
// the stub elevated with another account's credentials); the detail says which, for the log.
// Otherwise url opened through the desktop shell's automation interfaces (ShellWindows, desktop
// view, IShellDispatch2), so that the browser runs as the desktop user, never by this elevated
// process through the user's own handlers. Initialises COM on the thread if needed.
[[nodiscard]] Status OpenWebPageAsDesktopUser(const std::wstring& url);

}  // namespace orv
