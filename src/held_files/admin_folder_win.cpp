#include "held_files/admin_folder.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "base/last_error.h"
#include "base/unique_handle.h"
#include "held_files/held_file.h"

namespace orv {

const wchar_t kAdminsOnlyFolderSddl[] = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";

std::wstring AdminsOwnedFolderSddl() { return std::wstring(L"O:BA") + kAdminsOnlyFolderSddl; }

Status SecureAdminsOnlyFolder(const std::wstring& folder) {
  PSECURITY_DESCRIPTOR raw = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(AdminsOwnedFolderSddl().c_str(), SDDL_REVISION_1, &raw,
                                                            nullptr)) {
    return LastErrorStatus("Cannot make the administrators-only access list");
  }
  const UniqueLocalMemory descriptor{raw};
  SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), raw, FALSE};
  if (!CreateDirectoryW(folder.c_str(), &attributes) && GetLastError() != ERROR_ALREADY_EXISTS) {
    return LastErrorStatus("Cannot create the folder");
  }
  // The folder itself, never what a link at its name points to; held while its list is set.
  std::wstring name = folder;
  while (name.size() > 3 && name.back() == L'\\') name.pop_back();
  const Result<UniqueHandle> held = HoldFolder(name, READ_CONTROL | WRITE_DAC | WRITE_OWNER);
  if (!held.ok()) return held.status();
  PSID owner = nullptr;
  PACL dacl = nullptr;
  BOOL present = FALSE, defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(raw, &owner, &defaulted) ||
      !GetSecurityDescriptorDacl(raw, &present, &dacl, &defaulted)) {
    return LastErrorStatus("Cannot read the administrators-only access list");
  }
  const DWORD set = SetSecurityInfo(held->get(), SE_FILE_OBJECT,
                                    OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                        PROTECTED_DACL_SECURITY_INFORMATION,
                                    owner, nullptr, dacl, nullptr);
  if (set != ERROR_SUCCESS) return Status::Failure(set, "Cannot give the folder its owner and access list");
  return {};
}

}  // namespace orv
