#include "util/admin_folder.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "util/no_redirect_file.h"
#include "util/private_folder.h"
#include "util/unique_handle.h"

namespace orv {

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
