#include "held_files/final_path.h"

namespace orv {
namespace {

constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
constexpr std::wstring_view kLongUncPrefix = L"\\\\?\\UNC\\";
constexpr std::wstring_view kDosDevicesPrefix = L"\\??\\";

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

}  // namespace

bool IsSingleName(std::wstring_view leaf) {
  if (leaf.empty() || leaf == L"." || leaf == L"..") return false;
  return leaf.find_first_of(std::wstring_view(L"\\/:\0", 4)) == std::wstring_view::npos;
}

std::wstring EntryPath(std::wstring_view parent, std::wstring_view leaf) {
  if (parent.empty() || !IsSingleName(leaf)) return {};
  std::wstring path(parent);
  if (path.back() != L'\\') path += L'\\';
  path += leaf;
  return path;
}

bool NamesEntryOf(std::wstring_view parentFinal, std::wstring_view leaf, std::wstring_view opened,
                  SameNameFunction sameName) {
  const std::wstring expected = EntryPath(parentFinal, leaf);
  return !expected.empty() && !opened.empty() && sameName(expected, opened);
}

std::wstring WithoutLongPathPrefix(std::wstring_view path) {
  if (path.substr(0, kLongUncPrefix.size()) == kLongUncPrefix) {
    return L"\\\\" + std::wstring(path.substr(kLongUncPrefix.size()));
  }
  if (path.size() >= kLongPrefix.size() + 3 && path.substr(0, kLongPrefix.size()) == kLongPrefix &&
      IsDriveLetter(path[4]) && path[5] == L':' && path[6] == L'\\') {
    return std::wstring(path.substr(kLongPrefix.size()));
  }
  return std::wstring(path);
}

bool MappedNameIsFile(std::wstring_view mapped, std::wstring_view finalNt, std::wstring_view finalDos,
                      SameNameFunction sameName) {
  if (mapped.empty()) return false;
  if (mapped.substr(0, kDosDevicesPrefix.size()) == kDosDevicesPrefix) {
    const std::wstring asDos = std::wstring(kLongPrefix) + std::wstring(mapped.substr(kDosDevicesPrefix.size()));
    return !finalDos.empty() && sameName(asDos, finalDos);
  }
  return !finalNt.empty() && sameName(mapped, finalNt);
}

FolderVerdict JudgeHeldFolder(const HeldFolderFacts& facts, std::wstring_view expectedFinal,
                              const std::vector<std::wstring>& acceptedOwners, SameNameFunction sameName) {
  if ((facts.attributes & kAttributeReparsePoint) != 0) return FolderVerdict::Link;
  if ((facts.attributes & kAttributeDirectory) == 0) return FolderVerdict::NotAFolder;
  if (expectedFinal.empty() || facts.finalPath.empty() || !sameName(facts.finalPath, expectedFinal)) {
    return FolderVerdict::Elsewhere;
  }
  for (const std::wstring& owner : acceptedOwners) {
    if (!owner.empty() && owner == facts.ownerSid) return FolderVerdict::Plain;
  }
  return FolderVerdict::ForeignOwner;
}

const char* FolderVerdictText(FolderVerdict verdict) {
  switch (verdict) {
    case FolderVerdict::Plain: return "";
    case FolderVerdict::Link: return "a link";
    case FolderVerdict::NotAFolder: return "not a folder";
    case FolderVerdict::Elsewhere: return "elsewhere than expected";
    case FolderVerdict::ForeignOwner: return "owned by someone else";
  }
  return "";
}

}  // namespace orv
