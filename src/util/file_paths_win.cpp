#include "util/file_paths.h"

#include <windows.h>

#include "util/last_error.h"
#include "util/unique_handle.h"

namespace orv {

static_assert(ERROR_FILE_NOT_FOUND == 2 && ERROR_PATH_NOT_FOUND == 3 && ERROR_INVALID_DRIVE == 15 &&
                  ERROR_NOT_READY == 21 && ERROR_BAD_NETPATH == 53 && ERROR_INVALID_PARAMETER == 87 &&
                  ERROR_INVALID_NAME == 123 && ERROR_BAD_PATHNAME == 161,
              "IsMissingPathError lists these codes by value");

bool PathExists(const wchar_t* path) {
  if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) return true;
  return !IsMissingPathError(GetLastError());
}

namespace {

bool IdentityOf(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
  const UniqueHandle file{CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
  return file && GetFileInformationByHandle(file.get(), &info);
}

}  // namespace

bool IsSameFile(const std::wstring& first, const std::wstring& second) {
  BY_HANDLE_FILE_INFORMATION a{};
  BY_HANDLE_FILE_INFORMATION b{};
  return IdentityOf(first, a) && IdentityOf(second, b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

Result<std::wstring> MakeDownloadPathIn(const std::wstring& folder) {
  // GetTempFileNameW writes up to MAX_PATH characters and needs room for its 14-character name.
  if (folder.size() > MAX_PATH - 14) return Status::Failure(ERROR_FILENAME_EXCED_RANGE, "");
  wchar_t name[MAX_PATH] = {};
  if (GetTempFileNameW(folder.c_str(), L"orv", 0, name) == 0) return LastErrorStatus("");
  return std::wstring(name) + L".exe";
}

}  // namespace orv
