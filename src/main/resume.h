#pragma once
// The resume feature: after a cancelled installation the stub leaves a copy of itself in a folder
// that only administrators may write (the user's own processes must not replace it or plant a DLL
// beside it before the user starts it again and approves its elevation) and a desktop shortcut to
// it; a later successful installation removes the shortcut.
#include <string>
#include <string_view>

#include "main/run_ports.h"

namespace orv {

// Name of the stub's resumable copy.
inline constexpr wchar_t kResumeCopyName[] = L"orvdl_setup.exe";

// Name of the folder, in the program files folder, that holds the resumable copy.
inline constexpr wchar_t kResumeFolderName[] = L"Orvandel Setup";

// File name of the resume shortcut on the desktop.
inline constexpr wchar_t kResumeShortcutName[] = L"Continue installation.lnk";

// Description of the resume shortcut.
inline constexpr wchar_t kResumeShortcutDescription[] = L"Continue installation of Orvandel";

// Empty when folder is empty; otherwise folder (a backslash added when it lacks one) followed by
// "orvdl_setup.exe".
std::wstring ResumeCopyPath(std::wstring_view folder);

// Cancelled with the flag set: copies the stub (ownImage; a failed copy when null) to
// ResumeCopyPath(resume folder), once that folder is secured, and writes the desktop shortcut to
// the copy, logging each step; nothing at all when the stub runs from that copy. Failures are
// logged (Error) and end the feature; never the run.
void LeaveResumeCopy(LogSink& log, Files& files, Shortcuts& shortcuts, OwnImage* ownImage);

// Success: deletes the resume shortcut when it exists, logging the attempt and its outcome
// (a failure is a Warning); nothing is logged when there is no shortcut.
void RemoveResumeShortcut(LogSink& log, Shortcuts& shortcuts);

}  // namespace orv
