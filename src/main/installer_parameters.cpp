#include "main/installer_parameters.h"

namespace orv {

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

}  // namespace orv
