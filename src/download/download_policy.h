#pragma once
#include <cstdint>
#include <string>

namespace orv {

// What one attempt at downloading the installer gave.
struct DownloadResult {
  int32_t hresult = 0;      // the platform download's result; 0 (S_OK) is success
  uint32_t httpStatus = 0;  // the response's HTTP status; 0 when none was seen
  bool stalled = false;     // given up after the download reported nothing for too long
  bool closedByUser = false;  // the user closed the progress dialog: the download was ended
};

// What the run does after an attempt.
enum class DownloadVerdict { Done, Retry, Fail };

// Attempts in all, the first included.
inline constexpr int kDownloadAttempts = 3;

// Fail for an HTTP status from 400 to 499 or above 599, whatever the result; Retry for a status
// from 500 to 599, a stalled attempt or a network failure (IsNetworkFailure); Done for a result of
// 0; Fail for any other result.
[[nodiscard]] DownloadVerdict JudgeDownload(const DownloadResult& result);

// False for results that retrying cannot mend (a malformed address, a refused certificate, a
// file that cannot be written, ...); true for the platform's connection, name-resolution,
// time-out, reset and transfer failures.
[[nodiscard]] bool IsNetworkFailure(int32_t hresult);

// 0 for an attempt number outside 1 to kDownloadAttempts - 1; otherwise the pause in
// milliseconds between that failed attempt and the next: 1000 after the first, 3000 after the second.
uint32_t RetryDelayMs(int failedAttempt);

// Why an attempt failed, for the log: "HTTP status 503", "no data for too long" or
// "error code <the result in unsigned decimal>".
std::string DownloadFailureReason(const DownloadResult& result);

}  // namespace orv
