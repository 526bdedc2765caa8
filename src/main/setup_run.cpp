#include "main/setup_run.h"

#include <memory>
#include <utility>

#include "config/stub_config.h"
#include "contract/run_addresses.h"
#include "contract/run_error.h"
#include "main/command_line.h"
#include "main/config_acceptance.h"
#include "main/installer_run.h"
#include "main/log_text.h"
#include "main/offline_run.h"
#include "main/offline_switches.h"

namespace orv {
namespace {

uint32_t Fail(const RunPorts& ports, RunError error) {
  ports.ui.ShowErrorBox(ErrorBoxText(error));
  return static_cast<uint32_t>(error);
}

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

// The old run folders' removals, one line each.
void LogOldFolderRemovals(const RunPorts& ports, RunFolder& folder) {
  for (const OldFolderRemoval& old : folder.RemoveOldRunFolders()) {
    if (old.status.ok()) {
      ports.log.Log(LogLevel::Info, "Old download folder " + QuotedPath(old.path) + " deleted");
    } else {
      ports.log.Log(LogLevel::Warning, "Unable to delete old download folder " + QuotedPath(old.path) +
                                           ". Error code " + std::to_string(old.status.code()));
    }
  }
}

// Logs why a fetch failed (a refused redirect or proxy says why; a network failure has nothing to
// add) and gives the run's error for it.
Status FetchFailed(const RunPorts& ports, const Status& status) {
  if (!status.detail().empty()) ports.log.Log(LogLevel::Error, status.detail());
  ports.log.Log(LogLevel::Error, kConfigFetchFailedLine);
  return Status::Error(RunError::ConfigFetch, "");
}

// The configuration and, in a signed build, its signature, fetched (documents keeps their bytes as
// received), checked and read; the run's exit code when they cannot be used.
Result<StubConfig> ObtainConfiguration(const RunPorts& ports, const RunSettings& settings, ConfigDocuments& documents) {
  ports.log.Log(LogLevel::Info, "Downloading config file");
  Result<std::string> document = ports.network.FetchConfiguration();
  if (!document.ok()) return FetchFailed(ports, document.status());
  ports.log.Log(LogLevel::Info, "Config file has been downloaded successfully");
  documents.document = std::move(*document);
  if (!settings.configKeys.empty()) {
    ports.log.Log(LogLevel::Info, "Downloading config signature");
    Result<FetchedDocument> fetched = ports.network.FetchConfigurationSignature();
    if (!fetched.ok()) return FetchFailed(ports, fetched.status());
    if (fetched->httpStatus != 200) {
      const std::string reason = "the server answered HTTP status " + std::to_string(fetched->httpStatus);
      ports.log.Log(LogLevel::Error, SignatureRefusedLine(reason));
      return Status::Error(RunError::ConfigParse, reason);
    }
    documents.signature = std::move(fetched->bytes);
  }
  ports.log.Log(LogLevel::Info, "Parsing config file");
  return AcceptConfiguration(ports, settings, documents.document, documents.signature, ConfigOrigin::Network);
}

// The checksum gate (and the publisher's signature when pinned); RunError::None when it passes.
// fromFolder: the file is a copy from an offline folder, complete as it is there.
RunError JudgeInstaller(const RunPorts& ports, const RunSettings& settings, const StubConfig& config,
                        CheckedInstaller& installer, bool fromFolder) {
  const Status sums = JudgeInstallerFile(config, installer.sums());
  if (!sums.ok()) {
    ports.log.Log(LogLevel::Error, sums.detail());
    // A folder's file of another size is another installer, not a download cut short.
    return fromFolder ? RunError::ChecksumMismatch : sums.error();
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
// offline: the command line's switches, admitted; offlineFolder: their folder, held (null online).
uint32_t RunGuarded(const RunPorts& ports, const RunSettings& settings, OwnImage* ownImage,
                    const OfflineRequest& offline, OfflineFolder* offlineFolder) {
  const bool fromFolder = offline.mode == OfflineMode::Source;
  ConfigDocuments documents;
  const Result<StubConfig> config = fromFolder ? ReadFolderConfiguration(ports, settings, *offlineFolder)
                                               : ObtainConfiguration(ports, settings, documents);
  if (!config.ok()) return Fail(ports, config.status().error());

  // A copy from a folder is quick and needs no dialog: nobody waits for a download.
  std::unique_ptr<ProgressScope> progress = fromFolder ? nullptr : ports.ui.StartProgress();
  if (fromFolder) {
    ports.log.Log(LogLevel::Info, "Copying wrapper from " + QuotedPath(offlineFolder->PathOf(kLayoutInstallerName)));
  } else {
    ports.log.Log(LogLevel::Info, "Downloading wrapper");
  }
  Result<std::unique_ptr<RunFolder>> madeFolder = ports.files.MakeRunFolder();
  if (!madeFolder.ok()) {
    ports.log.Log(LogLevel::Error, madeFolder.status().LogText());
    return Fail(ports, RunError::Download);
  }
  RunFolder& folder = **madeFolder;
  LogOldFolderRemovals(ports, folder);
  Result<std::unique_ptr<DownloadFile>> file = folder.CreateDownloadFile();
  if (!file.ok()) {
    ports.log.Log(LogLevel::Error, file.status().LogText());
    return Fail(ports, RunError::Download);
  }
  const std::wstring installerPath = (*file)->path();
  if (fromFolder) {
    const RunError copied = CopyFolderInstaller(ports, *offlineFolder, **file, *config);
    if (copied != RunError::None) return Fail(ports, copied);
  } else {
    const DownloadPlan plan = PlanDownload(*config, ports.network.DrawCacheBuster());
    DownloadOutcome downloaded;
    {
      const std::unique_ptr<DownloadTransfer> transfer = ports.network.OpenTransfer(**file, settings.downloadTimings);
      downloaded = DownloadInstaller(*transfer, *progress, ports.log, *progress, plan, settings.downloadTimings);
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
  }

  Result<std::unique_ptr<CheckedInstaller>> checked = (*file)->Check();
  file->reset();
  if (!checked.ok()) {
    ports.log.Log(LogLevel::Error, checked.status().LogText());
    folder.Keep();
    return Fail(ports, RunError::ChecksumOpen);
  }
  const RunError judged = JudgeInstaller(ports, settings, *config, **checked, fromFolder);
  if (judged != RunError::None) {
    folder.Keep();
    return Fail(ports, judged);
  }

  if (offline.mode == OfflineMode::Layout) {
    const RunError written = WriteLayout(ports, *offlineFolder, documents, **checked, ownImage);
    if (written != RunError::None) return Fail(ports, written);
    checked->reset();
    DeleteInstaller(ports, folder, installerPath);
    ports.log.Log(LogLevel::Info, "Tavlin wrapper exiting");
    return 0;
  }

  InstallerRunRequest request;
  request.version = config->version;
  request.commandLine = offline.passedOn;
  request.resumeShortcut = config->shortcut && !HasNoShortcutSwitch(offline.passedOn);
  request.cancelPageBase = settings.cancelPageBase;
  request.openCancelPage = !settings.silent.silent();
  request.analyticsHost = settings.analyticsHost;
  request.fromFolder = fromFolder;
  const Result<uint32_t> exitCode = RunInstallerAndAct(ports, request, std::move(*checked), ownImage);
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
  const OfflineRequest offline = ReadOfflineSwitches(settings.commandLine);
  if (const Status admitted = AdmitOfflineRequest(ports, settings, offline); !admitted.ok()) {
    return Fail(ports, admitted.error());
  }
  std::unique_ptr<OfflineFolder> offlineFolder;
  if (offline.mode != OfflineMode::Online) {
    Result<std::unique_ptr<OfflineFolder>> opened = OpenRequestFolder(ports, offline);
    if (!opened.ok()) return Fail(ports, opened.status().error());
    offlineFolder = std::move(*opened);
  }
  return RunGuarded(ports, settings, ownImage.ok() ? ownImage->get() : nullptr, offline, offlineFolder.get());
}

}  // namespace orv
