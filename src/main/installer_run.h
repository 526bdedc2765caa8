#pragma once
#include <cstdint>
#include <string>

#include "main/run_effects.h"

namespace orv {

// What the launch needs from the run.
struct InstallerRunRequest {
  std::wstring installerPath;   // the downloaded, checked installer
  std::wstring version;         // configured version, already validated
  std::wstring commandLine;     // the stub's own command line, without its program name
  bool resumeShortcut = false;  // a cancellation may leave the resume copy and shortcut
  std::wstring cancelPageBase;  // the cancellation page's address without the version
  std::wstring analyticsHost;
};

// False (logged, exitCode unchanged) when no installation id can be made, the command line is
// too long, the installer cannot be started or its exit code cannot be read. Otherwise runs the
// installer with "-id <new id> -v \"<version>\" <command line>", waits for it, sets exitCode and
// acts on the outcome: success removes the resume shortcut; cancelled opens the cancellation page
// and, with the flag, leaves the resume copy; failed sends the failure hit.
[[nodiscard]] bool RunInstallerAndAct(RunEffects& effects, const InstallerRunRequest& request, uint32_t& exitCode);

}  // namespace orv
