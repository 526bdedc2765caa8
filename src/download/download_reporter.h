#pragma once
// How a download's course shows: its log lines and the progress dialog's bar, as one sequence
// over every attempt (the bar never goes back but after a logged restart from byte 0).
#include <cstdint>
#include <optional>
#include <string>

#include "base/log_sink.h"
#include "download/progress_step.h"

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

// Writes the download's status lines to log (Info, unless said otherwise) and moves the bar,
// keeping the last percentage shown across attempts.
class DownloadReporter {
 public:
  DownloadReporter(LogSink& log, DownloadProgress& progress);
  DownloadReporter(const DownloadReporter&) = delete;
  DownloadReporter& operator=(const DownloadReporter&) = delete;

  // A stage line: kStatusConnecting "Connecting...", kStatusSendingRequest "Sending request...",
  // kStatusMimeTypeAvailable "Mime type available", kStatusBeginDownloadData "Begin download".
  void Stage(DownloadStatus stage);
  // The file holds `written` bytes of `total` (unknown: nothing shows): logs the percentage and
  // moves the bar when it rose above the last one shown.
  void Bytes(uint64_t written, std::optional<uint64_t> total);
  // The file is complete: the last percentage (as Bytes), "End download", then the dialog's end.
  void Complete(uint64_t written, std::optional<uint64_t> total);
  // "Resuming download at <offset> of <total> bytes".
  void Resuming(uint64_t offset, uint64_t total);
  // The file was emptied: logs "Restarting the download from byte 0: <reason>" (Warning), and the
  // bar and the percentages start again from 0.
  void Restarted(const std::string& reason);
  // Writes one line of the download's own at level.
  void Line(LogLevel level, const std::string& message);

 private:
  void Step(uint64_t written, std::optional<uint64_t> total, DownloadStatus status);

  LogSink& log_;
  DownloadProgress& progress_;
  int32_t lastPercent_ = 0;
};

}  // namespace orv
