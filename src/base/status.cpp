#include "base/status.h"

#include "contract/run_error.h"

namespace orv {

const wchar_t* ErrorBoxText(RunError error) {
  switch (error) {
    case RunError::None: return L"";
    case RunError::ConfigFetch: return L"Cannot obtain configuration. Error code 1";
    case RunError::ConfigParse: return L"Cannot obtain configuration. Error code 3";
    case RunError::Download: return L"Cannot obtain installer. Error code 4";
    case RunError::ChecksumOpen: return L"Cannot obtain installer. Error code 5";
    case RunError::ChecksumMismatch: return L"The installation file is corrupted. Error code 6";
    case RunError::Launch: return L"Cannot run installer. Error code 7";
  }
  return L"";
}

std::string ConfigParseLine(const std::string& reason) { return "Error parsing file. Error: " + reason; }

std::string Status::LogText() const {
  if (!failed_) return {};
  if (code_ == 0) return detail_;
  return detail_ + ". Error code " + std::to_string(code_);
}

}  // namespace orv
