#include "util/locked_file.h"

namespace orv {

UniqueHandle OpenLockedForCheck(const std::wstring& path) {
  UniqueHandle file{CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT,
                                nullptr)};
  if (!file) return file;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.get(), &info)) return UniqueHandle{};
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    SetLastError(ERROR_CANT_ACCESS_FILE);
    return UniqueHandle{};
  }
  return file;
}

bool HandleByteSource::Read(void* buffer, size_t capacity, size_t& got) {
  const DWORD ask = capacity > 0x40000000 ? 0x40000000 : static_cast<DWORD>(capacity);
  DWORD read = 0;
  if (!ReadFile(file_, buffer, ask, &read, nullptr)) return false;
  got = read;
  return true;
}

}  // namespace orv
