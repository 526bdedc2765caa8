#pragma once
// The stub's own program file, held for the whole run: nobody may write, rename or delete it
// while the stub runs, so the resume copy made from it is the program that runs, whatever a
// process of the user does to the Downloads folder meanwhile.
#include <windows.h>

#include <string>

#include "base/status.h"
#include "base/unique_handle.h"

namespace orv {

class HeldOwnImage {
 public:
  // A failure (platform code, detail for the log) when this program's file cannot be opened so
  // (someone else has it open for writing or deletion), or when the file at its path is not
  // the image that runs (renamed away and replaced before the open: ERROR_FILE_INVALID).
  // Otherwise the file held, shared for reading only.
  [[nodiscard]] static Result<HeldOwnImage> Hold();

  // The path the program was started from.
  const std::wstring& path() const { return path_; }
  HANDLE handle() const { return file_.get(); }

  // A failure when target is refused (see OpenHeldForWrite) or cannot be written, or the
  // held file cannot be read; otherwise target holds exactly the held file's bytes.
  [[nodiscard]] Status CopyTo(const std::wstring& target) const;

  // False when path cannot be opened or names another file; true when it names the held file,
  // however spelled.
  bool IsAt(const std::wstring& path) const;

 private:
  HeldOwnImage(UniqueHandle file, std::wstring path) : file_(std::move(file)), path_(std::move(path)) {}
  UniqueHandle file_;
  std::wstring path_;
};

}  // namespace orv
