#include "launch/installer_environment.h"

#include <optional>
#include <string_view>
#include <utility>

#include "launch/environment_block.h"
#include "text/ascii_case.h"

namespace orv {
namespace {

// The names only the platform's records give.
constexpr const wchar_t* kFolderNames[] = {L"USERPROFILE", L"HOMEDRIVE", L"HOMEPATH", L"APPDATA", L"LOCALAPPDATA"};
constexpr const wchar_t* kTempNames[] = {L"TMP", L"TEMP"};

template <typename Names>
bool Listed(const Names& names, std::wstring_view name) {
  for (const auto& listed : names) {
    if (EqualsIgnoringAsciiCase(listed, name)) return true;
  }
  return false;
}

// The entry's name when it is a variable ("name=value", name not empty and not beginning with
// '='); empty otherwise.
std::wstring_view VariableName(std::wstring_view entry) {
  const std::wstring_view name = EnvironmentEntryName(entry);
  if (name.empty() || name.size() == entry.size() || name.front() == L'=') return {};
  return name;
}

bool Has(const std::vector<std::wstring>& entries, std::wstring_view name) {
  for (const std::wstring& entry : entries) {
    if (EqualsIgnoringAsciiCase(EnvironmentEntryName(entry), name)) return true;
  }
  return false;
}

// Adds entry (a variable whose name entries lack) in name order.
void Add(std::vector<std::wstring>& entries, std::wstring_view entry, std::wstring_view name) {
  entries = WithEnvironmentVariable(std::move(entries), name, entry.substr(name.size() + 1));
}

// Nullopt unless profile begins with a drive letter, a colon and a backslash; otherwise its drive
// ("C:") and the rest, from that backslash.
std::optional<std::pair<std::wstring, std::wstring>> HomeOfProfile(std::wstring_view profile) {
  const bool letter = profile.size() >= 3 && ((profile[0] >= L'A' && profile[0] <= L'Z') ||
                                               (profile[0] >= L'a' && profile[0] <= L'z'));
  if (!letter || profile[1] != L':' || profile[2] != L'\\') return std::nullopt;
  return std::make_pair(std::wstring(profile.substr(0, 2)), std::wstring(profile.substr(2)));
}

}  // namespace

std::vector<std::wstring> BuildInstallerEnvironment(const EnvironmentParts& parts) {
  std::vector<std::wstring> entries;
  for (const std::wstring& entry : parts.machine) {
    const std::wstring_view name = VariableName(entry);
    if (name.empty() || Has(entries, name) || Listed(kSessionUserNames, name) || Listed(parts.carried, name) ||
        Listed(kFolderNames, name) || Listed(kTempNames, name)) {
      continue;
    }
    Add(entries, entry, name);
  }
  for (const std::wstring& entry : parts.session) {
    const std::wstring_view name = VariableName(entry);
    if (name.empty() || Has(entries, name)) continue;
    if (Listed(kSessionUserNames, name) || Listed(parts.carried, name)) Add(entries, entry, name);
  }
  const UserFolders& folders = parts.folders;
  if (!folders.profile.empty()) {
    entries = WithEnvironmentVariable(std::move(entries), L"USERPROFILE", folders.profile);
    if (const auto home = HomeOfProfile(folders.profile)) {
      entries = WithEnvironmentVariable(std::move(entries), L"HOMEDRIVE", home->first);
      entries = WithEnvironmentVariable(std::move(entries), L"HOMEPATH", home->second);
    }
  }
  if (!folders.roamingAppData.empty()) {
    entries = WithEnvironmentVariable(std::move(entries), L"APPDATA", folders.roamingAppData);
  }
  if (!folders.localAppData.empty()) {
    entries = WithEnvironmentVariable(std::move(entries), L"LOCALAPPDATA", folders.localAppData);
  }
  for (const wchar_t* name : kTempNames) entries = WithEnvironmentVariable(std::move(entries), name, parts.temp);
  return entries;
}

}  // namespace orv
