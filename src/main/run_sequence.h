#pragma once
#include <windows.h>

#include <cstdint>

#include "main/endpoints.h"

// Runs the whole setup: single-instance guard, configuration, download, checksum, installer
// launch and outcome. Returns the process exit code: 0 when another stub runs, an error code
// (1, 3, 4, 5, 6, 7) after the error box, otherwise the installer's exit code.
uint32_t RunSetup(HINSTANCE instance, const wchar_t* commandLine, const Endpoints& endpoints);
