#pragma once
#include <string>

// How OpenWebPageAsDesktopUser handed the address on.
enum class WebPageRoute {
  Refused,       // not an http or https address: nothing was opened
  DesktopShell,  // the desktop's shell (Explorer, running as the desktop user) opened it
  ThisProcess,   // the desktop shell was not reachable: ShellExecuteW from this process
};

// Opens url in the user's browser. Refused, nothing started, unless url passes IsWebUrl. Else
// asks the shell of the desktop, through its automation interfaces (ShellWindows, the desktop
// view, IShellDispatch2::ShellExecute), so that the browser runs as the desktop user and not
// elevated; falls back to ShellExecuteW (default verb) from this process when any step fails. Initialises
// COM on the calling thread for the call when needed. Whether the browser starts is not reported.
WebPageRoute OpenWebPageAsDesktopUser(const std::wstring& url);
