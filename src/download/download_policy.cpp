#include "download/download_policy.h"

namespace orv {

namespace {

// The download service's failures that a later attempt may not meet again, by value so that the
// policy builds on any platform (their names are checked where the service is called).
constexpr uint32_t kNetworkFailures[] = {
    0x800C0003u,  // INET_E_NO_SESSION
    0x800C0004u,  // INET_E_CANNOT_CONNECT
    0x800C0005u,  // INET_E_RESOURCE_NOT_FOUND (the server's name did not resolve)
    0x800C0007u,  // INET_E_DATA_NOT_AVAILABLE
    0x800C0008u,  // INET_E_DOWNLOAD_FAILURE
    0x800C000Bu,  // INET_E_CONNECTION_TIMEOUT
    0x800C000Fu,  // INET_E_CANNOT_LOAD_DATA
    0x800C0014u,  // INET_E_REDIRECT_FAILED
    0x80072EE2u,  // HRESULT of ERROR_INTERNET_TIMEOUT
    0x80072EE7u,  // HRESULT of ERROR_INTERNET_NAME_NOT_RESOLVED
    0x80072EFDu,  // HRESULT of ERROR_INTERNET_CANNOT_CONNECT
    0x80072EFEu,  // HRESULT of ERROR_INTERNET_CONNECTION_ABORTED
    0x80072EFFu,  // HRESULT of ERROR_INTERNET_CONNECTION_RESET
    0x80072F78u,  // HRESULT of ERROR_HTTP_INVALID_SERVER_RESPONSE
};

}  // namespace

bool IsNetworkFailure(int32_t hresult) {
  const uint32_t code = static_cast<uint32_t>(hresult);
  for (const uint32_t failure : kNetworkFailures) {
    if (failure == code) return true;
  }
  return false;
}

DownloadVerdict JudgeDownload(const DownloadResult& result) {
  if (result.httpStatus >= 500 && result.httpStatus <= 599) return DownloadVerdict::Retry;
  if (result.httpStatus >= 400) return DownloadVerdict::Fail;
  if (result.stalled) return DownloadVerdict::Retry;
  if (result.hresult == 0) return DownloadVerdict::Done;
  return IsNetworkFailure(result.hresult) ? DownloadVerdict::Retry : DownloadVerdict::Fail;
}

uint32_t RetryDelayMs(int failedAttempt) {
  switch (failedAttempt) {
    case 1: return 1000;
    case 2: return 3000;
    default: return 0;
  }
}

std::string DownloadFailureReason(const DownloadResult& result) {
  if (result.httpStatus >= 400) return "HTTP status " + std::to_string(result.httpStatus);
  if (result.stalled) return "no data for too long";
  return "error code " + std::to_string(static_cast<uint32_t>(result.hresult));
}

}  // namespace orv
