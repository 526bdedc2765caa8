#pragma once
// The resume feature: after a cancelled installation the stub leaves a copy of itself in a folder
// that only administrators may write (the user's own processes must not replace it or plant a DLL
// beside it before the user starts it again and approves its elevation) and a desktop shortcut to it; a later successful installation removes the
// shortcut. The decisions and log lines are platform-free (resume.cpp); the shell link and the
// desktop path are the Windows side (resume_win.cpp).
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "util/log_sink.h"

namespace orv {

// Name of the stub's resumable copy.
inline constexpr wchar_t kResumeCopyName[] = L"orvdl_setup.exe";

// Name of the folder, in the program files folder, that holds the resumable copy.
inline constexpr wchar_t kResumeFolderName[] = L"Orvandel Setup";

// Capacity, in wide characters, of the buffer ResumeShortcutPath hands out.
inline constexpr std::size_t kResumeShortcutPathCapacity = 261;

// Empty when folder is empty; otherwise folder (a backslash added when it lacks one) followed by
// "orvdl_setup.exe".
std::wstring ResumeCopyPath(std::wstring_view folder);

// The file-system effects the resume feature needs. Failures come back as false (or an empty
// path) with the system's error code in `error`.
class ResumeEffects : public LogSink {
 public:
  // Empty (error set) when the program files folder is unknown; otherwise the folder for the
  // resumable copy in it, which need not exist yet.
  virtual std::wstring ResumeFolder(unsigned long& error) = 0;
  // False (error set) when folder cannot be made or adopted as a plain folder that only
  // Administrators and SYSTEM may write (see SecureAdminsOnlyFolder); otherwise true.
  [[nodiscard]] virtual bool SecureResumeFolder(const std::wstring& folder, unsigned long& error) = 0;
  // Empty (error set) when it cannot be read; otherwise this program's own path.
  virtual std::wstring OwnPath(unsigned long& error) = 0;
  // False when either path cannot be opened; true when both name one file, however spelled.
  virtual bool SameFile(const std::wstring& first, const std::wstring& second) = 0;
  // False (error set) when from cannot be copied to to; an existing `to` is overwritten.
  [[nodiscard]] virtual bool CopyFileTo(const std::wstring& from, const std::wstring& to, unsigned long& error) = 0;
  // Empty when the desktop folder cannot be found; otherwise the resume shortcut's path.
  virtual std::wstring DesktopShortcutPath() = 0;
  // False only when path is known to be missing (see PathExists).
  virtual bool Exists(const std::wstring& path) = 0;
  // False (error set) when the file cannot be deleted.
  [[nodiscard]] virtual bool RemoveFile(const std::wstring& path, unsigned long& error) = 0;
  // False (error = the thread's last error) when the link cannot be written; otherwise writes the
  // shortcut at shortcut pointing at target.
  [[nodiscard]] virtual bool WriteResumeShortcut(const std::wstring& target, const std::wstring& shortcut,
                                                 unsigned long& error) = 0;
};

// Cancelled with the flag set: copies the stub to ResumeCopyPath(resume folder), once that folder
// is secured, and writes the desktop shortcut to the copy, logging each step; nothing at all when
// the stub runs from that copy. Failures are logged (Error) and end the feature; never the run.
void LeaveResumeCopy(ResumeEffects& effects);

// Success: deletes the resume shortcut when it exists, logging the attempt and its outcome
// (a failure is a Warning); nothing is logged when there is no shortcut.
void RemoveResumeShortcut(ResumeEffects& effects);

// Windows only. Empty string when the desktop folder cannot be found or the name would not fit;
// otherwise the current user's desktop folder followed by "\Continue installation.lnk", in a
// buffer of kResumeShortcutPathCapacity characters that the caller owns.
std::unique_ptr<wchar_t[]> ResumeShortcutPath();

// Windows only. A negative HRESULT when the link object cannot be created or saved, or when a link
// or a file with more than one name stands at shortcutPath (refused, left as it is; GetLastError()
// tells why); otherwise the result of the save of the shell link at shortcutPath pointing at
// target, with the description "Continue installation of Orvandel" and nothing else set. COM must
// be initialised on the thread.
[[nodiscard]] long CreateResumeShortcut(const wchar_t* target, const wchar_t* shortcutPath);

}  // namespace orv
