#include "util/private_folder.h"

#include <windows.h>
#include <aclapi.h>
#include <rpc.h>
#include <sddl.h>

#include "util/no_redirect_file.h"
#include "util/unique_handle.h"

namespace orv {

const wchar_t kAdminsOnlyFolderSddl[] = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";

namespace {

constexpr int kNameAttempts = 8;

// Eight hexadecimal digits that no other run is likely to pick.
std::wstring RandomSuffix() {
  UUID uuid{};
  UuidCreate(&uuid);
  wchar_t text[9];
  static const wchar_t kDigits[] = L"0123456789abcdef";
  for (int i = 0; i < 8; ++i) text[i] = kDigits[(uuid.Data1 >> (28 - 4 * i)) & 15];
  text[8] = L'\0';
  return text;
}

}  // namespace

bool PrivateFolder::Create(const std::wstring& parent, const std::wstring& prefix, bool adminsOnly) {
  if (!path_.empty()) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return false;
  }
  SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (adminsOnly &&
      !ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdminsOnlyFolderSddl, SDDL_REVISION_1, &descriptor,
                                                            nullptr)) {
    return false;
  }
  attributes.lpSecurityDescriptor = descriptor;
  std::wstring base = parent;
  if (!base.empty() && base.back() != L'\\') base += L'\\';
  std::wstring made;
  DWORD error = ERROR_ALREADY_EXISTS;
  for (int attempt = 0; attempt < kNameAttempts && made.empty(); ++attempt) {
    const std::wstring candidate = base + prefix + RandomSuffix();
    if (CreateDirectoryW(candidate.c_str(), &attributes)) {
      made = candidate;
    } else {
      error = GetLastError();
      if (error != ERROR_ALREADY_EXISTS) break;
    }
  }
  if (made.empty()) {
    if (descriptor) LocalFree(descriptor);
    SetLastError(error);
    return false;
  }
  // No delete sharing: while this handle is open the folder can be neither renamed nor removed.
  const DWORD access = FILE_LIST_DIRECTORY | READ_CONTROL | (adminsOnly ? WRITE_DAC : 0);
  UniqueHandle hold{CreateFileW(made.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)};
  BY_HANDLE_FILE_INFORMATION info{};
  const bool opened = hold && GetFileInformationByHandle(hold.get(), &info);
  bool plain = opened && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
               (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  DWORD why = opened ? ERROR_CANT_ACCESS_FILE : GetLastError();
  // The list given at creation is set again through the handle: some platforms keep only the
  // inherited one from CreateDirectoryW, and this way it lands on the very folder held.
  if (plain && adminsOnly) {
    PACL dacl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    const DWORD set = GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)
                          ? SetSecurityInfo(hold.get(), SE_FILE_OBJECT,
                                            DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                            nullptr, dacl, nullptr)
                          : GetLastError();
    if (set != ERROR_SUCCESS) plain = false, why = set;
  }
  if (descriptor) LocalFree(descriptor);
  if (!plain) {
    hold.reset();
    RemoveDirectoryW(made.c_str());
    SetLastError(why);
    return false;
  }
  path_ = made + L"\\";
  hold_ = std::move(hold);
  return true;
}

bool PrivateFolder::Remove() {
  if (path_.empty()) return false;
  hold_.reset();
  return RemoveDirectoryW(path_.c_str()) != 0;
}

bool ProcessIsElevated() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  const UniqueHandle token{raw};
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  return GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
         elevation.TokenIsElevated != 0;
}

namespace {

// Owner and access list together: an owner may always rewrite the list, so a folder that a user
// made before us is only safe once Administrators own it.
constexpr wchar_t kOwnerSddl[] = L"O:BA";

}  // namespace

bool SecureAdminsOnlyFolder(const std::wstring& folder) {
  PSECURITY_DESCRIPTOR raw = nullptr;
  const std::wstring sddl = std::wstring(kOwnerSddl) + kAdminsOnlyFolderSddl;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &raw, nullptr)) {
    return false;
  }
  const UniqueLocalMemory descriptor{raw};
  SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), raw, FALSE};
  if (!CreateDirectoryW(folder.c_str(), &attributes) && GetLastError() != ERROR_ALREADY_EXISTS) return false;

  // The folder itself, never what a link at its name points to; held while its list is set.
  std::wstring name = folder;
  while (name.size() > 3 && name.back() == L'\\') name.pop_back();
  const UniqueHandle held = HoldFolderNoRedirect(name, READ_CONTROL | WRITE_DAC | WRITE_OWNER);
  if (!held) return false;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  BOOL present = FALSE, defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(raw, &owner, &defaulted) ||
      !GetSecurityDescriptorDacl(raw, &present, &dacl, &defaulted)) {
    return false;
  }
  const DWORD set = SetSecurityInfo(held.get(), SE_FILE_OBJECT,
                                    OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                        PROTECTED_DACL_SECURITY_INFORMATION,
                                    owner, nullptr, dacl, nullptr);
  if (set != ERROR_SUCCESS) {
    SetLastError(set);
    return false;
  }
  return true;
}

}  // namespace orv
