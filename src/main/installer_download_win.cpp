#include "main/installer_download.h"

#include <objbase.h>
#include <urlmon.h>

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
  HRESULT result = E_PENDING;
};

HRESULT Download(const DownloadJob& job) {
  // The handler is never freed: the download service may keep it, and it lives until the process ends.
  return URLDownloadToFileW(nullptr, job.url.c_str(), job.path.c_str(), 0, new CallbackHandler());
}

DWORD WINAPI DownloadThreadProc(LPVOID parameter) {
  auto* job = static_cast<DownloadJob*>(parameter);
  // The download service is a COM component: give it an apartment on its own thread.
  const HRESULT com = CoInitialize(nullptr);
  job->result = Download(*job);
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

}  // namespace

HRESULT DownloadInstaller(const std::wstring& url, const wchar_t* path) {
  if (!path) return E_INVALIDARG;
  // Once the dialog is up every status reaches it; without it the download goes on regardless.
  (void)WaitForProgressDialog(kDialogWaitMs);
  auto* job = new DownloadJob{url, path};
  NoteDownloadStart();
  UniqueHandle thread{CreateThread(nullptr, 0, DownloadThreadProc, job, 0, nullptr)};
  if (!thread) {
    const HRESULT result = Download(*job);
    delete job;
    return result;
  }
  while (WaitForSingleObject(thread.get(), kWatchIntervalMs) == WAIT_TIMEOUT) {
    if (GiveUpDownloadIfSilentFor(kSilenceLimitMs)) return INET_E_CONNECTION_TIMEOUT;
  }
  const HRESULT result = job->result;
  delete job;
  return result;
}
