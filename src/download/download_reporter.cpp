#include "download/download_reporter.h"

namespace orv {

DownloadReporter::DownloadReporter(LogSink& log, DownloadProgress& progress) : log_(log), progress_(progress) {}

void DownloadReporter::Stage(DownloadStatus stage) {
  HandleDownloadStatus(0, 0, stage, lastPercent_, log_, progress_);
}

void DownloadReporter::Step(uint64_t written, std::optional<uint64_t> total, DownloadStatus status) {
  HandleDownloadStatus(written, total ? *total : 0, status, lastPercent_, log_, progress_);
}

void DownloadReporter::Bytes(uint64_t written, std::optional<uint64_t> total) {
  Step(written, total, kStatusDownloadingData);
}

void DownloadReporter::Complete(uint64_t written, std::optional<uint64_t> total) {
  Step(written, total, kStatusEndDownloadData);
}

void DownloadReporter::Resuming(uint64_t offset, uint64_t total) {
  log_.Log(LogLevel::Info,
           "Resuming download at " + std::to_string(offset) + " of " + std::to_string(total) + " bytes");
}

void DownloadReporter::Restarted(const std::string& reason) {
  log_.Log(LogLevel::Warning, "Restarting the download from byte 0: " + reason);
  lastPercent_ = 0;
  progress_.SetBarPosition(0);
}

void DownloadReporter::Line(LogLevel level, const std::string& message) { log_.Log(level, message); }

}  // namespace orv
