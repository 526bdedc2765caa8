#pragma once
#include <windows.h>
#include <urlmon.h>

// URLDownloadToFileW (no caller object, no options) of System32's urlmon.dll, which is loaded at
// run time instead of imported (it is not one of the DLLs Windows always loads from System32).
// HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) when urlmon.dll or the function cannot be loaded;
// otherwise the download's own result.
[[nodiscard]] HRESULT DownloadUrlToFile(const wchar_t* url, const wchar_t* path, IBindStatusCallback* callback);
