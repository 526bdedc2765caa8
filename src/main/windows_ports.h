#pragma once
// The run's ports as Windows carries them out. Each adapter is thin: the decisions are the run's.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "base/com_scope.h"
#include "base/unique_handle.h"
#include "launch/file_signature.h"
#include "main/endpoints.h"
#include "main/run_ports.h"
#include "main/silent_user_interface.h"

namespace orv {

// The log file through easylogging++, written through the handle it checked; one lock (the
// log's own), so any thread may write.
class WindowsRunLog final : public RunLog {
 public:
  void Start() override;
  void Log(LogLevel level, const std::string& message) override;
};

// The error box and the progress dialog (on a thread of its own, which the returned scope ends
// and waits for). Closing the dialog sets userClosed (a manual-reset event, not owned).
class WindowsUserInterface final : public UserInterface {
 public:
  WindowsUserInterface(HINSTANCE instance, RunLog& log, HANDLE userClosed)
      : instance_(instance), log_(log), userClosed_(userClosed) {}
  void ShowErrorBox(const wchar_t* text) override;
  std::unique_ptr<ProgressScope> StartProgress() override;

 private:
  HINSTANCE instance_;
  RunLog& log_;
  HANDLE userClosed_;
};

// The configuration fetch and the failure hit over WinHTTP, the installer's download attempts
// (WinHttpTransfer; each ended at once when userClosed is set).
class WindowsNetwork final : public Network {
 public:
  WindowsNetwork(const Endpoints& endpoints, HANDLE userClosed) : endpoints_(endpoints), userClosed_(userClosed) {}
  Result<std::wstring> FetchConfiguration() override;
  unsigned DrawCacheBuster() override;
  std::unique_ptr<DownloadTransfer> OpenTransfer(DownloadFile& file, const DownloadTimings& timings) override;
  void SendFailureHit(const std::wstring& url) override;

 private:
  Endpoints endpoints_;
  HANDLE userClosed_;
};

// The run's folder and what it holds, the stub's own program, the resume copy's folder.
// readSignature: how the checked installer's signature is read (null: it cannot be).
class WindowsFiles final : public Files {
 public:
  explicit WindowsFiles(SignatureReader readSignature) : readSignature_(readSignature) {}
  Result<std::unique_ptr<RunFolder>> MakeRunFolder() override;
  Result<std::unique_ptr<OwnImage>> HoldOwnImage() override;
  Result<std::wstring> ResumeFolder() override;
  Status SecureResumeFolder(const std::wstring& folder) override;

 private:
  SignatureReader readSignature_;
};

// The resume shortcut on the user's desktop (a shell link, written with COM on the run's thread).
class WindowsShortcuts final : public Shortcuts {
 public:
  std::wstring DesktopShortcutPath() override;
  bool Exists(const std::wstring& path) override;
  Status RemoveShortcut(const std::wstring& path) override;
  Status WriteShortcut(const std::wstring& target, const std::wstring& shortcut) override;
};

// The single-instance mutex, UUIDs, and pages opened for the desktop's user.
class WindowsProcesses final : public Processes {
 public:
  std::unique_ptr<Scope> ClaimSingleInstance() override;
  Result<std::wstring> NewUuidText() override;
  Status OpenPage(const std::wstring& address) override;
};

// Every port, and what they share: COM on the run's thread, and the event that the progress
// dialog sets when the user closes it. Must be used and destroyed on the thread that made it.
class WindowsPorts {
 public:
  // instance: the module whose resources hold the dialog; endpoints: the addresses built in;
  // readSignature: how the installer's signature is read (null in builds without a publisher pin);
  // silent: the run shows no window (its user interface only logs).
  WindowsPorts(HINSTANCE instance, const Endpoints& endpoints, SignatureReader readSignature, bool silent = false);
  WindowsPorts(const WindowsPorts&) = delete;
  WindowsPorts& operator=(const WindowsPorts&) = delete;
  RunPorts ports() {
    UserInterface& ui = silent_ ? static_cast<UserInterface&>(silentUi_) : ui_;
    return RunPorts{log_, ui, network_, files_, shortcuts_, processes_};
  }

 private:
  ComScope com_;
  UniqueHandle userClosed_;
  WindowsRunLog log_;
  WindowsUserInterface ui_;
  SilentUserInterface silentUi_;
  bool silent_;
  WindowsNetwork network_;
  WindowsFiles files_;
  WindowsShortcuts shortcuts_;
  WindowsProcesses processes_;
};

}  // namespace orv
