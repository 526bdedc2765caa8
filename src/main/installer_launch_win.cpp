#include "main/installer_launch.h"

#include <windows.h>
#include <objbase.h>
#include <rpc.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "main/failure_hit.h"
#include "main/logging.h"
#include "main/outcome.h"
#include "util/no_redirect_file.h"
#include "util/open_web_page.h"
#include "util/path_exists.h"
#include "util/resume_shortcut.h"
#include "util/temp_paths.h"
#include "util/unique_handle.h"

namespace {

// Longest module path the system can report, in characters with the terminator.
constexpr DWORD kMaxModulePath = 32768;

// Owns a string that the RPC run-time allocated.
class RpcWideString {
 public:
  RpcWideString() = default;
  ~RpcWideString() {
    if (text_) RpcStringFreeW(&text_);
  }
  RpcWideString(const RpcWideString&) = delete;
  RpcWideString& operator=(const RpcWideString&) = delete;

  RPC_WSTR* out() { return &text_; }
  const wchar_t* get() const { return reinterpret_cast<const wchar_t*>(text_); }

 private:
  RPC_WSTR text_ = nullptr;
};

// A new random installation id (36 lower-case characters); false, logged, when none can be made.
bool NewInstallationId(std::wstring& id) {
  UUID uuid;
  const RPC_STATUS created = UuidCreate(&uuid);
  if (created != RPC_S_OK && created != RPC_S_UUID_LOCAL_ONLY) {
    LOG(ERROR) << "Unable to create an installation id. Error code " << static_cast<unsigned long>(created);
    return false;
  }
  RpcWideString text;
  const RPC_STATUS converted = UuidToStringW(&uuid, text.out());
  const std::optional<std::wstring> formatted =
      converted == RPC_S_OK && text.get() ? InstallationIdFromUuidText(text.get()) : std::nullopt;
  if (!formatted) {
    LOG(ERROR) << "Unable to create an installation id. Error code " << static_cast<unsigned long>(converted);
    return false;
  }
  id = *formatted;
  return true;
}

// The temporary folder, ending in a backslash; empty with error set when the system gives none.
std::wstring TempFolder(DWORD& error) {
  const DWORD needed = GetTempPathW(0, nullptr);
  if (needed == 0) {
    error = GetLastError();
    return {};
  }
  std::wstring folder(needed, L'\0');
  const DWORD written = GetTempPathW(needed, &folder[0]);
  if (written == 0 || written >= needed) {
    error = written == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER;
    return {};
  }
  folder.resize(written);
  return folder;
}

// This program's own path, whatever its length; empty with error set when it cannot be read.
std::wstring OwnPath(DWORD& error) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD written = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (written == 0) {
      error = GetLastError();
      return {};
    }
    if (written < path.size()) {
      path.resize(written);
      return path;
    }
    if (path.size() >= kMaxModulePath) {
      error = ERROR_INSUFFICIENT_BUFFER;
      return {};
    }
    path.resize(path.size() * 2);
  }
}

// Success: removes the resume shortcut that an earlier cancelled run may have left.
void DeleteResumeShortcut() {
  const std::unique_ptr<wchar_t[]> shortcut = ResumeShortcutPath();
  if (!shortcut || shortcut[0] == L'\0' || !PathExists(shortcut.get())) return;
  LOG(INFO) << "Attempting to delete shortcut " << Quoted(shortcut.get());
  if (DeleteFileW(shortcut.get())) {
    LOG(INFO) << Quoted(shortcut.get()) << " deleted";
  } else {
    const DWORD error = GetLastError();
    LOG(WARNING) << "Unable to delete " << Quoted(shortcut.get()) << " shortcut. Error code "
                 << static_cast<unsigned long>(error);
  }
}

// Cancelled with the flag set: copies this program to "orvdl_setup.exe" in the temporary folder
// and puts the resume shortcut to that copy on the desktop; nothing when already running from it.
void LeaveResumeCopy() {
  DWORD error = 0;
  const std::wstring copyPath = ResumeCopyPath(TempFolder(error));
  const std::wstring ownPath = copyPath.empty() ? std::wstring() : OwnPath(error);
  if (!ownPath.empty() && lstrcmpW(ownPath.c_str(), copyPath.c_str()) == 0) return;

  LOG(INFO) << "Copy wrapper to temp directory";
  bool copied = false;
  if (!ownPath.empty()) {
    copied = CopyFileNoRedirect(ownPath, copyPath);
    if (!copied) error = GetLastError();
  }
  if (!copied) {
    LOG(ERROR) << "Failed to copy the wrapper into " << Quoted(copyPath) << ". Error code "
               << static_cast<unsigned long>(error);
    return;
  }
  LOG(INFO) << "Wrapper successfully copied to " << Quoted(copyPath);

  const std::unique_ptr<wchar_t[]> shortcutPtr = ResumeShortcutPath();
  const wchar_t* shortcut = shortcutPtr ? shortcutPtr.get() : L"";
  LOG(INFO) << "Attempting to create shortcut " << Quoted(shortcut);
  if (SUCCEEDED(CreateResumeShortcut(copyPath.c_str(), shortcut))) {
    LOG(INFO) << "Successfully created shortcut " << Quoted(shortcut);
  } else {
    const DWORD lastError = GetLastError();
    LOG(ERROR) << "Unable to create shortcut " << Quoted(shortcut) << ". Error code "
               << static_cast<unsigned long>(lastError);
  }
}

void ActOnOutcome(const LaunchRequest& request, const std::wstring& installationId, uint32_t exitCode) {
  const wchar_t* cancelPageBase = request.endpoints ? request.endpoints->cancelPageBase : nullptr;
  const wchar_t* analyticsHost = request.endpoints ? request.endpoints->analyticsHost : nullptr;
  switch (ClassifyExitCode(exitCode)) {
    case InstallerOutcome::Success:
      LOG(INFO) << "Installer execution has successfully completed";
      DeleteResumeShortcut();
      break;
    case InstallerOutcome::Cancelled: {
      LOG(INFO) << "Installer execution canceled. Exit code " << exitCode;
      LOG(INFO) << "Navigating user to cancellation page";
      if (cancelPageBase && *cancelPageBase) {
        const std::wstring page = BuildCancellationPageAddress(cancelPageBase, request.version);
        static_cast<void>(OpenWebPageAsDesktopUser(page));
      }
      if (request.resumeShortcut) LeaveResumeCopy();
      break;
    }
    case InstallerOutcome::Failed:
      LOG(INFO) << "Installer execution failed. Exit code " << exitCode;
      SendFailureHit(analyticsHost, installationId, exitCode);
      break;
  }
}

}  // namespace

bool LaunchInstallerAndAct(const LaunchRequest& request, uint32_t& exitCode) {
  const std::wstring installerPath = request.installerPath ? request.installerPath : L"";
  std::wstring installationId;
  std::wstring parameters;
  bool ready = NewInstallationId(installationId);
  if (ready) {
    parameters = BuildInstallerParameters(installationId, request.version, request.commandLine);
    ready = FitsProcessCommandLine(installerPath.size(), parameters.size());
    if (!ready) {
      LOG(ERROR) << "Installer command line of " << installerPath.size() + 3 + parameters.size()
                 << " characters is longer than the system's limit of " << kMaxProcessCommandLine;
    }
  }

  SHELLEXECUTEINFOW record = {};
  bool started = false;
  DWORD launchError = 0;
  if (ready) {
    record.cbSize = sizeof(record);
    // No shell error box: a failed launch is reported once, by the run's own error box.
    record.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    record.lpFile = installerPath.c_str();
    record.lpParameters = parameters.c_str();
    record.nShow = SW_SHOWNORMAL;
    LOG(INFO) << "Launching installer " << Quoted(installerPath + L" " + parameters);
    started = ShellExecuteExW(&record) != FALSE;
    if (!started) launchError = GetLastError();
  }
  // The resume shortcut needs COM; the run uninitialises it after every launch attempt.
  static_cast<void>(CoInitialize(nullptr));
  UniqueHandle process(started ? record.hProcess : nullptr);
  if (!ready) return false;
  if (!started) {
    LOG(ERROR) << "Unable to run installer " << Quoted(installerPath) << ". Error code "
               << static_cast<unsigned long>(launchError);
    return false;
  }
  if (!process) {
    LOG(ERROR) << "Unable to run installer " << Quoted(installerPath) << ": no process to wait for";
    return false;
  }

  LOG(INFO) << "Waiting for installer to complete...";
  DWORD code = 0;
  if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.get(), &code)) {
    const DWORD error = GetLastError();
    LOG(ERROR) << "Unable to read the installer's exit code. Error code " << static_cast<unsigned long>(error);
    return false;
  }
  process.reset();
  exitCode = code;
  ActOnOutcome(request, installationId, exitCode);
  return true;
}
