#include "held_files/held_own_image.h"

#include <psapi.h>

#include "base/last_error.h"
#include "held_files/final_path.h"
#include "held_files/handle_facts.h"
#include "held_files/held_file.h"

namespace orv {
namespace {

constexpr DWORD kLongestPath = 32768;

Result<std::wstring> ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD written = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (written == 0) return LastErrorStatus("Cannot read this program's path");
    if (written < path.size()) {
      path.resize(written);
      return path;
    }
    if (path.size() >= kLongestPath) return Status::Failure(ERROR_INSUFFICIENT_BUFFER, "Cannot read this program's path");
    path.resize(path.size() * 2);
  }
}

// The file name of the image mapped at this program's base, as the platform reports it now.
Result<std::wstring> MappedImageName() {
  std::wstring name(kLongestPath, L'\0');
  const DWORD length = GetMappedFileNameW(GetCurrentProcess(), static_cast<void*>(GetModuleHandleW(nullptr)), &name[0],
                                          static_cast<DWORD>(name.size()));
  if (length == 0) return LastErrorStatus("Cannot read the running image's file name");
  name.resize(length);
  return name;
}

bool IdentityOf(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) { return GetFileInformationByHandle(file, &info) != FALSE; }

}  // namespace

Result<HeldOwnImage> HeldOwnImage::Hold() {
  Result<std::wstring> path = ModulePath();
  if (!path.ok()) return path.status();
  // Read sharing only: nobody may write, rename or delete the file while it is held.
  UniqueHandle file{CreateFileW(path->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (!file) return LastErrorStatus("Cannot hold this program's file");
  // Now that the name cannot change, it names one file: the image that runs, or another one
  // put there after a rename of the image.
  Result<std::wstring> mapped = MappedImageName();
  if (!mapped.ok()) return mapped.status();
  Result<std::wstring> finalNt = FinalPathOf(file.get(), VOLUME_NAME_NT);
  Result<std::wstring> finalDos = FinalPathOf(file.get(), VOLUME_NAME_DOS);
  if (!finalDos.ok()) return finalDos.status();
  const std::wstring nt = finalNt.ok() ? *finalNt : std::wstring();
  if (!MappedNameIsFile(*mapped, nt, *finalDos, SameFileName)) {
    return Status::Failure(ERROR_FILE_INVALID, "This program's file is not the image that runs");
  }
  return HeldOwnImage(std::move(file), std::move(*path));
}

Status HeldOwnImage::CopyTo(const std::wstring& target) const { return CopyToHeldFile(file_.get(), target); }

bool HeldOwnImage::IsAt(const std::wstring& path) const {
  const UniqueHandle other{CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
  BY_HANDLE_FILE_INFORMATION mine{};
  BY_HANDLE_FILE_INFORMATION theirs{};
  return other && IdentityOf(file_.get(), mine) && IdentityOf(other.get(), theirs) &&
         mine.dwVolumeSerialNumber == theirs.dwVolumeSerialNumber && mine.nFileIndexHigh == theirs.nFileIndexHigh &&
         mine.nFileIndexLow == theirs.nFileIndexLow;
}

}  // namespace orv
