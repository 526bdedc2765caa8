#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "base/log_sink.h"

namespace orv {

// The progress dialog as the download moves it. Called on the download's thread; the
// implementation reaches the dialog's own thread by itself.
class DownloadProgress {
 public:
  virtual ~DownloadProgress() = default;
  // Moves the bar to percent (its range is 0 to 100).
  virtual void SetBarPosition(int32_t percent) = 0;
  // Ends the progress dialog: the data is complete.
  virtual void EndProgressDialog() = 0;
};

// Download status codes that get their own treatment (numbered as the platform's BINDSTATUS values
// that the log lines once came from). The download writes straight into its file: no cache file.
enum DownloadStatus : uint32_t {
  kStatusFindingResource = 1,
  kStatusConnecting = 2,
  kStatusBeginDownloadData = 4,
  kStatusDownloadingData = 5,
  kStatusEndDownloadData = 6,
  kStatusSendingRequest = 11,
  kStatusMimeTypeAvailable = 13,
};

// progress * 100 / maximum, truncated toward zero, as a whole percentage. Empty when maximum is 0
// or the quotient does not fit a signed 32-bit integer. Values above 100 are returned as they are.
std::optional<int32_t> ProgressPercent(uint64_t progress, uint64_t maximum);

// Acts on one status report: logs the stage to log at Info, moves the bar when the percentage rose
// above lastPercent (which it then updates), and ends the dialog at the end of the data.
void HandleDownloadStatus(uint64_t progress, uint64_t maximum, uint32_t statusCode, int32_t& lastPercent,
                          LogSink& log, DownloadProgress& dialog);

}  // namespace orv
