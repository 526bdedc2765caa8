#pragma once
// The run's own folder: made fresh for each run inside the administrators-only setup folder in
// the program files folder, never under a folder the user chooses (TEMP), so that nobody but an
// administrator can put, swap or link anything where the installer is downloaded, checked and
// started. It holds an administrators-only temporary folder for the installer ("tmp").
#include <windows.h>

#include <string>
#include <string_view>

#include "base/status.h"
#include "base/unique_handle.h"

namespace orv {

class HeldRunFolder {
 public:
  // A failure (platform code, detail naming the folder) when setupName in programFiles cannot be
  // made or secured (not elevated: ERROR_ACCESS_DENIED and the like), or is a link, or when no
  // fresh folder can be made in it. Otherwise a folder this call made (an existing one is never
  // taken), held so that it can be neither renamed nor removed, checked to be a plain folder at
  // the expected place owned by Administrators or this process's user, writable by
  // Administrators and SYSTEM only; and the same for the temporary folder inside it.
  [[nodiscard]] static Result<HeldRunFolder> Create(const std::wstring& programFiles, std::wstring_view setupName);

  HeldRunFolder(HeldRunFolder&& other) noexcept;
  HeldRunFolder& operator=(HeldRunFolder&& other) noexcept;
  HeldRunFolder(const HeldRunFolder&) = delete;
  HeldRunFolder& operator=(const HeldRunFolder&) = delete;
  // Removes the folder with everything in it (see Remove), unless Keep() was called.
  ~HeldRunFolder();

  // The folder's path ("C:\Program Files\Orvandel Setup\orv0123abcd", no final backslash): the
  // installer's current folder.
  const std::wstring& path() const { return path_; }
  // The temporary folder's path (path() + "\tmp"): the installer's TMP and TEMP.
  const std::wstring& tempPath() const { return tempPath_; }

  // A failure when name is not a single name, exists already or cannot be created; otherwise the
  // new file name in this folder, opened with access, shared for reading only (nobody else may
  // write, rename or delete it while the handle lives).
  [[nodiscard]] Result<UniqueHandle> CreateNewFile(std::wstring_view name, DWORD access) const;

  // The folder and what it holds stay after this object ends (a file kept for inspection).
  void Keep() { keep_ = true; }

  // A failure (the first one met; what could not be removed stays) when something in the folder
  // is in use, is a link that the platform followed, or lies deeper than 32 folders or past
  // 100,000 entries. Otherwise the folder and everything in it are gone; links in it are removed
  // themselves, never what they point to. Calling it again, or after Keep(), does nothing.
  [[nodiscard]] Status Remove();

 private:
  HeldRunFolder() = default;

  UniqueHandle setup_;   // the setup folder, held while the run's folder exists
  UniqueHandle folder_;  // the run's folder, held (with delete access) until it is removed
  UniqueHandle temp_;    // the temporary folder, held likewise
  std::wstring finalPath_;      // the run's folder as the platform resolves it ("\\?\C:\...")
  std::wstring tempFinalPath_;  // the temporary folder likewise
  std::wstring path_;
  std::wstring tempPath_;
  bool keep_ = false;
};

}  // namespace orv
