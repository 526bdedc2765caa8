#pragma once
#include <windows.h>

#include <cstdint>

#include "main/endpoints.h"

// The whole run of one stub with the given endpoints and the process's command line (null for
// none); the process exit code (see SetupRun).
uint32_t RunStubEntry(HINSTANCE instance, const wchar_t* commandLine, const Endpoints& endpoints);
