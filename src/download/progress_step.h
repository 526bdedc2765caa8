#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace orv {

// Where the download status decisions are carried out: the log, the progress bar and the dialog.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // Writes one Info line whose message is exactly `message`.
  virtual void LogLine(const std::string& message) = 0;
  // Moves the progress bar to `percent` (the bar's default range is 0 to 100).
  virtual void SetBarPosition(int32_t percent) = 0;
  // Ends the progress dialog with result 0.
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

// Acts on one status report: logs the stage, moves the bar when the percentage rose above
// lastPercent (which it then updates), and ends the dialog at the end of the data.
void HandleDownloadStatus(uint64_t progress, uint64_t maximum, uint32_t statusCode, int32_t& lastPercent,
                          ProgressSink& sink);

}  // namespace orv
