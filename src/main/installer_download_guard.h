#pragma once
#include <cstdint>
#include <mutex>

// Watches the installer download for its caller: when the download last reported a status, and
// whether the caller has given it up. A status report and giving up never overlap.

// One status report of the download. While it exists the download cannot be given up.
class StatusReportScope {
 public:
  // Waits for a give-up in progress, then notes the time of this report.
  StatusReportScope();
  StatusReportScope(const StatusReportScope&) = delete;
  StatusReportScope& operator=(const StatusReportScope&) = delete;
  // False when the caller has given the download up: the report must then do nothing.
  bool live() const { return live_; }

 private:
  std::unique_lock<std::mutex> lock_;
  bool live_ = true;
};

// Starts the silence clock of a new download.
void NoteDownloadStart();

// Gives the download up when it has reported nothing for silenceLimitMs milliseconds; from then
// on every report is not live. True when it was given up.
[[nodiscard]] bool GiveUpDownloadIfSilentFor(uint32_t silenceLimitMs);
