#include "contract/installer_contract.h"

namespace orv {

std::optional<std::wstring> InstallationIdFromUuidText(std::wstring_view text) {
  constexpr std::size_t kLength = 36;
  if (text.size() != kLength) return std::nullopt;
  std::wstring id(text);
  for (std::size_t i = 0; i < kLength; ++i) {
    wchar_t& c = id[i];
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (c != L'-') return std::nullopt;
      continue;
    }
    if (c >= L'A' && c <= L'F') c = static_cast<wchar_t>(c - L'A' + L'a');
    const bool hex = (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f');
    if (!hex) return std::nullopt;
  }
  return id;
}

std::wstring BuildInstallerParameters(std::wstring_view installationId, std::wstring_view version,
                                      std::wstring_view commandLine) {
  std::wstring parameters;
  parameters.reserve(installationId.size() + version.size() + commandLine.size() + 12);
  parameters.append(L"-id ").append(installationId);
  parameters.append(L" -v \"").append(version).append(L"\" ");
  parameters.append(commandLine);
  return parameters;
}

bool FitsProcessCommandLine(std::size_t programPathLength, std::size_t parametersLength) {
  constexpr std::size_t kQuotesAndSpace = 3;
  if (programPathLength > kMaxProcessCommandLine || parametersLength > kMaxProcessCommandLine) return false;
  return programPathLength + kQuotesAndSpace + parametersLength <= kMaxProcessCommandLine;
}

InstallerOutcome ClassifyExitCode(uint32_t exitCode) {
  if (exitCode == 0) return InstallerOutcome::Success;
  if (exitCode == 2 || exitCode == 5) return InstallerOutcome::Cancelled;
  return InstallerOutcome::Failed;
}

}  // namespace orv
