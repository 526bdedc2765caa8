#pragma once
#include <windows.h>
#include <urlmon.h>

namespace orv {

// HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) when System32's urlmon.dll (loaded at run time, not
// imported: it is no KnownDLL) cannot be loaded; else URLDownloadToFileW's own result.
[[nodiscard]] HRESULT DownloadUrlToFile(const wchar_t* url, const wchar_t* path, IBindStatusCallback* callback);

}  // namespace orv
