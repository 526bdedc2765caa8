#include "download/download_course.h"

#include "config/stub_config.h"
#include "contract/run_error.h"

#include "text/log_escape.h"
#include "text/utf8.h"

namespace orv {
namespace {

// What the file holds between attempts.
struct FileState {
  uint64_t bytes = 0;
  std::optional<uint64_t> total;
};

// Failed: the next address may be tried; Stopped: no address can succeed (the file cannot be written).
enum class AddressEnd { Done, Failed, Stopped, Closed };

struct AddressResult {
  AddressEnd end = AddressEnd::Failed;
  Status failure;
};

Status AsDownloadFailure(const Status& failure) {
  return Status::Error(RunError::Download, failure.detail(), failure.code());
}

// The attempts at one address, until it gives the file or fails for good.
AddressResult TryAddress(DownloadTransfer& transfer, DownloadPacer& pacer, DownloadReporter& reporter,
                         const AttemptRequest& base, FileState& file, const DownloadTimings& timings) {
  AttemptBudget budget(timings);
  std::string validator;  // validators belong to the address that gave them
  for (;;) {
    AttemptRequest request = base;
    const uint64_t before = file.bytes;
    if (file.bytes > 0 && !file.total) {
      reporter.Restarted("the size of the file is not known");
      file.bytes = 0;
    }
    request.point = ResumePoint{file.bytes, file.total, validator};
    if (file.bytes > 0) reporter.Resuming(file.bytes, *file.total);

    const AttemptReport report = transfer.Run(request, reporter);
    file.bytes = report.fileBytes;
    file.total = report.total;
    validator = report.validator;
    switch (report.end) {
      case AttemptEnd::Complete: return {AddressEnd::Done, Status()};
      case AttemptEnd::Closed: return {AddressEnd::Closed, Status()};
      case AttemptEnd::FileFailed:
        reporter.Line(LogLevel::Error, "Download stopped (" + report.failure.detail() + ")");
        return {AddressEnd::Stopped, report.failure};
      case AttemptEnd::Refused:
      case AttemptEnd::Interrupted:
      case AttemptEnd::StartOver: break;
    }
    const bool gained = file.bytes > before;
    budget.Record(gained);
    const bool last = report.end == AttemptEnd::Refused || budget.Spent();
    reporter.Line(last ? LogLevel::Error : LogLevel::Warning,
                  budget.Line(report.failure.detail(), gained, file.bytes, file.total, last));
    if (last) return {AddressEnd::Failed, report.failure};
    if (!pacer.Pause(budget.PauseMs())) return {AddressEnd::Closed, Status()};
  }
}

}  // namespace

DownloadOutcome DownloadInstaller(DownloadTransfer& transfer, DownloadPacer& pacer, LogSink& log,
                                  DownloadProgress& progress, const DownloadPlan& plan,
                                  const DownloadTimings& timings) {
  DownloadReporter reporter(log, progress);
  FileState file;
  DownloadOutcome outcome;
  outcome.failure = Status::Error(RunError::Download, "no address to download from");
  for (size_t i = 0; i < plan.addresses.size(); ++i) {
    if (i > 0) reporter.Line(LogLevel::Info, "Trying mirror " + EscapeLogValue(ToUtf8(plan.addresses[i])));
    AttemptRequest base;
    base.address = plan.addresses[i];
    base.size = SizeRule{DownloadSizeLimit(plan.configuredSize), plan.configuredSize.has_value()};
    base.plainHttpAllowed = plan.plainHttpAllowed;
    const AddressResult result = TryAddress(transfer, pacer, reporter, base, file, timings);
    if (result.end == AddressEnd::Done) {
      outcome.end = DownloadEnd::Done;
      outcome.failure = Status();
      outcome.size = file.bytes;
      return outcome;
    }
    if (result.end == AddressEnd::Closed) {
      outcome.end = DownloadEnd::Closed;
      outcome.failure = Status();
      return outcome;
    }
    outcome.failure = AsDownloadFailure(result.failure);
    if (result.end == AddressEnd::Stopped) break;
  }
  return outcome;
}

}  // namespace orv
