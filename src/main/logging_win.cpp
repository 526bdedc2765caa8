#include "main/logging.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "util/no_redirect_file.h"

INITIALIZE_EASYLOGGINGPP

namespace orv {

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

// The log file and its folder, held open from one InitLogging to the next (main thread only): while
// held, neither can be renamed, deleted or swapped for a link under the logging library's feet.
struct LogFileClaim {
  UniqueHandle folder;
  UniqueHandle file;
};

LogFileClaim& HeldLogFile() {
  static LogFileClaim claim;
  return claim;
}

// The log file's path as the narrow name the logging library opens. A folder whose name the ANSI
// code page cannot hold (a user name in another script) is reached through its short name.
// Empty, with refused set to the file's wide path and refusal to the reason, when the folder or
// the file is a link (junction, symbolic or hard link) that could send the lines elsewhere.
std::string LogFilePath(LogFileClaim& claim, std::wstring& refused, DWORD& refusal) {
  wchar_t appData[MAX_PATH + 1] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData))) return {};
  std::wstring folder = std::wstring(appData) + kLogFolder;
  CreateDirectoryW(folder.c_str(), nullptr);
  claim.folder = HoldFolderNoRedirect(folder);
  if (claim.folder) claim.file = OpenForWriteNoRedirect(folder + kLogFile, /*shareWrite=*/true);
  if (!claim.folder || !claim.file) {
    refusal = GetLastError();
    refused = folder + kLogFile;
    return {};
  }
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
  LogFileClaim claim;
  std::wstring refused;
  DWORD refusal = ERROR_SUCCESS;
  const std::string file = LogFilePath(claim, refused, refusal);
  if (file.empty()) {
    config.setGlobally(el::ConfigurationType::ToFile, "false");
  } else {
    config.setGlobally(el::ConfigurationType::Filename, file);
  }
  config.setGlobally(el::ConfigurationType::ToStandardOutput, "true");
  el::Loggers::reconfigureLogger("default", config);
  // The library has left the previous file: its claim can go.
  HeldLogFile() = std::move(claim);
  if (!refused.empty()) {
    LOG(ERROR) << "Log file refused " << Quoted(refused) << ". Error code " << static_cast<unsigned long>(refusal);
  }
}

}  // namespace orv
