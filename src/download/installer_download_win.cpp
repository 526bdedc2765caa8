#include "download/installer_download.h"

#include <windows.h>
#include <urlmon.h>
#include <wininet.h>

#include <utility>

#include "config/stub_config.h"
#include "download/callback_handler.h"
#include "download/download_size_limit.h"
#include "download/download_watch.h"
#include "download/urlmon_download.h"
#include "util/com_scope.h"
#include "util/unique_handle.h"

namespace orv {

static_assert(INET_E_NO_SESSION == static_cast<HRESULT>(0x800C0003u) &&
                  INET_E_CANNOT_CONNECT == static_cast<HRESULT>(0x800C0004u) &&
                  INET_E_RESOURCE_NOT_FOUND == static_cast<HRESULT>(0x800C0005u) &&
                  INET_E_DATA_NOT_AVAILABLE == static_cast<HRESULT>(0x800C0007u) &&
                  INET_E_DOWNLOAD_FAILURE == static_cast<HRESULT>(0x800C0008u) &&
                  INET_E_CONNECTION_TIMEOUT == static_cast<HRESULT>(0x800C000Bu) &&
                  INET_E_CANNOT_LOAD_DATA == static_cast<HRESULT>(0x800C000Fu) &&
                  INET_E_REDIRECT_FAILED == static_cast<HRESULT>(0x800C0014u),
              "IsNetworkFailure lists these codes by value");
static_assert(ERROR_INTERNET_TIMEOUT == 12002 && ERROR_INTERNET_NAME_NOT_RESOLVED == 12007 &&
                  ERROR_INTERNET_CANNOT_CONNECT == 12029 && ERROR_INTERNET_CONNECTION_ABORTED == 12030 &&
                  ERROR_INTERNET_CONNECTION_RESET == 12031 && ERROR_HTTP_INVALID_SERVER_RESPONSE == 12152,
              "IsNetworkFailure lists the HRESULTs of these codes by value");

namespace {

// A download that reports nothing for this long before the end of its data (a stalled or broken
// connection, which the download service may wait on for ever) is given up.
constexpr uint32_t kSilenceLimitMs = 30000;
constexpr DWORD kWatchIntervalMs = 250;

// What the download thread works on; shared with the caller, who may give the download up and
// leave the thread running.
struct DownloadJob {
  std::wstring url;
  std::wstring path;
  std::shared_ptr<DownloadWatch> watch;
  uint64_t sizeLimit = 0;
  HRESULT result = E_PENDING;
};

void Download(DownloadJob& job) {
  const ComScope com;
  // The handler is never freed: the download service may keep it, and it lives until the process ends.
  job.result = DownloadUrlToFile(job.url.c_str(), job.path.c_str(), new CallbackHandler(job.watch, job.sizeLimit));
}

DWORD WINAPI DownloadThreadProc(LPVOID parameter) {
  const std::unique_ptr<std::shared_ptr<DownloadJob>> job(static_cast<std::shared_ptr<DownloadJob>*>(parameter));
  Download(**job);
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

DownloadResult DownloadInstallerOnce(const std::wstring& url, const std::wstring& path,
                                     std::unique_ptr<ProgressSink> sink, std::optional<uint64_t> configuredSize, HANDLE userClosed) {
  auto watch = std::make_shared<DownloadWatch>(std::move(sink), GetTickCount());
  auto job = std::make_shared<DownloadJob>();
  job->url = url;
  job->path = path;
  job->watch = watch;
  job->sizeLimit = DownloadSizeLimit(configuredSize);

  auto* threadJob = new std::shared_ptr<DownloadJob>(job);
  UniqueHandle thread{CreateThread(nullptr, 0, DownloadThreadProc, threadJob, 0, nullptr)};
  DownloadResult result;
  if (!thread) {
    delete threadJob;
    Download(*job);
  } else {
    const HANDLE waited[] = {thread.get(), userClosed};
    const DWORD count = userClosed ? 2 : 1;
    for (;;) {
      const DWORD woken = WaitForMultipleObjects(count, waited, FALSE, kWatchIntervalMs);
      if (woken == WAIT_OBJECT_0) break;
      if (woken == WAIT_OBJECT_0 + 1) {
        watch->GiveUp();
        result.closedByUser = true;
        return result;
      }
      if (watch->GiveUpIfSilent(GetTickCount(), kSilenceLimitMs)) {
        result.hresult = INET_E_CONNECTION_TIMEOUT;
        result.stalled = true;
        result.httpStatus = watch->httpStatus();
        return result;
      }
    }
  }
  result.hresult = job->result == S_OK ? CheckDownloadedSize(path.c_str(), configuredSize) : job->result;
  result.httpStatus = watch->httpStatus();
  return result;
}

}  // namespace orv
