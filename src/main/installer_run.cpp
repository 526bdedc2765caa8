#include "main/installer_run.h"

#include <optional>

#include "main/cancellation_page.h"
#include "main/installation_id.h"
#include "main/installer_outcome.h"
#include "main/installer_parameters.h"
#include "main/log_text.h"
#include "main/resume.h"
#include "main/tracking_url.h"

namespace orv {

namespace {

bool NewInstallationId(RunEffects& effects, std::wstring& id) {
  std::wstring text;
  unsigned long error = 0;
  if (!effects.NewUuidText(text, error)) {
    effects.Log(LogLevel::Error, "Unable to create an installation id. Error code " + std::to_string(error));
    return false;
  }
  const std::optional<std::wstring> formatted = InstallationIdFromUuidText(text);
  if (!formatted) {
    effects.Log(LogLevel::Error, "Unable to create an installation id from " + Quoted(text));
    return false;
  }
  id = *formatted;
  return true;
}

void ActOnOutcome(RunEffects& effects, const InstallerRunRequest& request, const std::wstring& installationId,
                  uint32_t exitCode) {
  switch (ClassifyExitCode(exitCode)) {
    case InstallerOutcome::Success:
      effects.Log(LogLevel::Info, "Installer execution has successfully completed");
      RemoveResumeShortcut(effects);
      break;
    case InstallerOutcome::Cancelled:
      effects.Log(LogLevel::Info, "Installer execution canceled. Exit code " + std::to_string(exitCode));
      effects.Log(LogLevel::Info, "Navigating user to cancellation page");
      effects.OpenPage(BuildCancellationPageAddress(request.cancelPageBase, request.version));
      if (request.resumeShortcut) LeaveResumeCopy(effects);
      break;
    case InstallerOutcome::Failed:
      effects.Log(LogLevel::Info, "Installer execution failed. Exit code " + std::to_string(exitCode));
      effects.Log(LogLevel::Info, "Sending failed hit to Piwik");
      effects.SendFailureHit(BuildTrackingUrl(request.analyticsHost, installationId, exitCode));
      effects.Log(LogLevel::Info, "Sent failed hit to Piwik");
      break;
  }
}

}  // namespace

bool RunInstallerAndAct(RunEffects& effects, const InstallerRunRequest& request, uint32_t& exitCode) {
  std::wstring installationId;
  if (!NewInstallationId(effects, installationId)) return false;
  const std::wstring& path = request.installerPath;
  const std::wstring parameters = BuildInstallerParameters(installationId, request.version, request.commandLine);
  if (!FitsProcessCommandLine(path.size(), parameters.size())) {
    effects.Log(LogLevel::Error, "Installer command line of " + std::to_string(path.size() + 3 + parameters.size()) +
                                     " characters is longer than the system's limit of " +
                                     std::to_string(kMaxProcessCommandLine));
    return false;
  }

  effects.Log(LogLevel::Info, "Launching installer " + Quoted(path + L" " + parameters));
  unsigned long error = 0;
  if (!effects.StartInstaller(path, parameters, error)) {
    effects.Log(LogLevel::Error, "Unable to run installer " + Quoted(path) + ". Error code " + std::to_string(error));
    return false;
  }
  effects.Log(LogLevel::Info, "Waiting for installer to complete...");
  uint32_t code = 0;
  if (!effects.WaitForInstaller(code, error)) {
    effects.Log(LogLevel::Error, "Unable to read the installer's exit code. Error code " + std::to_string(error));
    return false;
  }
  exitCode = code;
  ActOnOutcome(effects, request, installationId, exitCode);
  return true;
}

}  // namespace orv
