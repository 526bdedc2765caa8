#include "main/setup_run.h"

#include "config/stub_config.h"
#include "main/command_line.h"
#include "main/download_url.h"
#include "main/installer_run.h"
#include "main/log_text.h"
#include "util/status.h"

namespace orv {

namespace {

uint32_t Fail(RunEffects& effects, RunError error) {
  effects.ShowErrorBox(ErrorBoxText(error));
  return static_cast<uint32_t>(error);
}

// Up to kDownloadAttempts attempts, pausing between them; every failed attempt is logged with its
// reason (a Warning when another attempt follows, an Error for the last). True once one succeeded.
bool DownloadWithRetries(RunEffects& effects, const std::wstring& url, const std::wstring& path,
                         std::optional<uint64_t> size) {
  for (int attempt = 1;; ++attempt) {
    const DownloadResult result = effects.DownloadOnce(url, path, size);
    const DownloadVerdict verdict = JudgeDownload(result);
    if (verdict == DownloadVerdict::Done) return true;
    const std::string failed = "Download attempt " + std::to_string(attempt) + " of " +
                               std::to_string(kDownloadAttempts) + " failed (" + DownloadFailureReason(result) + ")";
    if (verdict == DownloadVerdict::Fail || attempt == kDownloadAttempts) {
      effects.Log(LogLevel::Error, failed);
      return false;
    }
    const uint32_t delayMs = RetryDelayMs(attempt);
    effects.Log(LogLevel::Warning, failed + ". Trying again in " + std::to_string(delayMs / 1000) + " s");
    effects.Pause(delayMs);
    effects.RestartProgress();
  }
}

// Deletes the installer, then (when that worked) the download folder that holds it.
void DeleteInstaller(RunEffects& effects, const std::wstring& path) {
  unsigned long error = 0;
  if (!effects.RemoveFile(path, error)) {
    effects.Log(LogLevel::Warning, "Unable to delete installer from temp directory " + Quoted(path) +
                                       ". Error code " + std::to_string(error));
    return;
  }
  effects.Log(LogLevel::Info, Quoted(path) + " deleted");
  const std::wstring folder = path.substr(0, path.find_last_of(L'\\') + 1);
  if (effects.RemoveDownloadFolder(error)) {
    effects.Log(LogLevel::Info, "Download folder " + Quoted(folder) + " deleted");
  } else {
    effects.Log(LogLevel::Warning, "Unable to delete download folder " + Quoted(folder) + ". Error code " +
                                       std::to_string(error));
  }
}

// Everything after the single-instance guard and the logging set-up; returns the result code.
uint32_t RunGuarded(RunEffects& effects, const RunSettings& settings) {
  effects.Log(LogLevel::Info, "Downloading config file");
  std::wstring configText;
  if (!effects.FetchConfiguration(configText)) {
    effects.Log(LogLevel::Error, "Can't download config file");
    return Fail(effects, RunError::ConfigFetch);
  }
  effects.Log(LogLevel::Info, "Config file has been downloaded successfully");
  effects.Log(LogLevel::Info, "Parsing config file");
  StubConfig config;
  std::string error;
  if (!ReadStubConfig(configText, config, error)) {
    effects.Log(LogLevel::Error, "Error parsing file. Error: " + error);
    return Fail(effects, RunError::ConfigParse);
  }

  effects.StartProgressDialog();
  effects.Log(LogLevel::Info, "Downloading wrapper");
  const std::wstring installerPath = effects.MakeTempInstallerPath(error);
  if (installerPath.empty()) {
    effects.Log(LogLevel::Error, error);
    return Fail(effects, RunError::Download);
  }
  const std::wstring downloadUrl = AppendCacheBuster(config.wrapper, effects.DrawCacheBuster());
  if (!DownloadWithRetries(effects, downloadUrl, installerPath, config.size)) {
    effects.Log(LogLevel::Error, "Can't download wrapper to " + Quoted(installerPath));
    return Fail(effects, RunError::Download);
  }
  effects.EndProgressDialog();
  effects.Log(LogLevel::Info, "Wrapper successfully downloaded to " + Quoted(installerPath));

  FileSums sums;
  if (!effects.CheckInstallerFile(installerPath, sums, error)) {
    effects.Log(LogLevel::Error, error);
    return Fail(effects, RunError::ChecksumOpen);
  }
  const std::string mismatch = InstallerSumsMismatch(config, sums);
  if (!mismatch.empty()) {
    effects.Log(LogLevel::Error, mismatch);
    return Fail(effects, RunError::ChecksumMismatch);
  }
  if (settings.publisherPin) {
    const SignatureReading reading = effects.ReadInstallerSignature(installerPath);
    const PublisherVerdict verdict = JudgePublisher(reading, *settings.publisherPin);
    if (verdict != PublisherVerdict::Pinned) {
      effects.Log(LogLevel::Error, "Mismatch of the wrapper publisher: " + PublisherMismatchReason(verdict, reading));
      return Fail(effects, RunError::ChecksumMismatch);
    }
    effects.Log(LogLevel::Info, "Wrapper signed by the pinned publisher");
  }
  effects.Log(LogLevel::Info, "Checksum is OK. Continue...");

  InstallerRunRequest request;
  request.installerPath = installerPath;
  request.version = config.version;
  request.commandLine = settings.commandLine;
  request.resumeShortcut = config.shortcut && !HasNoShortcutSwitch(settings.commandLine);
  request.cancelPageBase = settings.cancelPageBase;
  request.analyticsHost = settings.analyticsHost;
  uint32_t exitCode = 0;
  const bool launched = RunInstallerAndAct(effects, request, exitCode);
  effects.ReleaseInstallerFile();
  DeleteInstaller(effects, installerPath);
  if (!launched) return Fail(effects, RunError::Launch);
  effects.Log(LogLevel::Info, "Tavlin wrapper exiting");
  return exitCode;
}

}  // namespace

uint32_t SetupRun(RunEffects& effects, const RunSettings& settings) {
  if (!effects.ClaimSingleInstance()) return 0;
  effects.StartLogging();
  effects.Log(LogLevel::Info, "Tavlin wrapper started");
  const uint32_t result = RunGuarded(effects, settings);
  effects.ReleaseSingleInstance();
  return result;
}

}  // namespace orv
