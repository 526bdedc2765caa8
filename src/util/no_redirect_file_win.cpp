#include "util/no_redirect_file.h"

#include <objbase.h>
#include <wrl/client.h>

#include <vector>

namespace orv {

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

// The handle's path as the system resolves it (links followed); empty when it cannot tell.
std::wstring FinalPath(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  for (int tries = 0; tries < 2; ++tries) {
    const DWORD length = GetFinalPathNameByHandleW(handle, &path[0], static_cast<DWORD>(path.size()), 0);
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(length + 1);
  }
  return {};
}

// ERROR_SUCCESS when the opened handle is the entry named by path's last component in path's
// folder, and not what a link of that name leads to (some systems open a link's target even with
// FILE_FLAG_OPEN_REPARSE_POINT and report it as a plain file). Links further up are accepted.
DWORD CheckOpenedName(HANDLE opened, const std::wstring& path) {
  wchar_t full[MAX_PATH * 4] = {};
  wchar_t* name = nullptr;
  const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, &name);
  if (length == 0 || length >= MAX_PATH * 4 || name == nullptr || name == full) return ERROR_CANT_ACCESS_FILE;
  const std::wstring leaf(name);
  const std::wstring folder(full, static_cast<size_t>(name - full));
  const UniqueHandle parent{CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
  if (!parent) return GetLastError();
  std::wstring expected = FinalPath(parent.get());
  const std::wstring actual = FinalPath(opened);
  if (expected.empty() || actual.empty()) return ERROR_CANT_ACCESS_FILE;
  if (expected.back() != L'\\') expected += L'\\';
  expected += leaf;
  const bool same = CompareStringOrdinal(expected.c_str(), static_cast<int>(expected.size()), actual.c_str(),
                                         static_cast<int>(actual.size()), TRUE) == CSTR_EQUAL;
  return same ? ERROR_SUCCESS : ERROR_CANT_ACCESS_FILE;
}

// ERROR_SUCCESS when the name at path is not itself a reparse point as the path lookup reports it.
DWORD CheckNameAttributes(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? ERROR_CANT_ACCESS_FILE : ERROR_SUCCESS;
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
  DWORD refusal = CheckPlainFile(file.get());
  if (refusal == ERROR_SUCCESS) refusal = CheckOpenedName(file.get(), path);
  if (refusal != ERROR_SUCCESS) {
    file.reset();
    SetLastError(refusal);
  }
  return file;
}

UniqueHandle HoldFolderNoRedirect(const std::wstring& folder, DWORD access) {
  UniqueHandle handle{CreateFileW(folder.c_str(), access | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)};
  if (!handle) return handle;
  BY_HANDLE_FILE_INFORMATION info{};
  DWORD refusal = ERROR_SUCCESS;
  if (!GetFileInformationByHandle(handle.get(), &info)) {
    refusal = GetLastError();
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
             (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    refusal = ERROR_CANT_ACCESS_FILE;
  } else {
    refusal = CheckNameAttributes(folder);
    if (refusal == ERROR_SUCCESS) refusal = CheckOpenedName(handle.get(), folder);
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

using Microsoft::WRL::ComPtr;

HRESULT SaveShellLinkNoRedirect(IUnknown* link, const wchar_t* path) {
  if (link == nullptr || path == nullptr || *path == L'\0') return E_INVALIDARG;
  // The link's bytes are made in memory, then written through a handle that was checked.
  ComPtr<IPersistStream> persist;
  HRESULT result = link->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(persist.GetAddressOf()));
  if (FAILED(result)) return result;
  ComPtr<IStream> stream;
  result = CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf());
  if (FAILED(result)) return result;
  result = persist->Save(stream.Get(), TRUE);
  if (FAILED(result)) return result;
  STATSTG stat{};
  result = stream->Stat(&stat, STATFLAG_NONAME);
  if (FAILED(result)) return result;
  HGLOBAL memory = nullptr;
  result = GetHGlobalFromStream(stream.Get(), &memory);
  if (FAILED(result)) return result;
  const void* bytes = GlobalLock(memory);
  if (bytes == nullptr) return HRESULT_FROM_WIN32(GetLastError());
  const bool written = ReplaceFileNoRedirect(path, bytes, static_cast<size_t>(stat.cbSize.QuadPart));
  const DWORD error = GetLastError();
  GlobalUnlock(memory);
  SetLastError(error);
  return written ? S_OK : HRESULT_FROM_WIN32(error);
}

}  // namespace orv
