#pragma once
#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "main/endpoints.h"
#include "main/progress_dialog.h"
#include "main/run_effects.h"
#include "util/com_scope.h"
#include "util/file_signature.h"
#include "util/private_folder.h"
#include "util/unique_handle.h"

namespace orv {

// Carries the run's effects out on Windows. It owns what the run holds between effects: the
// single-instance mutex, the progress dialog (whose handles other threads reach only through
// its channel), the private download folder, the checked installer file (locked against writers), the started installer's process and COM on the run's thread (initialised once,
// before the installer is started, and released when this object ends). Each download attempt
// is watched inside DownloadOnce. Must be used and destroyed on one thread.
class WindowsRunEffects final : public RunEffects {
 public:
  // instance: the module whose resources hold the dialog; endpoints: the addresses built in;
  // readSignature: how ReadInstallerSignature reads (null in builds without a publisher pin).
  WindowsRunEffects(HINSTANCE instance, const Endpoints& endpoints, SignatureReader readSignature = nullptr);
  ~WindowsRunEffects() override;
  WindowsRunEffects(const WindowsRunEffects&) = delete;
  WindowsRunEffects& operator=(const WindowsRunEffects&) = delete;

  // See RunEffects and ResumeEffects for each contract.
  bool ClaimSingleInstance() override;
  void ReleaseSingleInstance() override;
  void StartLogging() override;
  void Log(LogLevel level, const std::string& message) override;
  bool FetchConfiguration(std::wstring& text) override;
  void ShowErrorBox(const wchar_t* text) override;
  void StartProgressDialog() override;
  void RestartProgress() override;
  void EndProgressDialog() override;
  std::wstring MakeTempInstallerPath(std::string& error) override;
  bool RemoveDownloadFolder(unsigned long& error) override;
  unsigned DrawCacheBuster() override;
  DownloadResult DownloadOnce(const std::wstring& url, const std::wstring& path,
                              std::optional<uint64_t> size) override;
  void Pause(uint32_t ms) override;
  bool CheckInstallerFile(const std::wstring& path, FileSums& sums, std::string& error) override;
  SignatureReading ReadInstallerSignature(const std::wstring& path) override;
  void ReleaseInstallerFile() override;
  bool NewUuidText(std::wstring& text, unsigned long& error) override;
  bool StartInstaller(const std::wstring& path, const std::wstring& parameters, unsigned long& error) override;
  bool WaitForInstaller(uint32_t& exitCode, unsigned long& error) override;
  void OpenPage(const std::wstring& address) override;
  void SendFailureHit(const std::wstring& url) override;
  std::wstring ResumeFolder(unsigned long& error) override;
  bool SecureResumeFolder(const std::wstring& folder, unsigned long& error) override;
  std::wstring OwnPath(unsigned long& error) override;
  bool SameFile(const std::wstring& first, const std::wstring& second) override;
  bool CopyFileTo(const std::wstring& from, const std::wstring& to, unsigned long& error) override;
  std::wstring DesktopShortcutPath() override;
  bool Exists(const std::wstring& path) override;
  bool RemoveFile(const std::wstring& path, unsigned long& error) override;
  bool WriteResumeShortcut(const std::wstring& target, const std::wstring& shortcut, unsigned long& error) override;

  // Empty (error set) when the system gives none; otherwise the temporary folder, ending in a
  // backslash: the parent of the download folder.
  std::wstring TempFolder(unsigned long& error);

 private:
  HINSTANCE instance_;
  Endpoints endpoints_;
  UniqueHandle mutex_;
  ProgressDialog dialog_;
  PrivateFolder downloadFolder_;  // made for the download, held so that nobody can swap it
  std::wstring placeholder_;      // the empty file the platform made beside the download's name
  SignatureReader readSignature_;
  UniqueHandle checkedFile_;  // the installer, held from its check until it has been started
  std::wstring checkedPath_;  // its path
  UniqueHandle installer_;
  std::optional<ComScope> com_;
};

}  // namespace orv
