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

void LeaveResumeCopy(ResumeEffects& effects) {
  unsigned long error = 0;
  const std::wstring folder = effects.ResumeFolder(error);
  const std::wstring copyPath = ResumeCopyPath(folder);
  const std::wstring ownPath = copyPath.empty() ? std::wstring() : effects.OwnPath(error);
  if (!ownPath.empty() && effects.SameFile(ownPath, copyPath)) return;

  effects.Log(LogLevel::Info, "Copy wrapper to temp directory");
  const bool copied = !ownPath.empty() && effects.SecureResumeFolder(folder, error) &&
                      effects.CopyFileTo(ownPath, copyPath, error);
  if (!copied) {
    effects.Log(LogLevel::Error,
                "Failed to copy the wrapper into " + Quoted(copyPath) + ". Error code " + std::to_string(error));
    return;
  }
  effects.Log(LogLevel::Info, "Wrapper successfully copied to " + Quoted(copyPath));

  const std::wstring shortcut = effects.DesktopShortcutPath();
  effects.Log(LogLevel::Info, "Attempting to create shortcut " + Quoted(shortcut));
  if (effects.WriteResumeShortcut(copyPath, shortcut, error)) {
    effects.Log(LogLevel::Info, "Successfully created shortcut " + Quoted(shortcut));
  } else {
    effects.Log(LogLevel::Error,
                "Unable to create shortcut " + Quoted(shortcut) + ". Error code " + std::to_string(error));
  }
}

void RemoveResumeShortcut(ResumeEffects& effects) {
  const std::wstring shortcut = effects.DesktopShortcutPath();
  if (shortcut.empty() || !effects.Exists(shortcut)) return;
  effects.Log(LogLevel::Info, "Attempting to delete shortcut " + Quoted(shortcut));
  unsigned long error = 0;
  if (effects.RemoveFile(shortcut, error)) {
    effects.Log(LogLevel::Info, Quoted(shortcut) + " deleted");
  } else {
    effects.Log(LogLevel::Warning,
                "Unable to delete " + Quoted(shortcut) + " shortcut. Error code " + std::to_string(error));
  }
}

}  // namespace orv
