#include "util/same_file.h"

#include <windows.h>

#include "util/unique_handle.h"

namespace orv {

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

}  // namespace orv
