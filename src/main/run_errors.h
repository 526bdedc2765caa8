#pragma once
#include <cstdint>

// The run's fatal errors; the value is the process exit code.
enum class RunError : uint32_t {
  ConfigFetch = 1,
  ConfigParse = 3,
  Download = 4,
  ChecksumOpen = 5,
  ChecksumMismatch = 6,
  Launch = 7,
};

// Title of every error box.
inline constexpr const wchar_t kErrorBoxTitle[] = L"We apologize!";

// The error box text for an error, e.g. "Cannot obtain configuration. Error code 1".
const wchar_t* ErrorBoxText(RunError error);
