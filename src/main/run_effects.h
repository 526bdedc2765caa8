#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "download/download_policy.h"
#include "main/publisher_check.h"
#include "main/resume.h"
#include "util/file_sums.h"

namespace orv {

// Everything the run does to the world, so that the run itself (SetupRun) is a pure sequence.
// The Windows adapter (WindowsRunEffects) carries these out; tests use a recording fake.
class RunEffects : public ResumeEffects {
 public:
  // False when another stub already runs (nothing else is done then); true when this run holds
  // the single-instance guard.
  [[nodiscard]] virtual bool ClaimSingleInstance() = 0;
  // Lets go of the single-instance guard.
  virtual void ReleaseSingleInstance() = 0;
  // Sets up the log; no line reaches it before.
  virtual void StartLogging() = 0;

  // False when the configuration request fails; otherwise true with text = the response's text.
  [[nodiscard]] virtual bool FetchConfiguration(std::wstring& text) = 0;
  // Shows the error box with text (title "We apologize!", error icon, OK) and waits for it.
  virtual void ShowErrorBox(const wchar_t* text) = 0;

  // Shows the progress dialog (on its own thread); the run goes on at once.
  virtual void StartProgressDialog() = 0;
  // Moves the progress bar back to its start, for another attempt.
  virtual void RestartProgress() = 0;
  // Ends the progress dialog and waits, within a bound, until it is gone.
  virtual void EndProgressDialog() = 0;

  // Empty (error = the reason) when no download folder of the stub's own can be made fresh under
  // the temporary folder, or no name in it; otherwise a new unique download name in that folder.
  virtual std::wstring MakeTempInstallerPath(std::string& error) = 0;
  // False (error set) when the download folder made by MakeTempInstallerPath cannot be removed
  // (something is left in it, or none was made); otherwise it is gone.
  [[nodiscard]] virtual bool RemoveDownloadFolder(unsigned long& error) = 0;
  // The cache-busting number: 0 to 32767, drawn anew for each run.
  virtual unsigned DrawCacheBuster() = 0;
  // One attempt at downloading url into the file at path, feeding the progress dialog.
  // The data may not go past size (when given) or 4 GiB, and must then be exactly size bytes.
  [[nodiscard]] virtual DownloadResult DownloadOnce(const std::wstring& url, const std::wstring& path,
                                                    std::optional<uint64_t> size) = 0;
  // Waits ms milliseconds.
  virtual void Pause(uint32_t ms) = 0;
  // False with error = the reason when the file cannot be opened so that others may only read it,
  // or cannot be read; otherwise its CRC-32, SHA-256 and size in sums, taken through the one
  // handle that keeps it so until StartInstaller has returned or ReleaseInstallerFile is called.
  [[nodiscard]] virtual bool CheckInstallerFile(const std::wstring& path, FileSums& sums, std::string& error) = 0;
  // A reading with a failed trust result when CheckInstallerFile holds no file at path or this build
  // cannot read signatures; otherwise the platform's verdict on that file's signature, read through
  // the handle CheckInstallerFile keeps.
  [[nodiscard]] virtual SignatureReading ReadInstallerSignature(const std::wstring& path) = 0;
  // Lets go of the file CheckInstallerFile holds (nothing when it holds none), so that it can be deleted.
  virtual void ReleaseInstallerFile() = 0;

  // False (error set) when no UUID can be made; otherwise text = a new random UUID's text.
  [[nodiscard]] virtual bool NewUuidText(std::wstring& text, unsigned long& error) = 0;
  // False (error set) when the installer cannot be started; otherwise it runs with parameters.
  [[nodiscard]] virtual bool StartInstaller(const std::wstring& path, const std::wstring& parameters,
                                            unsigned long& error) = 0;
  // False (error set) when the started installer's exit code cannot be read; otherwise waits for
  // it to end and gives its exit code.
  [[nodiscard]] virtual bool WaitForInstaller(uint32_t& exitCode, unsigned long& error) = 0;
  // Opens address in the default browser; failures are not reported.
  virtual void OpenPage(const std::wstring& address) = 0;
  // Sends one GET of url (the analytics hit); its outcome is not reported.
  virtual void SendFailureHit(const std::wstring& url) = 0;
};

}  // namespace orv
