#pragma once
// Whether a run shows its windows (the progress dialog, the error box) or runs unattended, and why.
#include <cstdint>
#include <string>
#include <vector>

#include "base/log_sink.h"
#include "base/status.h"

namespace orv {

// The window station's flag that says a user can see its desktops (WSF_VISIBLE).
inline constexpr uint32_t kWindowStationVisible = 0x0001;

// What the process's window station says about itself.
struct WindowStation {
  std::wstring name;   // e.g. "WinSta0" for the user's own, "Service-0x0-3e7$" for the system account
  uint32_t flags = 0;  // its UOI_FLAGS flags
};

// A failure with the platform's code when the process has no window station or its flags cannot
// be read; otherwise the window station the process runs in.
[[nodiscard]] Result<WindowStation> ReadProcessWindowStation();

// Why a run is silent: neither reason makes a run that shows its windows.
struct SilentDecision {
  bool bySwitch = false;         // "-silent" on the command line
  bool byWindowStation = false;  // the window station is not visible to a user
  std::wstring windowStation;    // its name, when it was read
  Status stationReading;         // why the window station could not be read, or success
  bool silent() const { return bySwitch || byWindowStation; }
};

// Silent when silentSwitch is set or station was read without kWindowStationVisible. A window
// station that cannot be read counts as visible: a process without one cannot show a window, so
// trying to is harmless, where a user at the screen would otherwise see nothing.
SilentDecision DecideSilent(bool silentSwitch, const Result<WindowStation>& station);

// One line of the log.
struct LogEntry {
  LogLevel level;
  std::string message;
};

// The lines that open the log after the start line: none for a run that shows its windows and
// read its window station; "Silent run: " and the reasons for a silent one; a Warning with the
// platform's code when the window station could not be read.
std::vector<LogEntry> SilentDecisionLines(const SilentDecision& decision);

}  // namespace orv
