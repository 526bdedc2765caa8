#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

// Downloads url into the file at path with URLDownloadToFileW and a new CallbackHandler that
// feeds the progress dialog. Waits up to 5 s for the dialog to come up first. The download runs
// on a thread of its own; when it reports nothing for 30 s it is given up with
// INET_E_CONNECTION_TIMEOUT (and left to the process's end). Returns the download's HRESULT
// (S_OK on success). The data may not go past configuredSize (when set) or 4 GiB, and the file
// must then have exactly configuredSize bytes: otherwise E_ABORT or HRESULT_FROM_WIN32
// (ERROR_FILE_TOO_LARGE or ERROR_INVALID_DATA).
[[nodiscard]] HRESULT DownloadInstaller(const std::wstring& url, const wchar_t* path,
                                        std::optional<uint64_t> configuredSize = std::nullopt);
