#include "main/installer_run.h"

#include <optional>
#include <utility>

#include "contract/installer_contract.h"
#include "contract/run_addresses.h"
#include "contract/run_error.h"
#include "main/log_text.h"
#include "main/resume.h"

namespace orv {
namespace {

Result<std::wstring> NewInstallationId(const RunPorts& ports) {
  const Result<std::wstring> text = ports.processes.NewUuidText();
  if (!text.ok()) {
    ports.log.Log(LogLevel::Error,
                  "Unable to create an installation id. Error code " + std::to_string(text.status().code()));
    return text.status().As(RunError::Launch);
  }
  std::optional<std::wstring> formatted = InstallationIdFromUuidText(*text);
  if (!formatted) {
    ports.log.Log(LogLevel::Error, "Unable to create an installation id from " + QuotedPath(*text));
    return Status::Error(RunError::Launch, "not a UUID");
  }
  return std::move(*formatted);
}

void ActOnOutcome(const RunPorts& ports, const InstallerRunRequest& request, const std::wstring& installationId,
                  uint32_t exitCode, OwnImage* ownImage) {
  switch (ClassifyExitCode(exitCode)) {
    case InstallerOutcome::Success:
      ports.log.Log(LogLevel::Info, "Installer execution has successfully completed");
      RemoveResumeShortcut(ports.log, ports.shortcuts);
      break;
    case InstallerOutcome::Cancelled: {
      ports.log.Log(LogLevel::Info, "Installer execution canceled. Exit code " + std::to_string(exitCode));
      if (request.openCancelPage) {
        ports.log.Log(LogLevel::Info, "Navigating user to cancellation page");
        const Status opened =
            ports.processes.OpenPage(BuildCancellationPageAddress(request.cancelPageBase, request.version));
        if (!opened.ok()) ports.log.Log(LogLevel::Error, opened.LogText());
      } else {
        ports.log.Log(LogLevel::Info, "Cancellation page not opened in a silent run");
      }
      if (request.resumeShortcut) LeaveResumeCopy(ports.log, ports.files, ports.shortcuts, ownImage);
      break;
    }
    case InstallerOutcome::Failed:
      ports.log.Log(LogLevel::Info, "Installer execution failed. Exit code " + std::to_string(exitCode));
      ports.log.Log(LogLevel::Info, "Sending failed hit to Piwik");
      ports.network.SendFailureHit(BuildTrackingUrl(request.analyticsHost, installationId, exitCode));
      ports.log.Log(LogLevel::Info, "Sent failed hit to Piwik");
      break;
  }
}

}  // namespace

Result<uint32_t> RunInstallerAndAct(const RunPorts& ports, const InstallerRunRequest& request, const RunFolder& folder,
                                    std::unique_ptr<CheckedInstaller> installer, OwnImage* ownImage) {
  const Result<std::wstring> installationId = NewInstallationId(ports);
  if (!installationId.ok()) return installationId.status();
  const std::wstring path = installer->path();
  const std::wstring parameters = BuildInstallerParameters(*installationId, request.version, request.commandLine);
  if (!FitsProcessCommandLine(path.size(), parameters.size())) {
    ports.log.Log(LogLevel::Error, "Installer command line of " + std::to_string(path.size() + 3 + parameters.size()) +
                                       " characters is longer than the system's limit of " +
                                       std::to_string(kMaxProcessCommandLine));
    return Status::Error(RunError::Launch, "command line too long");
  }

  ports.log.Log(LogLevel::Info, "Launching installer " + QuotedPath(path + L" " + parameters));
  Result<std::unique_ptr<StartedInstaller>> started = installer->Start(folder, parameters);
  // Once the process exists its image is mapped: nobody can change the file under it any more.
  installer.reset();
  if (!started.ok()) {
    ports.log.Log(LogLevel::Error,
                  "Unable to run installer " + QuotedPath(path) + ". Error code " + std::to_string(started.status().code()));
    return started.status().As(RunError::Launch);
  }
  ports.log.Log(LogLevel::Info, "Waiting for installer to complete...");
  const Result<uint32_t> exitCode = (*started)->Wait();
  if (!exitCode.ok()) {
    ports.log.Log(LogLevel::Error,
                  "Unable to read the installer's exit code. Error code " + std::to_string(exitCode.status().code()));
    return exitCode.status().As(RunError::Launch);
  }
  ActOnOutcome(ports, request, *installationId, *exitCode, ownImage);
  return *exitCode;
}

}  // namespace orv
