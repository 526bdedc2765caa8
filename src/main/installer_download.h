#pragma once
#include <windows.h>

#include <string>

// Downloads url into the file at path with URLDownloadToFileW and a new CallbackHandler that
// feeds the progress dialog. Returns the download's HRESULT (S_OK on success).
[[nodiscard]] HRESULT DownloadInstaller(const std::wstring& url, const wchar_t* path);
