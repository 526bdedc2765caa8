#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <windows.h>

#include "download/download_policy.h"
#include "download/progress_step.h"

namespace orv {

// One attempt at downloading url into the file at path with URLDownloadToFileW and a new
// CallbackHandler whose status decisions go to sink. When userClosed is set meanwhile the attempt
// is given up at once (result closedByUser). The download runs on a thread of its
// own (with its own COM apartment) and is watched: when it reports nothing for 30 s before the end
// of its data it is given up (result stalled, the thread left to the process's end). The result
// carries the download's HRESULT and the HTTP status the response gave (0 when none was seen).
// The data may not go past configuredSize (when set) or 4 GiB, and the file must then have exactly
// configuredSize bytes: otherwise E_ABORT or HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE or
// ERROR_INVALID_DATA).
[[nodiscard]] DownloadResult DownloadInstallerOnce(const std::wstring& url, const std::wstring& path,
                                                   std::unique_ptr<ProgressSink> sink,
                                                   std::optional<uint64_t> configuredSize, HANDLE userClosed);

}  // namespace orv
