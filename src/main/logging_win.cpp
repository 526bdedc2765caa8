#include "main/logging.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

INITIALIZE_EASYLOGGINGPP

namespace {

constexpr wchar_t kLogFolder[] = L"\\Tavlin";
constexpr wchar_t kLogFile[] = L"\\ORVD.log";

// The ANSI form of a wide path, or empty when the ANSI code page cannot represent it exactly.
std::string ExactAnsi(const std::wstring& path) {
  BOOL lossy = FALSE;
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, nullptr, 0, nullptr, &lossy);
  if (size <= 0 || lossy) return {};
  std::string out(static_cast<size_t>(size), '\0');
  if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, &out[0], size, nullptr, &lossy) <= 0 ||
      lossy) {
    return {};
  }
  out.resize(static_cast<size_t>(size) - 1);
  return out;
}

// The log file's path as the narrow name the logging library opens. A folder whose name the ANSI
// code page cannot hold (a user name in another script) is reached through its short name.
std::string LogFilePath() {
  wchar_t appData[MAX_PATH + 1] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData))) return {};
  std::wstring folder = std::wstring(appData) + kLogFolder;
  CreateDirectoryW(folder.c_str(), nullptr);
  std::string narrow = ExactAnsi(folder + kLogFile);
  if (!narrow.empty()) return narrow;
  const DWORD needed = GetShortPathNameW(folder.c_str(), nullptr, 0);
  if (needed == 0) return {};
  std::wstring shortFolder(needed, L'\0');
  const DWORD written = GetShortPathNameW(folder.c_str(), &shortFolder[0], needed);
  if (written == 0 || written >= needed) return {};
  shortFolder.resize(written);
  return ExactAnsi(shortFolder + kLogFile);
}

}  // namespace

void InitLogging() {
  el::Configurations config;
  config.setToDefault();
  config.setGlobally(el::ConfigurationType::Format, "%datetime %level %msg");
  const std::string file = LogFilePath();
  if (file.empty()) {
    config.setGlobally(el::ConfigurationType::ToFile, "false");
  } else {
    config.setGlobally(el::ConfigurationType::Filename, file);
  }
  config.setGlobally(el::ConfigurationType::ToStandardOutput, "true");
  el::Loggers::reconfigureLogger("default", config);
}

