#include "main/windows_run_effects.h"

#include <objbase.h>
#include <rpc.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>

#include "config/stub_config.h"
#include "download/installer_download.h"
#include "http/http_client.h"
#include "main/log_text.h"
#include "main/logging.h"
#include "main/tracking_url.h"
#include "text/log_escape.h"
#include "util/file_paths.h"
#include "util/file_sums.h"
#include "util/no_redirect_file.h"
#include "util/open_web_page.h"
#include "util/private_folder.h"
#include "util/status.h"
#include "util/unique_resource.h"

namespace orv {

namespace {

constexpr wchar_t kMutexName[] = L"5b2d9e71-3c4a-4f08-9d6e-a7c1e2f04b93";
// How long the first download attempt waits for the progress dialog to come up before it starts
// without it, and how long the run waits for the dialog to go after a download.
constexpr DWORD kDialogWaitMs = 5000;
// The download folder's name: this, then eight hexadecimal digits.
constexpr wchar_t kDownloadFolderPrefix[] = L"orv";
// Length of the ".exe" that MakeTempInstallerPathIn appends to the platform's temporary name.
constexpr size_t kExeSuffixLength = 4;
// Longest module path the system can report, in characters with the terminator.
constexpr DWORD kMaxModulePath = 32768;

// Strings that the RPC run-time allocated: freed with RpcStringFreeW.
struct RpcStringTraits {
  using Handle = RPC_WSTR;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle text) { return text != nullptr; }
  static void Close(Handle text) { RpcStringFreeW(&text); }
};

}  // namespace

WindowsRunEffects::WindowsRunEffects(HINSTANCE instance, const Endpoints& endpoints, SignatureReader readSignature)
    : instance_(instance), endpoints_(endpoints), readSignature_(readSignature) {}

WindowsRunEffects::~WindowsRunEffects() = default;

bool WindowsRunEffects::ClaimSingleInstance() {
  if (UniqueHandle existing{OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kMutexName)}) return false;
  mutex_.reset(CreateMutexW(nullptr, FALSE, kMutexName));
  // Two stubs started together can both miss the other's mutex in OpenMutexW; the creation
  // tells which one came second.
  return !(mutex_ && GetLastError() == ERROR_ALREADY_EXISTS);
}

void WindowsRunEffects::ReleaseSingleInstance() { ReleaseMutex(mutex_.get()); }

void WindowsRunEffects::StartLogging() { InitLogging(); }

void WindowsRunEffects::Log(LogLevel level, const std::string& message) {
  // One call, one line, whatever the values in the message hold.
  const std::string line = EscapeLogValue(message);
  switch (level) {
    case LogLevel::Info: LOG(INFO) << line; break;
    case LogLevel::Warning: LOG(WARNING) << line; break;
    case LogLevel::Error: LOG(ERROR) << line; break;
  }
}

bool WindowsRunEffects::FetchConfiguration(std::wstring& text) {
  return orv::FetchConfiguration(endpoints_.configUrl, !endpoints_.allowInvalidCertificates, text);
}

void WindowsRunEffects::ShowErrorBox(const wchar_t* text) {
  MessageBoxW(nullptr, text, kErrorBoxTitle, MB_ICONERROR);
}

void WindowsRunEffects::StartProgressDialog() { dialog_.Start(instance_); }

void WindowsRunEffects::RestartProgress() { dialog_.channel()->PostPosition(0); }

void WindowsRunEffects::EndProgressDialog() {
  if (!dialog_.EndAndWait(kDialogWaitMs)) LOG(WARNING) << "The progress dialog did not close in time";
}

std::wstring WindowsRunEffects::MakeTempInstallerPath(std::string& error) {
  unsigned long code = 0;
  const std::wstring temp = TempFolder(code);
  if (temp.empty()) {
    error = "Can't find the temporary folder. Error code " + std::to_string(code);
    return {};
  }
  if (!downloadFolder_.Create(temp, kDownloadFolderPrefix, ProcessIsElevated())) {
    error = "Can't create a download folder in " + Quoted(temp) + ". Error code " + std::to_string(GetLastError());
    return {};
  }
  const std::unique_ptr<wchar_t[]> made = MakeTempInstallerPathIn(downloadFolder_.path().c_str());
  const std::wstring path = made ? made.get() : L"";
  if (path.size() <= kExeSuffixLength) {
    error = "Can't make a download name in " + Quoted(downloadFolder_.path()) + ". Error code " +
            std::to_string(GetLastError());
    return {};
  }
  placeholder_ = path.substr(0, path.size() - kExeSuffixLength);
  return path;
}

bool WindowsRunEffects::RemoveDownloadFolder(unsigned long& error) {
  if (!placeholder_.empty() && !DeleteFileW(placeholder_.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
    error = GetLastError();
    return false;
  }
  if (downloadFolder_.Remove()) return true;
  error = GetLastError();
  return false;
}

unsigned WindowsRunEffects::DrawCacheBuster() {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  return static_cast<unsigned>(std::rand());
}

DownloadResult WindowsRunEffects::DownloadOnce(const std::wstring& url, const std::wstring& path,
                                               std::optional<uint64_t> size) {
  // Once the dialog is up every status reaches it; without it the download goes on regardless.
  (void)dialog_.WaitUntilShown(kDialogWaitMs);
  return DownloadInstallerOnce(url, path, MakeDialogProgressSink(dialog_.channel()), size);
}

void WindowsRunEffects::Pause(uint32_t ms) { Sleep(ms); }

bool WindowsRunEffects::CheckInstallerFile(const std::wstring& path, FileSums& sums, std::string& error) {
  checkedFile_.reset();
  UniqueHandle file = OpenLockedForCheck(path);
  if (!file) {
    error = "Failed to open the file " + Quoted(path) + " for its check. Error code " + std::to_string(GetLastError());
    return false;
  }
  HandleByteSource source(file.get());
  if (!ComputeFileSums(source, sums)) {
    error = "Failed to read the file " + Quoted(path) + ". Error code " + std::to_string(GetLastError());
    return false;
  }
  checkedFile_ = std::move(file);
  checkedPath_ = path;
  return true;
}

SignatureReading WindowsRunEffects::ReadInstallerSignature(const std::wstring& path) {
  if (!readSignature_ || !checkedFile_ || path != checkedPath_) {
    SignatureReading none;
    none.trustResult = static_cast<int32_t>(E_HANDLE);
    return none;
  }
  return readSignature_(checkedFile_.get(), path);
}

void WindowsRunEffects::ReleaseInstallerFile() { checkedFile_.reset(); }

bool WindowsRunEffects::NewUuidText(std::wstring& text, unsigned long& error) {
  UUID uuid;
  const RPC_STATUS created = UuidCreate(&uuid);
  if (created != RPC_S_OK && created != RPC_S_UUID_LOCAL_ONLY) {
    error = static_cast<unsigned long>(created);
    return false;
  }
  UniqueResource<RpcStringTraits> converted;
  const RPC_STATUS status = UuidToStringW(&uuid, converted.out());
  if (status != RPC_S_OK || !converted) {
    error = static_cast<unsigned long>(status);
    return false;
  }
  text = reinterpret_cast<const wchar_t*>(converted.get());
  return true;
}

bool WindowsRunEffects::StartInstaller(const std::wstring& path, const std::wstring& parameters,
                                       unsigned long& error) {
  // The shell may hand the launch to its extensions, which need COM; so does the resume shortcut.
  if (!com_) com_.emplace();
  SHELLEXECUTEINFOW record = {};
  record.cbSize = sizeof(record);
  // No shell error box: a failed launch is reported once, by the run's own error box.
  record.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  record.lpFile = path.c_str();
  record.lpParameters = parameters.c_str();
  record.nShow = SW_SHOWNORMAL;
  const BOOL started = ShellExecuteExW(&record);
  const DWORD startError = GetLastError();
  // The image is mapped once the process exists: nobody can swap the file under it any more.
  checkedFile_.reset();
  if (!started) {
    error = startError;
    return false;
  }
  if (!record.hProcess) {
    error = ERROR_INVALID_HANDLE;
    return false;
  }
  installer_.reset(record.hProcess);
  return true;
}

bool WindowsRunEffects::WaitForInstaller(uint32_t& exitCode, unsigned long& error) {
  DWORD code = 0;
  if (!installer_ || WaitForSingleObject(installer_.get(), INFINITE) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(installer_.get(), &code)) {
    error = installer_ ? GetLastError() : ERROR_INVALID_HANDLE;
    return false;
  }
  installer_.reset();
  exitCode = code;
  return true;
}

void WindowsRunEffects::OpenPage(const std::wstring& address) {
  static_cast<void>(OpenWebPageAsDesktopUser(address));
}

void WindowsRunEffects::SendFailureHit(const std::wstring& url) {
  HttpClient client(url);
  client.setTotalDeadline(kFailureHitDeadlineMs);
  static_cast<void>(client.execute(L"GET"));
}

std::wstring WindowsRunEffects::TempFolder(unsigned long& error) {
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

std::wstring WindowsRunEffects::ResumeFolder(unsigned long& error) {
  wchar_t programs[MAX_PATH + 1] = {};
  if (!SHGetSpecialFolderPathW(nullptr, programs, CSIDL_PROGRAM_FILES, FALSE) || programs[0] == L'\0') {
    error = ERROR_PATH_NOT_FOUND;
    return {};
  }
  std::wstring folder = programs;
  if (folder.back() != L'\\') folder += L'\\';
  return folder + kResumeFolderName + L'\\';
}

bool WindowsRunEffects::SecureResumeFolder(const std::wstring& folder, unsigned long& error) {
  if (SecureAdminsOnlyFolder(folder)) return true;
  error = GetLastError();
  return false;
}

bool WindowsRunEffects::SameFile(const std::wstring& first, const std::wstring& second) {
  return IsSameFile(first, second);
}

std::wstring WindowsRunEffects::OwnPath(unsigned long& error) {
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

bool WindowsRunEffects::CopyFileTo(const std::wstring& from, const std::wstring& to, unsigned long& error) {
  if (CopyFileNoRedirect(from, to)) return true;
  error = GetLastError();
  return false;
}

std::wstring WindowsRunEffects::DesktopShortcutPath() {
  const std::unique_ptr<wchar_t[]> path = ResumeShortcutPath();
  return path ? path.get() : L"";
}

bool WindowsRunEffects::Exists(const std::wstring& path) { return PathExists(path.c_str()); }

bool WindowsRunEffects::RemoveFile(const std::wstring& path, unsigned long& error) {
  if (DeleteFileW(path.c_str())) return true;
  error = GetLastError();
  return false;
}

bool WindowsRunEffects::WriteResumeShortcut(const std::wstring& target, const std::wstring& shortcut,
                                            unsigned long& error) {
  if (!com_) com_.emplace();
  if (SUCCEEDED(CreateResumeShortcut(target.c_str(), shortcut.c_str()))) return true;
  error = GetLastError();
  return false;
}

}  // namespace orv
