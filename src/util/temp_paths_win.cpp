#include "util/temp_paths.h"

#include <windows.h>

#include "text/wide_buffer.h"

namespace orv {

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
