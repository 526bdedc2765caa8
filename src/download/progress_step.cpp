#include "download/progress_step.h"

namespace orv {

namespace {

// 2^31: the first quotient that no longer fits a signed 32-bit integer after truncation.
constexpr double kFirstOverflowingQuotient = 2147483648.0;

void PercentageStep(uint64_t progress, uint64_t maximum, int32_t& lastPercent, LogSink& log,
                    DownloadProgress& dialog) {
  const std::optional<int32_t> percent = ProgressPercent(progress, maximum);
  if (!percent || *percent <= lastPercent) return;
  log.Log(LogLevel::Info, std::to_string(*percent));
  dialog.SetBarPosition(*percent);
  lastPercent = *percent;
}

const char* StageText(uint32_t statusCode) {
  switch (statusCode) {
    case kStatusFindingResource: return "Finding resource...";
    case kStatusConnecting: return "Connecting...";
    case kStatusBeginDownloadData: return "Begin download";
    case kStatusSendingRequest: return "Sending request...";
    case kStatusMimeTypeAvailable: return "Mime type available";
    default: return nullptr;
  }
}

}  // namespace

std::optional<int32_t> ProgressPercent(uint64_t progress, uint64_t maximum) {
  if (maximum == 0) return std::nullopt;
  const double quotient = static_cast<double>(progress) * 100.0 / static_cast<double>(maximum);
  if (quotient >= kFirstOverflowingQuotient) return std::nullopt;
  return static_cast<int32_t>(quotient);
}

void HandleDownloadStatus(uint64_t progress, uint64_t maximum, uint32_t statusCode, int32_t& lastPercent,
                          LogSink& log, DownloadProgress& dialog) {
  if (statusCode == kStatusDownloadingData) {
    PercentageStep(progress, maximum, lastPercent, log, dialog);
    return;
  }
  if (statusCode == kStatusEndDownloadData) {
    PercentageStep(progress, maximum, lastPercent, log, dialog);
    log.Log(LogLevel::Info, "End download");
    dialog.EndProgressDialog();
    return;
  }
  if (const char* text = StageText(statusCode)) {
    log.Log(LogLevel::Info, text);
  } else {
    log.Log(LogLevel::Info, "Status code : " + std::to_string(statusCode));
  }
}

}  // namespace orv
