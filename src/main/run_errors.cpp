#include "main/run_errors.h"

const wchar_t* ErrorBoxText(RunError error) {
  switch (error) {
    case RunError::ConfigFetch: return L"Cannot obtain configuration. Error code 1";
    case RunError::ConfigParse: return L"Cannot obtain configuration. Error code 3";
    case RunError::Download: return L"Cannot obtain installer. Error code 4";
    case RunError::ChecksumOpen: return L"Cannot obtain installer. Error code 5";
    case RunError::ChecksumMismatch: return L"The installation file is corrupted. Error code 6";
    case RunError::Launch: return L"Cannot run installer. Error code 7";
  }
  return L"";
}
