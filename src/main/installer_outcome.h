#pragma once
#include <cstdint>

namespace orv {

// What an installer's exit code means for the run.
enum class InstallerOutcome { Success, Cancelled, Failed };

// 0 is Success, 2 and 5 are Cancelled, every other code is Failed.
InstallerOutcome ClassifyExitCode(uint32_t exitCode);

}  // namespace orv
