#include "main/resume.h"

#include "main/log_text.h"

namespace orv {

std::wstring ResumeCopyPath(std::wstring_view folder) {
  if (folder.empty()) return {};
  std::wstring path(folder);
  if (path.back() != L'\\') path += L'\\';
  path += kResumeCopyName;
  return path;
}

void LeaveResumeCopy(LogSink& log, Files& files, Shortcuts& shortcuts, OwnImage* ownImage) {
  const Result<std::wstring> folder = files.ResumeFolder();
  const std::wstring copyPath = folder.ok() ? ResumeCopyPath(*folder) : std::wstring();
  if (ownImage && !copyPath.empty() && ownImage->IsAt(copyPath)) return;

  log.Log(LogLevel::Info, "Copy wrapper to temp directory");
  Status copied = folder.status();
  if (copied.ok() && !ownImage) copied = Status::Failure(6 /* ERROR_INVALID_HANDLE */, "the stub's own file is not held");
  if (copied.ok()) copied = files.SecureResumeFolder(*folder);
  if (copied.ok()) copied = ownImage->CopyTo(copyPath);
  if (!copied.ok()) {
    log.Log(LogLevel::Error,
            "Failed to copy the wrapper into " + QuotedPath(copyPath) + ". Error code " + std::to_string(copied.code()));
    return;
  }
  log.Log(LogLevel::Info, "Wrapper successfully copied to " + QuotedPath(copyPath));

  const std::wstring shortcut = shortcuts.DesktopShortcutPath();
  log.Log(LogLevel::Info, "Attempting to create shortcut " + QuotedPath(shortcut));
  const Status written = shortcuts.WriteShortcut(copyPath, shortcut);
  if (written.ok()) {
    log.Log(LogLevel::Info, "Successfully created shortcut " + QuotedPath(shortcut));
  } else {
    log.Log(LogLevel::Error,
            "Unable to create shortcut " + QuotedPath(shortcut) + ". Error code " + std::to_string(written.code()));
  }
}

void RemoveResumeShortcut(LogSink& log, Shortcuts& shortcuts) {
  const std::wstring shortcut = shortcuts.DesktopShortcutPath();
  if (shortcut.empty() || !shortcuts.Exists(shortcut)) return;
  log.Log(LogLevel::Info, "Attempting to delete shortcut " + QuotedPath(shortcut));
  const Status removed = shortcuts.RemoveShortcut(shortcut);
  if (removed.ok()) {
    log.Log(LogLevel::Info, QuotedPath(shortcut) + " deleted");
  } else {
    log.Log(LogLevel::Warning,
            "Unable to delete " + QuotedPath(shortcut) + " shortcut. Error code " + std::to_string(removed.code()));
  }
}

}  // namespace orv
