#include "held_files/old_run_folder.h"

namespace orv {
namespace {

// The platform's attribute bits (winnt.h).
constexpr uint32_t kDirectory = 0x10;
constexpr uint32_t kReparsePoint = 0x400;

bool IsHexDigit(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

}  // namespace

bool IsRunFolderName(std::wstring_view name) {
  constexpr std::wstring_view kPrefix = L"orv";
  if (name.size() != kPrefix.size() + 8 || name.substr(0, kPrefix.size()) != kPrefix) return false;
  for (const wchar_t c : name.substr(kPrefix.size())) {
    if (!IsHexDigit(c)) return false;
  }
  return true;
}

bool IsOldRunFolder(std::wstring_view name, uint32_t attributes, uint64_t lastWrite, uint64_t now) {
  if ((attributes & kDirectory) == 0 || (attributes & kReparsePoint) != 0 || !IsRunFolderName(name)) return false;
  return lastWrite <= now && now - lastWrite >= kOldRunFolderAge;
}

}  // namespace orv
