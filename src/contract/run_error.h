#pragma once
// What the run tells the user and the administrator when it cannot go on: the exit code, the
// error box and the log lines that orvpublish repeats when it predicts a stub's run.
#include <cstdint>
#include <string>

#include "base/status.h"

namespace orv {

// The run's fatal errors; the value is the process exit code. None: not (yet) a run error.
enum class RunError : uint32_t {
  None = 0,
  ConfigFetch = 1,
  ConfigParse = 3,
  Download = 4,
  ChecksumOpen = 5,
  ChecksumMismatch = 6,
  Launch = 7,
  Folder = 8,
};

// Title of every error box.
inline constexpr const wchar_t kErrorBoxTitle[] = L"We apologize!";

// L"" for RunError::None; otherwise the error box text, e.g. "Cannot obtain configuration. Error code 1".
const wchar_t* ErrorBoxText(RunError error);

// The log line of a configuration fetch that failed.
inline constexpr char kConfigFetchFailedLine[] = "Can't download config file";

// The log line of a configuration document the run cannot use: "Error parsing file. Error: " + reason.
std::string ConfigParseLine(const std::string& reason);

}  // namespace orv
