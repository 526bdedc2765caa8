#include "main/installer_download.h"

#include <objbase.h>
#include <urlmon.h>

#include "http/download_size_limit.h"
#include "http/urlmon_download.h"
#include "main/callback_handler.h"
#include "main/installer_download_guard.h"
#include "main/progress_dialog.h"
#include "util/unique_handle.h"

namespace {

// How long the download waits for the progress dialog to come up before it starts without it.
constexpr DWORD kDialogWaitMs = 5000;
// A download that reports nothing for this long (a stalled or broken connection, which the
// download service may wait on for ever) is given up as failed.
constexpr uint32_t kSilenceLimitMs = 30000;
constexpr DWORD kWatchIntervalMs = 250;

// What the download thread works on. It is left to the thread, and so never freed, when the
// download is given up.
struct DownloadJob {
  std::wstring url;
  std::wstring path;
  uint64_t sizeLimit;
  HRESULT result = E_PENDING;
};

HRESULT Download(const DownloadJob& job) {
  // The handler is never freed: the download service may keep it, and it lives until the process ends.
  return DownloadUrlToFile(job.url.c_str(), job.path.c_str(), new CallbackHandler(job.sizeLimit));
}

DWORD WINAPI DownloadThreadProc(LPVOID parameter) {
  auto* job = static_cast<DownloadJob*>(parameter);
  // The download service is a COM component: give it an apartment on its own thread.
  const HRESULT com = CoInitialize(nullptr);
  job->result = Download(*job);
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

// S_OK when the downloaded file's size is acceptable (the progress reports may miss the end).
HRESULT CheckDownloadedSize(const wchar_t* path, std::optional<uint64_t> configuredSize) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return HRESULT_FROM_WIN32(GetLastError());
  const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  if (DownloadSizeAcceptable(size, configuredSize)) return S_OK;
  return HRESULT_FROM_WIN32(size > DownloadSizeLimit(configuredSize) ? ERROR_FILE_TOO_LARGE : ERROR_INVALID_DATA);
}

}  // namespace

HRESULT DownloadInstaller(const std::wstring& url, const wchar_t* path, std::optional<uint64_t> configuredSize) {
  if (!path) return E_INVALIDARG;
  // Once the dialog is up every status reaches it; without it the download goes on regardless.
  (void)WaitForProgressDialog(kDialogWaitMs);
  auto* job = new DownloadJob{url, path, DownloadSizeLimit(configuredSize)};
  NoteDownloadStart();
  UniqueHandle thread{CreateThread(nullptr, 0, DownloadThreadProc, job, 0, nullptr)};
  if (!thread) {
    const HRESULT result = Download(*job);
    delete job;
    return result == S_OK ? CheckDownloadedSize(path, configuredSize) : result;
  }
  while (WaitForSingleObject(thread.get(), kWatchIntervalMs) == WAIT_TIMEOUT) {
    if (GiveUpDownloadIfSilentFor(kSilenceLimitMs)) return INET_E_CONNECTION_TIMEOUT;
  }
  const HRESULT result = job->result;
  delete job;
  return result == S_OK ? CheckDownloadedSize(path, configuredSize) : result;
}
