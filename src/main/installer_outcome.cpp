#include "main/installer_outcome.h"

namespace orv {

InstallerOutcome ClassifyExitCode(uint32_t exitCode) {
  if (exitCode == 0) return InstallerOutcome::Success;
  if (exitCode == 2 || exitCode == 5) return InstallerOutcome::Cancelled;
  return InstallerOutcome::Failed;
}

}  // namespace orv
