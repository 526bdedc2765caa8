#pragma once
// Links that an attacker of the same user could plant in a profile folder, made the Windows way
// (Wine supports these calls): junctions, symbolic links, hard links; and a scratch folder.
#include <windows.h>
#include <winioctl.h>

#include <cstring>

#include <string>
#include <vector>

namespace links {

// A new empty folder under the temporary folder, removed with its content by the destructor.
class ScratchFolder {
 public:
  explicit ScratchFolder(const wchar_t* tag) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"linktest-" + tag + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount64());
    created_ = CreateDirectoryW(path_.c_str(), nullptr) != FALSE;
  }
  ~ScratchFolder() { Remove(path_); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  bool ok() const { return created_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }
  const std::wstring& path() const { return path_; }

 private:
  // Removes a link itself, never what it points to.
  static void Remove(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (folder && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
      WIN32_FIND_DATAW found;
      const HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
      if (search != INVALID_HANDLE_VALUE) {
        do {
          const std::wstring name = found.cFileName;
          if (name != L"." && name != L"..") Remove(path + L"\\" + name);
        } while (FindNextFileW(search, &found));
        FindClose(search);
      }
    }
    if (folder) {
      RemoveDirectoryW(path.c_str());
    } else {
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(path.c_str());
    }
  }

  std::wstring path_;
  bool created_ = false;
};

// Makes link (a new folder) a junction (mount point) to the folder target. False on failure.
inline bool MakeJunction(const std::wstring& link, const std::wstring& target) {
  if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
  const HANDLE handle = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const std::wstring substitute = L"\\??\\" + target;
  const size_t substituteBytes = substitute.size() * sizeof(wchar_t);
  const size_t printBytes = target.size() * sizeof(wchar_t);
  // REPARSE_DATA_BUFFER with its MountPointReparseBuffer: tag, data length, reserved, then four
  // offsets and lengths of the two names in the path buffer, each name NUL-terminated.
  const size_t dataLength = 8 + substituteBytes + 2 + printBytes + 2;
  std::vector<unsigned char> buffer(8 + dataLength, 0);
  auto put16 = [&](size_t at, size_t value) {
    buffer[at] = static_cast<unsigned char>(value & 0xFF);
    buffer[at + 1] = static_cast<unsigned char>((value >> 8) & 0xFF);
  };
  const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
  memcpy(buffer.data(), &tag, sizeof(tag));
  put16(4, dataLength);
  put16(8, 0);
  put16(10, substituteBytes);
  put16(12, substituteBytes + 2);
  put16(14, printBytes);
  memcpy(buffer.data() + 16, substitute.c_str(), substituteBytes);
  memcpy(buffer.data() + 16 + substituteBytes + 2, target.c_str(), printBytes);
  DWORD returned = 0;
  const BOOL set = DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()),
                                   nullptr, 0, &returned, nullptr);
  CloseHandle(handle);
  if (!set) RemoveDirectoryW(link.c_str());
  return set != FALSE;
}

// True under Wine, whose file system lacks some of Windows' link and sharing behaviour.
inline bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Makes link a symbolic link to the file target. False when the platform cannot make one (Wine
// 8's CreateSymbolicLinkW reports success and makes nothing: checked by looking).
inline bool MakeFileSymlink(const std::wstring& link, const std::wstring& target) {
  if (!CreateSymbolicLinkW(link.c_str(), target.c_str(), 0)) return false;
  const DWORD attributes = GetFileAttributesW(link.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return false;
  }
  return true;
}

// Whole-file helpers.
inline bool WriteWhole(const std::wstring& path, const std::string& bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

inline std::string ReadWhole(const std::wstring& path) {
  std::string bytes;
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(missing)";
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

}  // namespace links
