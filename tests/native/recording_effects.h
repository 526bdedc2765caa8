#pragma once
// A fake of the run's effects: it answers as its Scenario says and records every call, in order,
// as one line of text ("download <url> -> <path>", "INFO <message>", "box <text>", ...).
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "main/run_effects.h"
#include "text/utf8.h"

namespace orv_test {
using namespace orv;

struct Scenario {
  bool anotherStubRuns = false;
  std::optional<std::wstring> config;       // nullopt: the fetch fails
  std::wstring installerPath = L"C:\\T\\orv0a1b2c3d\\orv1.tmp.exe";  // empty: no download folder
  bool folderStays = false;                 // the download folder cannot be removed
  unsigned cacheBuster = 7;
  std::vector<DownloadResult> downloads;    // one per attempt; attempts beyond the list succeed
  std::optional<uint32_t> crc;              // nullopt: the file cannot be opened
  Sha256Digest sha256{};                    // the file's SHA-256
  SignatureReading signature;               // what reading the file's signature gives
  std::optional<Sha256Digest> pin;          // the run's setting: the build's publisher pin
  std::optional<std::wstring> uuidText = L"6BA7B810-9DAD-11D1-80B4-00C04FD430C8";  // nullopt: fails
  bool launchFails = false;
  bool waitFails = false;
  uint32_t exitCode = 0;
  std::wstring resumeFolder = L"C:\\P\\Orvandel Setup\\";
  bool resumeFolderRefused = false;         // the folder cannot be made administrators-only
  std::wstring ownPath = L"D:\\dl\\orvsetup.exe";
  bool runsFromCopy = false;                // the platform finds ownPath to be the copy
  bool copyFails = false;
  bool linkFails = false;
  bool shortcutExists = false;
  std::vector<std::wstring> undeletable;    // paths whose deletion fails
};

class RecordingEffects final : public RunEffects {
 public:
  explicit RecordingEffects(Scenario scenario) : s_(std::move(scenario)) {}
  std::vector<std::string> trace;

  bool ClaimSingleInstance() override {
    Note("claim");
    return !s_.anotherStubRuns;
  }
  void ReleaseSingleInstance() override { Note("release"); }
  void StartLogging() override { Note("start logging"); }
  void Log(LogLevel level, const std::string& message) override {
    Note((level == LogLevel::Info ? "INFO " : level == LogLevel::Warning ? "WARNING " : "ERROR ") + message);
  }
  bool FetchConfiguration(std::wstring& text) override {
    Note("fetch config");
    if (s_.config) text = *s_.config;
    return s_.config.has_value();
  }
  void ShowErrorBox(const wchar_t* text) override { Note("box " + ToUtf8(text)); }
  void StartProgressDialog() override { Note("dialog start"); }
  void RestartProgress() override { Note("dialog restart"); }
  void EndProgressDialog() override { Note("dialog end"); }
  std::wstring MakeTempInstallerPath(std::string& error) override {
    Note("temp path");
    if (s_.installerPath.empty()) error = "Can't create a download folder in \"C:\\T\\\". Error code 5";
    return s_.installerPath;
  }
  bool RemoveDownloadFolder(unsigned long& error) override {
    Note("remove folder");
    error = 145;
    return !s_.folderStays;
  }
  unsigned DrawCacheBuster() override { return s_.cacheBuster; }
  DownloadResult DownloadOnce(const std::wstring& url, const std::wstring& path, std::optional<uint64_t>) override {
    Note("download " + ToUtf8(url) + " -> " + ToUtf8(path));
    return attempt_ < s_.downloads.size() ? s_.downloads[attempt_++] : DownloadResult{};
  }
  void Pause(uint32_t ms) override { Note("pause " + std::to_string(ms)); }
  bool CheckInstallerFile(const std::wstring& path, FileSums& sums, std::string& error) override {
    Note("check " + ToUtf8(path));
    if (!s_.crc) error = "Failed to open the file";
    sums.crc32 = s_.crc.value_or(0);
    sums.sha256 = s_.sha256;
    return s_.crc.has_value();
  }
  SignatureReading ReadInstallerSignature(const std::wstring& path) override {
    Note("signature " + ToUtf8(path));
    return s_.signature;
  }
  void ReleaseInstallerFile() override { Note("unlock"); }
  bool NewUuidText(std::wstring& text, unsigned long& error) override {
    error = 1717;
    text = s_.uuidText.value_or(L"");
    return s_.uuidText.has_value();
  }
  bool StartInstaller(const std::wstring& path, const std::wstring& parameters, unsigned long& error) override {
    Note("start " + ToUtf8(path) + " " + ToUtf8(parameters));
    error = 193;
    return !s_.launchFails;
  }
  bool WaitForInstaller(uint32_t& exitCode, unsigned long& error) override {
    Note("wait");
    error = 6;
    if (!s_.waitFails) exitCode = s_.exitCode;
    return !s_.waitFails;
  }
  void OpenPage(const std::wstring& address) override { Note("page " + ToUtf8(address)); }
  void SendFailureHit(const std::wstring& url) override { Note("hit " + ToUtf8(url)); }
  std::wstring ResumeFolder(unsigned long&) override { return s_.resumeFolder; }
  bool SecureResumeFolder(const std::wstring& folder, unsigned long& error) override {
    Note("secure " + ToUtf8(folder));
    error = 5;
    return !s_.resumeFolderRefused;
  }
  std::wstring OwnPath(unsigned long&) override { return s_.ownPath; }
  bool SameFile(const std::wstring& first, const std::wstring& second) override {
    return s_.runsFromCopy || first == second;
  }
  bool CopyFileTo(const std::wstring& from, const std::wstring& to, unsigned long& error) override {
    Note("copy " + ToUtf8(from) + " -> " + ToUtf8(to));
    error = 32;
    return !s_.copyFails;
  }
  std::wstring DesktopShortcutPath() override { return L"C:\\Desk\\Continue installation.lnk"; }
  bool Exists(const std::wstring&) override { return s_.shortcutExists; }
  bool RemoveFile(const std::wstring& path, unsigned long& error) override {
    Note("delete " + ToUtf8(path));
    error = 5;
    for (const std::wstring& undeletable : s_.undeletable) {
      if (undeletable == path) return false;
    }
    return true;
  }
  bool WriteResumeShortcut(const std::wstring& target, const std::wstring& shortcut, unsigned long& error) override {
    Note("link " + ToUtf8(shortcut) + " -> " + ToUtf8(target));
    error = 80;
    return !s_.linkFails;
  }

 private:
  void Note(const std::string& line) { trace.push_back(line); }
  Scenario s_;
  size_t attempt_ = 0;
};

}  // namespace orv_test
