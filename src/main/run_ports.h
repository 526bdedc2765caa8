#pragma once
// What the run does to the world, as a few narrow ports. A call that begins something returns an
// owning object that ends it when destroyed, so every way out of the run cleans up by
// construction. The Windows side implements them (windows_ports.h); the tests record them.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/log_sink.h"
#include "base/status.h"
#include "download/download_course.h"
#include "download/progress_step.h"
#include "held_files/file_writer.h"
#include "main/publisher_check.h"
#include "util/file_sums.h"

namespace orv {

// Something begun (the single-instance guard); destroying it ends it.
class Scope {
 public:
  virtual ~Scope() = default;
};

// The progress dialog while it is up. Destroying it ends the dialog and waits, within a bound,
// until it is off the screen.
class ProgressScope {
 public:
  virtual ~ProgressScope() = default;
  // Where the download's statuses go (log lines, the bar, the end of the dialog); any thread.
  virtual ProgressSink& sink() = 0;
  // Moves the bar back to its start, for another attempt.
  virtual void Restart() = 0;
  // False, at once or as soon as it happens, when the user closes the dialog; otherwise true
  // after ms milliseconds.
  [[nodiscard]] virtual bool Pace(uint32_t ms) = 0;
  // True once the user has closed the dialog.
  virtual bool closedByUser() const = 0;
};

class RunFolder;

// The started installer. Destroying it lets go of the process (the installer goes on).
class StartedInstaller {
 public:
  virtual ~StartedInstaller() = default;
  // A failure with the platform's code when its exit code cannot be read; otherwise waits until
  // it has ended and gives its exit code.
  [[nodiscard]] virtual Result<uint32_t> Wait() = 0;
};

// The installer held from its check to its launch: nobody may write, rename or delete it while
// this object lives. Destroying it lets the file go.
class CheckedInstaller {
 public:
  virtual ~CheckedInstaller() = default;
  virtual const std::wstring& path() const = 0;
  // Its CRC-32, SHA-256 and size, read through the hold.
  virtual const FileSums& sums() const = 0;
  // A failed trust result in builds that cannot read signatures; otherwise the platform's
  // verdict on the file's signature, read through the hold.
  virtual SignatureReading ReadSignature() = 0;
  // A failure with the platform's code when the held file cannot be started as a program;
  // otherwise it runs, started from folder, with parameters.
  [[nodiscard]] virtual Result<std::unique_ptr<StartedInstaller>> Start(const RunFolder& folder,
                                                                        const std::wstring& parameters) = 0;
};

// The installer's file while the download writes it: made new by this run, written by it alone.
// Destroying it closes the file (the run's folder removes it).
class DownloadFile {
 public:
  virtual ~DownloadFile() = default;
  virtual const std::wstring& path() const = 0;
  // Where the download writes; lives as long as this object.
  virtual FileWriter& writer() = 0;
  // A failure (the log line as detail) when the file cannot be held for reading only or cannot
  // be read; otherwise the file closed for writing and held as the checked installer.
  [[nodiscard]] virtual Result<std::unique_ptr<CheckedInstaller>> Check() = 0;
};

// The run's own folder, made fresh for it. Destroying it removes it with what it holds, unless
// Keep() was called or Remove() already removed it.
class RunFolder {
 public:
  virtual ~RunFolder() = default;
  // The folder, ending in a backslash.
  virtual const std::wstring& path() const = 0;
  // A failure (the log line as detail) when no file can be made in it; otherwise the download's
  // file, made new.
  [[nodiscard]] virtual Result<std::unique_ptr<DownloadFile>> CreateDownloadFile() = 0;
  // A failure with the platform's code when the file at path (the download's) cannot be deleted.
  [[nodiscard]] virtual Status DeleteFile(const std::wstring& path) = 0;
  // A failure with the platform's code when the folder cannot be removed (something is left in
  // it); otherwise it is gone.
  [[nodiscard]] virtual Status Remove() = 0;
  // Leaves the folder and what it holds where they are, for inspection.
  virtual void Keep() = 0;
};

// The stub's own program file, held from the start so that nobody may change, rename or delete
// it while the run lasts. Destroying it lets the file go.
class OwnImage {
 public:
  virtual ~OwnImage() = default;
  // True when path names this very file, however spelled.
  virtual bool IsAt(const std::wstring& path) = 0;
  // A failure with the platform's code when target cannot be written (or is a link); otherwise
  // target holds this program's bytes as read through the hold.
  [[nodiscard]] virtual Status CopyTo(const std::wstring& target) = 0;
};

// The log: set up once, then written from any thread.
class RunLog : public LogSink {
 public:
  // Sets up the log; no line reaches it before.
  virtual void Start() = 0;
};

// What the user sees: the error box and the progress dialog.
class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // Shows the error box with text (title "We apologize!", error icon, OK) and waits for it.
  virtual void ShowErrorBox(const wchar_t* text) = 0;
  // Shows the progress dialog (on its own thread); the run goes on at once.
  [[nodiscard]] virtual std::unique_ptr<ProgressScope> StartProgress() = 0;
};

// The network: the configuration, the installer's bytes and the failure hit.
class Network {
 public:
  virtual ~Network() = default;
  // A failure when the configuration request fails (its detail, when not empty, the line that
  // says why the exchange was refused: a redirect or a proxy); otherwise the response's text.
  [[nodiscard]] virtual Result<std::wstring> FetchConfiguration() = 0;
  // The cache-busting number: 0 to 32767, drawn anew for each run.
  virtual unsigned DrawCacheBuster() = 0;
  // The installer's download attempts, one at a time, into file (through its writer) within
  // timings; each attempt has ended when it returns. Lives no longer than file.
  [[nodiscard]] virtual std::unique_ptr<DownloadTransfer> OpenTransfer(DownloadFile& file,
                                                                      const DownloadTimings& timings) = 0;
  // Sends one GET of url (the analytics hit); its outcome is not reported.
  virtual void SendFailureHit(const std::wstring& url) = 0;
};

// Files and folders: the run's folder, the stub's own program, the resume copy's folder.
class Files {
 public:
  virtual ~Files() = default;
  // A failure (the log line as detail) when no fresh folder of the run's own can be made.
  [[nodiscard]] virtual Result<std::unique_ptr<RunFolder>> MakeRunFolder() = 0;
  // A failure with the platform's code when the stub's own program cannot be held.
  [[nodiscard]] virtual Result<std::unique_ptr<OwnImage>> HoldOwnImage() = 0;
  // A failure with the platform's code when the program files folder is unknown; otherwise the
  // folder for the resume copy in it (ending in a backslash), which need not exist yet.
  [[nodiscard]] virtual Result<std::wstring> ResumeFolder() = 0;
  // A failure with the platform's code when folder cannot be made or adopted as a plain folder
  // that only Administrators and SYSTEM may write.
  [[nodiscard]] virtual Status SecureResumeFolder(const std::wstring& folder) = 0;
};

// The resume shortcut on the user's desktop.
class Shortcuts {
 public:
  virtual ~Shortcuts() = default;
  // Empty when the desktop folder cannot be found; otherwise the resume shortcut's path.
  virtual std::wstring DesktopShortcutPath() = 0;
  // False only when path is known to be missing.
  virtual bool Exists(const std::wstring& path) = 0;
  // A failure with the platform's code when the shortcut at path cannot be deleted (or is a link).
  [[nodiscard]] virtual Status RemoveShortcut(const std::wstring& path) = 0;
  // A failure with the platform's code when the link cannot be written; otherwise the shortcut at
  // shortcut points at target.
  [[nodiscard]] virtual Status WriteShortcut(const std::wstring& target, const std::wstring& shortcut) = 0;
};

// Processes: the single-instance guard, the installation id and the pages handed to the desktop.
class Processes {
 public:
  virtual ~Processes() = default;
  // Null when another stub already runs; otherwise the guard, held while it lives.
  [[nodiscard]] virtual std::unique_ptr<Scope> ClaimSingleInstance() = 0;
  // A failure with the platform's code when no UUID can be made; otherwise a new UUID's text.
  [[nodiscard]] virtual Result<std::wstring> NewUuidText() = 0;
  // A failure (detail and code say why) when address cannot be opened for the desktop's user.
  [[nodiscard]] virtual Status OpenPage(const std::wstring& address) = 0;
};

// Every port the run uses.
struct RunPorts {
  RunLog& log;
  UserInterface& ui;
  Network& network;
  Files& files;
  Shortcuts& shortcuts;
  Processes& processes;
};

}  // namespace orv
