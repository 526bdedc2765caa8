#include "util/no_redirect_file.h"

#include <vector>

namespace {

constexpr DWORD kCopyChunk = 256 * 1024;

// ERROR_SUCCESS when the opened handle names a plain file with one name; the refusal otherwise.
DWORD CheckPlainFile(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return GetLastError();
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    return ERROR_CANT_ACCESS_FILE;
  }
  if (info.nNumberOfLinks > 1) return ERROR_TOO_MANY_LINKS;
  return ERROR_SUCCESS;
}

// False, GetLastError() set, unless all size bytes were written to file from its current position.
bool WriteAll(HANDLE file, const unsigned char* data, size_t size) {
  while (size > 0) {
    const DWORD ask = size > kCopyChunk ? kCopyChunk : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, data, ask, &written, nullptr)) return false;
    if (written == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

bool Truncate(HANDLE file) {
  LARGE_INTEGER zero{};
  return SetFilePointerEx(file, zero, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

}  // namespace

UniqueHandle OpenForWriteNoRedirect(const std::wstring& path, bool shareWrite) {
  // OPEN_ALWAYS, not CREATE_ALWAYS: nothing is truncated before the checks below.
  UniqueHandle file{CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | (shareWrite ? FILE_SHARE_WRITE : 0), nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)};
  if (!file) return file;
  const DWORD refusal = CheckPlainFile(file.get());
  if (refusal != ERROR_SUCCESS) {
    file.reset();
    SetLastError(refusal);
  }
  return file;
}

UniqueHandle HoldFolderNoRedirect(const std::wstring& folder) {
  UniqueHandle handle{CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)};
  if (!handle) return handle;
  BY_HANDLE_FILE_INFORMATION info{};
  DWORD refusal = ERROR_SUCCESS;
  if (!GetFileInformationByHandle(handle.get(), &info)) {
    refusal = GetLastError();
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
             (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    refusal = ERROR_CANT_ACCESS_FILE;
  }
  if (refusal != ERROR_SUCCESS) {
    handle.reset();
    SetLastError(refusal);
  }
  return handle;
}

bool ReplaceFileNoRedirect(const std::wstring& path, const void* data, size_t size) {
  const UniqueHandle file = OpenForWriteNoRedirect(path);
  if (!file) return false;
  if (!Truncate(file.get())) return false;
  return WriteAll(file.get(), static_cast<const unsigned char*>(data), size);
}

bool CopyFileNoRedirect(const std::wstring& source, const std::wstring& target) {
  const UniqueHandle from{CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr)};
  if (!from) return false;
  const UniqueHandle to = OpenForWriteNoRedirect(target);
  if (!to) return false;
  if (!Truncate(to.get())) return false;
  std::vector<unsigned char> buffer(kCopyChunk);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(from.get(), buffer.data(), kCopyChunk, &read, nullptr)) return false;
    if (read == 0) return true;
    if (!WriteAll(to.get(), buffer.data(), read)) return false;
  }
}
