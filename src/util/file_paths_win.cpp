#include "util/file_paths.h"

#include <windows.h>

#include "base/last_error.h"

namespace orv {

static_assert(ERROR_FILE_NOT_FOUND == 2 && ERROR_PATH_NOT_FOUND == 3 && ERROR_INVALID_DRIVE == 15 &&
                  ERROR_NOT_READY == 21 && ERROR_BAD_NETPATH == 53 && ERROR_INVALID_PARAMETER == 87 &&
                  ERROR_INVALID_NAME == 123 && ERROR_BAD_PATHNAME == 161,
              "IsMissingPathError lists these codes by value");

bool PathExists(const wchar_t* path) {
  if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) return true;
  return !IsMissingPathError(GetLastError());
}

Result<std::wstring> MakeDownloadPathIn(const std::wstring& folder) {
  // GetTempFileNameW writes up to MAX_PATH characters and needs room for its 14-character name.
  if (folder.size() > MAX_PATH - 14) return Status::Failure(ERROR_FILENAME_EXCED_RANGE, "");
  wchar_t name[MAX_PATH] = {};
  if (GetTempFileNameW(folder.c_str(), L"orv", 0, name) == 0) return LastErrorStatus("");
  return std::wstring(name) + L".exe";
}

}  // namespace orv
