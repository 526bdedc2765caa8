#pragma once
#include <windows.h>
#include <objidl.h>

#include <cstddef>
#include <string>

#include "util/file_sums.h"
#include "util/unique_handle.h"

namespace orv {

// Files that this elevated program writes into folders the user controls (the log, the resume
// copy, the desktop shortcut), opened so that a link planted there cannot send the write to
// another file: the name is opened itself (FILE_FLAG_OPEN_REPARSE_POINT) and the opened handle's
// final path must be the folder's own followed by that name. Links further up the path (a
// profile moved by a junction) are accepted. Refusals set GetLastError() to
// ERROR_CANT_ACCESS_FILE (a symbolic link, junction or other reparse point, or a directory) or
// ERROR_TOO_MANY_LINKS (a file with more than one name: a hard link).

// Empty handle, GetLastError() set, when path is refused or cannot be opened; otherwise path
// opened (created when missing, never truncated) for reading and writing, shared for reading
// (and writing when shareWrite), never for deletion, so its name cannot change while held.
UniqueHandle OpenForWriteNoRedirect(const std::wstring& path, bool shareWrite = false);

// Empty handle, GetLastError() set, when folder (no trailing backslash) is a reparse point, not a
// directory or cannot be opened with access; otherwise the folder held with that access so that it
// can be neither renamed nor deleted (and so not be swapped for a junction) while the handle lives.
UniqueHandle HoldFolderNoRedirect(const std::wstring& folder, DWORD access = FILE_READ_ATTRIBUTES);

// False, GetLastError() set, when path is refused or the write fails; otherwise path holds
// exactly the size bytes at data.
[[nodiscard]] bool ReplaceFileNoRedirect(const std::wstring& path, const void* data, size_t size);

// False, GetLastError() set, when source cannot be read or target is refused or cannot be
// written; otherwise target holds a copy of source's bytes (replacing what it held).
[[nodiscard]] bool CopyFileNoRedirect(const std::wstring& source, const std::wstring& target);

// The installer held open from its check to its launch: others may read it (the launch opens the
// image for execution with read sharing) but not write, delete or rename it.
// An empty handle when the file cannot be opened so (missing, or open for writing elsewhere);
// GetLastError() then tells why. A reparse point at path is opened itself and refused.
UniqueHandle OpenLockedForCheck(const std::wstring& path);

// Reads an open file from its current position with ReadFile.
class HandleByteSource final : public ByteSource {
 public:
  explicit HandleByteSource(HANDLE file) : file_(file) {}
  [[nodiscard]] bool Read(void* buffer, size_t capacity, size_t& got) override;

 private:
  HANDLE file_;
};

// A negative HRESULT when link (an IShellLinkW) cannot be serialised or path is refused or not
// written (GetLastError() as ReplaceFileNoRedirect sets it); else S_OK, the .lnk written through
// ReplaceFileNoRedirect so that a link planted at path cannot redirect it.
[[nodiscard]] HRESULT SaveShellLinkNoRedirect(IUnknown* link, const wchar_t* path);

}  // namespace orv
