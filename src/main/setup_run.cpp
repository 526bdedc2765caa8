#include "main/setup_run.h"

#include <memory>
#include <utility>

#include "config/stub_config.h"
#include "contract/run_addresses.h"
#include "contract/run_error.h"
#include "main/command_line.h"
#include "main/installer_run.h"
#include "main/log_text.h"

namespace orv {
namespace {

uint32_t Fail(const RunPorts& ports, RunError error) {
  ports.ui.ShowErrorBox(ErrorBoxText(error));
  return static_cast<uint32_t>(error);
}

// The progress dialog as the download's course sees it: its bar and its end through the dialog's
// sink, the pauses between attempts through its pace (which the user's close ends).
class DialogCourse final : public DownloadProgress, public DownloadPacer {
 public:
  explicit DialogCourse(ProgressScope& progress) : progress_(progress) {}
  void SetBarPosition(int32_t percent) override { progress_.sink().SetBarPosition(percent); }
  void EndProgressDialog() override { progress_.sink().EndProgressDialog(); }
  bool Pause(uint32_t ms) override { return progress_.Pace(ms); }

 private:
  ProgressScope& progress_;
};

// The addresses to download from, in order: the wrapper with the cache-busting value, then the
// mirrors as the document gives them.
DownloadPlan PlanDownload(const StubConfig& config, unsigned cacheBuster) {
  DownloadPlan plan;
  plan.addresses.push_back(AppendCacheBuster(config.wrapper, cacheBuster));
  plan.addresses.insert(plan.addresses.end(), config.mirrors.begin(), config.mirrors.end());
  plan.plainHttpAllowed = config.sha256.has_value();
  plan.configuredSize = config.size;
  return plan;
}

// Deletes the installer, then (when that worked) the run's folder that holds it.
void DeleteInstaller(const RunPorts& ports, RunFolder& folder, const std::wstring& path) {
  const Status deleted = folder.DeleteFile(path);
  if (!deleted.ok()) {
    ports.log.Log(LogLevel::Warning, "Unable to delete installer from temp directory " + QuotedPath(path) +
                                         ". Error code " + std::to_string(deleted.code()));
    folder.Keep();
    return;
  }
  ports.log.Log(LogLevel::Info, QuotedPath(path) + " deleted");
  const Status removed = folder.Remove();
  if (removed.ok()) {
    ports.log.Log(LogLevel::Info, "Download folder " + QuotedPath(folder.path()) + " deleted");
  } else {
    ports.log.Log(LogLevel::Warning, "Unable to delete download folder " + QuotedPath(folder.path()) +
                                         ". Error code " + std::to_string(removed.code()));
  }
}

// The configuration, fetched and read; the run's exit code when it cannot be used.
Result<StubConfig> ObtainConfiguration(const RunPorts& ports) {
  ports.log.Log(LogLevel::Info, "Downloading config file");
  const Result<std::wstring> text = ports.network.FetchConfiguration();
  if (!text.ok()) {
    // A refused redirect or proxy says why; a network failure has nothing to add.
    if (!text.status().detail().empty()) ports.log.Log(LogLevel::Error, text.status().detail());
    ports.log.Log(LogLevel::Error, kConfigFetchFailedLine);
    return Status::Error(RunError::ConfigFetch, "");
  }
  ports.log.Log(LogLevel::Info, "Config file has been downloaded successfully");
  ports.log.Log(LogLevel::Info, "Parsing config file");
  Result<StubConfig> config = ReadStubConfig(*text);
  if (!config.ok()) ports.log.Log(LogLevel::Error, ConfigParseLine(config.status().detail()));
  return config;
}

// The checksum gate (and the publisher's signature when pinned); RunError::None when it passes.
RunError JudgeInstaller(const RunPorts& ports, const RunSettings& settings, const StubConfig& config,
                        CheckedInstaller& installer) {
  const std::string mismatch = InstallerSumsMismatch(config, installer.sums());
  if (!mismatch.empty()) {
    ports.log.Log(LogLevel::Error, mismatch);
    return RunError::ChecksumMismatch;
  }
  if (settings.publisherPin) {
    const SignatureReading reading = installer.ReadSignature();
    const PublisherVerdict verdict = JudgePublisher(reading, *settings.publisherPin);
    if (verdict != PublisherVerdict::Pinned) {
      ports.log.Log(LogLevel::Error, "Mismatch of the wrapper publisher: " + PublisherMismatchReason(verdict, reading));
      return RunError::ChecksumMismatch;
    }
    ports.log.Log(LogLevel::Info, "Wrapper signed by the pinned publisher");
  }
  ports.log.Log(LogLevel::Info, "Checksum is OK. Continue...");
  return RunError::None;
}

// Everything after the single-instance guard and the logging set-up; returns the result code.
uint32_t RunGuarded(const RunPorts& ports, const RunSettings& settings, OwnImage* ownImage) {
  const Result<StubConfig> config = ObtainConfiguration(ports);
  if (!config.ok()) return Fail(ports, config.status().error());

  std::unique_ptr<ProgressScope> progress = ports.ui.StartProgress();
  ports.log.Log(LogLevel::Info, "Downloading wrapper");
  Result<std::unique_ptr<RunFolder>> madeFolder = ports.files.MakeRunFolder();
  if (!madeFolder.ok()) {
    ports.log.Log(LogLevel::Error, madeFolder.status().LogText());
    return Fail(ports, RunError::Download);
  }
  RunFolder& folder = **madeFolder;
  Result<std::unique_ptr<DownloadFile>> file = folder.CreateDownloadFile();
  if (!file.ok()) {
    ports.log.Log(LogLevel::Error, file.status().LogText());
    return Fail(ports, RunError::Download);
  }
  const std::wstring installerPath = (*file)->path();
  const DownloadPlan plan = PlanDownload(*config, ports.network.DrawCacheBuster());
  DialogCourse dialog(*progress);
  DownloadOutcome downloaded;
  {
    const std::unique_ptr<DownloadTransfer> transfer = ports.network.OpenTransfer(**file, settings.downloadTimings);
    downloaded = DownloadInstaller(*transfer, dialog, ports.log, dialog, plan, settings.downloadTimings);
  }
  switch (downloaded.end) {
    case DownloadEnd::Closed:
      ports.log.Log(LogLevel::Info, "Download closed by the user");
      return 0;
    case DownloadEnd::Failed:
      ports.log.Log(LogLevel::Error, "Can't download wrapper to " + QuotedPath(installerPath));
      return Fail(ports, RunError::Download);
    case DownloadEnd::Done:
      break;
  }
  progress.reset();
  ports.log.Log(LogLevel::Info, "Wrapper successfully downloaded to " + QuotedPath(installerPath));

  Result<std::unique_ptr<CheckedInstaller>> checked = (*file)->Check();
  file->reset();
  if (!checked.ok()) {
    ports.log.Log(LogLevel::Error, checked.status().LogText());
    folder.Keep();
    return Fail(ports, RunError::ChecksumOpen);
  }
  const RunError judged = JudgeInstaller(ports, settings, *config, **checked);
  if (judged != RunError::None) {
    folder.Keep();
    return Fail(ports, judged);
  }

  InstallerRunRequest request;
  request.version = config->version;
  request.commandLine = settings.commandLine;
  request.resumeShortcut = config->shortcut && !HasNoShortcutSwitch(settings.commandLine);
  request.cancelPageBase = settings.cancelPageBase;
  request.openCancelPage = !settings.silent.silent();
  request.analyticsHost = settings.analyticsHost;
  const Result<uint32_t> exitCode = RunInstallerAndAct(ports, request, folder, std::move(*checked), ownImage);
  DeleteInstaller(ports, folder, installerPath);
  if (!exitCode.ok()) return Fail(ports, RunError::Launch);
  ports.log.Log(LogLevel::Info, "Tavlin wrapper exiting");
  return *exitCode;
}

}  // namespace

uint32_t SetupRun(const RunPorts& ports, const RunSettings& settings) {
  const std::unique_ptr<Scope> guard = ports.processes.ClaimSingleInstance();
  if (!guard) return 0;
  ports.log.Start();
  ports.log.Log(LogLevel::Info, "Tavlin wrapper started");
  for (const LogEntry& line : SilentDecisionLines(settings.silent)) ports.log.Log(line.level, line.message);
  Result<std::unique_ptr<OwnImage>> ownImage = ports.files.HoldOwnImage();
  if (!ownImage.ok()) ports.log.Log(LogLevel::Error, ownImage.status().LogText());
  return RunGuarded(ports, settings, ownImage.ok() ? ownImage->get() : nullptr);
}

}  // namespace orv
