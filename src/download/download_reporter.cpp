#include "download/download_reporter.h"

namespace orv {
namespace {

// The status model's sink: its lines to the log at Info, the bar and the end to the dialog.
class ReporterSink final : public ProgressSink {
 public:
  ReporterSink(LogSink& log, DownloadProgress& progress) : log_(log), progress_(progress) {}
  void LogLine(const std::string& message) override { log_.Log(LogLevel::Info, message); }
  void SetBarPosition(int32_t percent) override { progress_.SetBarPosition(percent); }
  void EndProgressDialog() override { progress_.EndProgressDialog(); }

 private:
  LogSink& log_;
  DownloadProgress& progress_;
};

}  // namespace

DownloadReporter::DownloadReporter(LogSink& log, DownloadProgress& progress) : log_(log), progress_(progress) {}

void DownloadReporter::Stage(DownloadStatus stage) {
  ReporterSink sink(log_, progress_);
  HandleDownloadStatus(0, 0, stage, lastPercent_, sink);
}

void DownloadReporter::Step(uint64_t written, std::optional<uint64_t> total, DownloadStatus status) {
  ReporterSink sink(log_, progress_);
  HandleDownloadStatus(written, total ? *total : 0, status, lastPercent_, sink);
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
