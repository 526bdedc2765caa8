#pragma once
// Files and folders that this elevated program creates, writes or deletes in folders the user
// controls (the log, the desktop shortcut) or that it must not reach through a link (the resume
// copy): a link planted at the name never sends the operation to another file. The parent
// folder is held (it cannot be renamed or swapped meanwhile) and everything happens under its
// final path; a name is created with CREATE_NEW, an existing one opened itself
// (FILE_FLAG_OPEN_REPARSE_POINT), and the opened handle must be a plain file or folder with one
// name whose final path is the parent's followed by that name, or it is refused before anything
// is written or deleted. The parent folder itself is taken as the system names it: links further
// up the path (a profile moved by a junction) are followed.
//
// Refusals carry ERROR_CANT_ACCESS_FILE (a symbolic link, junction or other reparse point, a
// folder where a file is expected or the reverse, or a name that resolves elsewhere) or
// ERROR_TOO_MANY_LINKS (a file with more than one name: a hard link).
#include <windows.h>
#include <objidl.h>

#include <cstddef>
#include <string>

#include "base/status.h"
#include "base/unique_handle.h"
#include "util/file_sums.h"

namespace orv {

// Access that OpenHeldForWrite grants: read and write anywhere, or append only (every write
// goes to the end of the file).
enum class WriteAccess { ReadWrite, Append };

// A failure (refusal or platform code) when path's folder cannot be held or path is refused or
// cannot be opened; otherwise path opened, created when missing (never truncated), shared for
// reading only: nobody else may write, rename or delete it while the handle lives.
[[nodiscard]] Result<UniqueHandle> OpenHeldForWrite(const std::wstring& path,
                                                          WriteAccess access = WriteAccess::ReadWrite);

// A failure when folder (no final backslash) is a link, not a folder, resolves elsewhere than
// its parent's final path and name, or cannot be opened with access; otherwise it held open with
// access (listing included) so that it can be neither renamed nor deleted while the handle lives.
[[nodiscard]] Result<UniqueHandle> HoldFolder(const std::wstring& folder, DWORD access = 0);

// As HoldFolder, but folder is first made when missing (in its parent's final path).
[[nodiscard]] Result<UniqueHandle> MakeHeldFolder(const std::wstring& folder);

// A failure when path is refused or cannot be deleted (ERROR_FILE_NOT_FOUND when missing);
// otherwise the file at path is gone, deleted through the handle that was checked.
[[nodiscard]] Status DeleteHeldFile(const std::wstring& path);

// A failure when path is refused or the write fails; otherwise path holds exactly the size
// bytes at data.
[[nodiscard]] Status ReplaceHeldFile(const std::wstring& path, const void* data, size_t size);

// A failure when source cannot be read or target is refused or cannot be written; otherwise
// target holds a copy of all of source's bytes (read from offset 0, whatever source's file
// position), replacing what it held.
[[nodiscard]] Status CopyToHeldFile(HANDLE source, const std::wstring& target);

// A failure (the platform's code) when link (an IShellLinkW) cannot be serialised (an HRESULT) or
// path is refused or not written; otherwise path holds the .lnk, written through
// ReplaceHeldFile so that a link planted at path cannot redirect it.
[[nodiscard]] Status SaveShellLinkHeld(IUnknown* link, const std::wstring& path);

// The installer held open from its check to its launch: others may read it (the launch opens the
// image for execution with read sharing) but not write, delete or rename it.
// A failure (the platform's code, no detail) when the file cannot be opened so (missing, or open
// for writing elsewhere); a reparse point at path is opened itself and refused
// (ERROR_CANT_ACCESS_FILE), and so is a folder. Otherwise the handle.
[[nodiscard]] Result<UniqueHandle> OpenHeldForCheck(const std::wstring& path);

// Reads an open file from its current position with ReadFile.
class HandleByteSource final : public ByteSource {
 public:
  explicit HandleByteSource(HANDLE file) : file_(file) {}
  [[nodiscard]] bool Read(void* buffer, size_t capacity, size_t& got) override;
  // 0 until a read fails; then that read's platform error code.
  uint32_t error() const { return error_; }

 private:
  HANDLE file_;
  uint32_t error_ = 0;
};

}  // namespace orv
