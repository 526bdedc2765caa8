#pragma once
#include <string>

namespace orv {

// How OpenWebPageAsDesktopUser handed the address on.
enum class WebPageRoute {
  Refused,       // not an http or https address: nothing was opened
  DesktopShell,  // the desktop's shell (Explorer, running as the desktop user) opened it
  ThisProcess,   // the desktop shell was not reachable: ShellExecuteW from this process
};

// Refused, nothing started, unless url passes IsWebUrl. Else opens it through the desktop shell's
// automation interfaces (ShellWindows, desktop view, IShellDispatch2), so the browser runs as the
// desktop user, or, failing that, with ShellExecuteW from this process. Initialises COM if needed.
WebPageRoute OpenWebPageAsDesktopUser(const std::wstring& url);

}  // namespace orv
