#include "util/file_paths.h"

#include <windows.h>

#include "text/wide_text.h"
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

namespace {

constexpr DWORD kTempFolderOffered = 261;
constexpr size_t kTempFolderCapacity = 264;

std::unique_ptr<wchar_t[]> NewEmpty(size_t capacity) { return std::unique_ptr<wchar_t[]>(new wchar_t[capacity]{}); }

}  // namespace

std::unique_ptr<wchar_t[]> MakeTempInstallerPath() {
  wchar_t folder[kTempFolderCapacity] = {};
  const DWORD length = GetTempPathW(kTempFolderOffered, folder);
  if (length == 0 || length >= kTempFolderOffered) return NewEmpty(kTempInstallerPathCapacity);
  return MakeTempInstallerPathIn(folder);
}

std::unique_ptr<wchar_t[]> MakeTempInstallerPathIn(const wchar_t* folder) {
  std::unique_ptr<wchar_t[]> result = NewEmpty(kTempInstallerPathCapacity);
  // GetTempFileNameW writes up to MAX_PATH characters and needs room for its 14-character name.
  if (lstrlenW(folder) > MAX_PATH - 14) return result;
  if (GetTempFileNameW(folder, L"orv", 0, result.get()) == 0 ||
      !AppendWide(result.get(), kTempInstallerPathCapacity, L".exe")) {
    result[0] = L'\0';
  }
  return result;
}

}  // namespace orv
