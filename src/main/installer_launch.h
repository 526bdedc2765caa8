#pragma once
#include <cstdint>
#include <string>

#include "main/endpoints.h"

// What the launch needs from the run.
struct LaunchRequest {
  const wchar_t* installerPath;  // the downloaded, checked installer
  std::wstring version;          // configured version, already validated
  std::wstring commandLine;      // the stub's own command line, without its program name
  bool resumeShortcut;           // a cancellation may leave the resume copy and shortcut
  const Endpoints* endpoints;    // cancellation page and analytics host
};

// Runs the installer with "-id <new id> -v \"<version>\" <command line>", waits for it and acts
// on its exit code (success, cancelled, failed). Returns true with exitCode set to the installer's
// exit code; false (logged) when the installer could not be started or its exit code not read,
// exitCode then unchanged. Calls CoInitialize once in every case: the caller uninitialises COM.
[[nodiscard]] bool LaunchInstallerAndAct(const LaunchRequest& request, uint32_t& exitCode);
