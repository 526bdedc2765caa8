#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "main/run_ports.h"

namespace orv {

// What the launch needs from the run.
struct InstallerRunRequest {
  std::wstring version;         // configured version, already validated
  std::wstring commandLine;     // the stub's own command line, without its program name
  bool resumeShortcut = false;  // a cancellation may leave the resume copy and shortcut
  std::wstring cancelPageBase;  // the cancellation page's address without the version
  bool openCancelPage = true;   // false in a silent run: nobody is at the screen to read it
  std::wstring analyticsHost;
  bool fromFolder = false;      // an installation from an offline folder: no page, no resume copy, no hit
};

// A failure (logged) when no installation id can be made, the command line is too long, the
// installer cannot be started or its exit code cannot be read. Otherwise runs the installer held
// by installer with "-id <new id> -v \"<version>\" <command line>" (letting the hold
// go once it runs), waits for it and acts on the outcome: success removes the resume shortcut;
// cancelled opens the cancellation page (unless openCancelPage is false) and, with the flag,
// leaves the resume copy of ownImage (none when null); failed sends the failure hit. From an
// offline folder neither page, copy nor hit: a line says so. Gives the installer's exit code.
[[nodiscard]] Result<uint32_t> RunInstallerAndAct(const RunPorts& ports, const InstallerRunRequest& request,
                                                  std::unique_ptr<CheckedInstaller> installer, OwnImage* ownImage);

}  // namespace orv
