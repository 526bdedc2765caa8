#include "download/download_watch.h"

#include <utility>

namespace orv {

namespace {

bool IsHttpError(uint32_t status) { return status >= 400; }

}  // namespace

DownloadWatch::DownloadWatch(std::unique_ptr<ProgressSink> sink, uint32_t nowMs)
    : sink_(std::move(sink)), lastReportMs_(nowMs) {}

bool DownloadWatch::Report(uint32_t progress, uint32_t maximum, uint32_t statusCode, uint32_t nowMs) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (givenUp_ || IsHttpError(httpStatus_.load())) return false;
  lastReportMs_ = nowMs;
  if (statusCode == kStatusEndDownloadData) endOfData_.store(true);
  HandleDownloadStatus(progress, maximum, statusCode, lastPercent_, *sink_);
  return true;
}

bool DownloadWatch::NoteHttpStatus(uint32_t status, uint32_t nowMs) {
  const std::lock_guard<std::mutex> lock(mutex_);
  httpStatus_.store(status);
  if (givenUp_) return false;
  lastReportMs_ = nowMs;
  return !IsHttpError(status);
}

bool DownloadWatch::GiveUpIfSilent(uint32_t nowMs, uint32_t limitMs) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (givenUp_) return true;
  if (endOfData_.load()) return false;
  // Unsigned difference: correct across the wrap of the clock.
  if (nowMs - lastReportMs_ < limitMs) return false;
  givenUp_ = true;
  return true;
}

void DownloadWatch::GiveUp() {
  const std::lock_guard<std::mutex> lock(mutex_);
  givenUp_ = true;
}

}  // namespace orv
