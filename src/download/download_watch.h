#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "download/progress_step.h"

namespace orv {

// One download attempt as both its status callback (on the download's thread) and its caller's
// watchdog (on the caller's thread) see it. A report and a give-up never overlap; once the
// attempt is given up, or an HTTP error status has been seen, no report reaches the sink again.
// The sink must only post to other threads: it is called under the watch's lock.
class DownloadWatch {
 public:
  // nowMs: a millisecond clock reading (it may wrap) at which the silence clock starts.
  DownloadWatch(std::unique_ptr<ProgressSink> sink, uint32_t nowMs);
  DownloadWatch(const DownloadWatch&) = delete;
  DownloadWatch& operator=(const DownloadWatch&) = delete;

  // False, doing nothing, once the attempt is given up or an HTTP error status was seen: the
  // download should stop. Otherwise restarts the silence clock, hands the status to
  // HandleDownloadStatus with the sink and returns true.
  [[nodiscard]] bool Report(uint32_t progress, uint32_t maximum, uint32_t statusCode, uint32_t nowMs);

  // False for a status of 400 or more (the download should stop; nothing more reaches the sink)
  // and once the attempt is given up; true otherwise. The status is kept in every case.
  [[nodiscard]] bool NoteHttpStatus(uint32_t status, uint32_t nowMs);

  // True once the attempt is given up. Otherwise false while the end of the data has been
  // reported (the watchdog stops then) or the attempt has been silent for less than limitMs;
  // else gives the attempt up and returns true.
  [[nodiscard]] bool GiveUpIfSilent(uint32_t nowMs, uint32_t limitMs);

  // Gives the attempt up at once, whatever it reported; no report reaches the sink afterwards.
  void GiveUp();

  // The last HTTP status noted; 0 when none was.
  uint32_t httpStatus() const { return httpStatus_.load(); }
  // True once the end of the data has been reported.
  bool endOfDataReported() const { return endOfData_.load(); }

 private:
  std::mutex mutex_;
  std::unique_ptr<ProgressSink> sink_;
  uint32_t lastReportMs_;
  int32_t lastPercent_ = 0;
  bool givenUp_ = false;
  std::atomic<uint32_t> httpStatus_{0};
  std::atomic<bool> endOfData_{false};
};

}  // namespace orv
