#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <string>

#include "base/unique_handle.h"
#include "held_files/admin_folder.h"
#include "held_files/held_file.h"
#include "held_files/held_run_folder.h"
#include "text/utf8.h"
#include "util/file_paths.h"
#include "util/file_sums.h"

namespace {
using namespace orv;

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, buffer);
  return buffer;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  UniqueHandle file{CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
  DWORD written = 0;
  return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

// The folder's access list as the platform writes it back, and whether it is protected.
std::wstring DaclOf(const std::wstring& path, bool& isProtected) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL dacl = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                            nullptr, &descriptor) != ERROR_SUCCESS) {
    return L"(unreadable)";
  }
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  isProtected = (control & SE_DACL_PROTECTED) != 0;
  LPWSTR text = nullptr;
  std::wstring result = L"(no text)";
  if (ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                           &text, nullptr)) {
    result = text;
    LocalFree(text);
  }
  LocalFree(descriptor);
  return result;
}

// The run's folders as the platform stores them: Windows keeps the protected list as given. Wine
// keeps no access lists on files: it shows one made from the Unix mode bits, which our list sets
// to rwx for the owner and r-x for others, so there it can only show that nobody else may write.
TEST(HeldRunFolder, TheRunsFoldersGetTheAdminsOnlyList) {
  wchar_t programs[MAX_PATH + 1] = {};
  ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, programs, CSIDL_PROGRAM_FILES, FALSE));
  Result<HeldRunFolder> folder = HeldRunFolder::Create(programs, L"Orvandel Setup Test");
  ASSERT_TRUE(folder.ok()) << folder.status().LogText();
  for (const std::wstring& path : {folder->path(), folder->tempPath()}) {
    bool isProtected = false;
    const std::wstring dacl = DaclOf(path, isProtected);
    if (isProtected) {
      EXPECT_EQ(dacl, L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)") << ToUtf8(path);
    } else {
      EXPECT_NE(dacl.find(L"(A;OICI;0x1200a9;;;WD)"), std::wstring::npos) << ToUtf8(dacl);
      EXPECT_EQ(dacl.find(L"(A;OICI;FA;;;WD)"), std::wstring::npos) << ToUtf8(dacl);
    }
  }
}

// The list the folder is given: protected, Administrators and SYSTEM full control, Users read and
// execute, each inherited by files and folders inside.
TEST(AdminsOnlyFolder, ListLetsOnlyAdministratorsAndSystemWrite) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdminsOnlyFolderSddl, SDDL_REVISION_1,
                                                                   &descriptor, nullptr));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
  EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "nothing inherited from the user's folder";
  PACL dacl = nullptr;
  BOOL present = FALSE, defaulted = FALSE;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
  ASSERT_TRUE(present && dacl);
  struct Expected {
    WELL_KNOWN_SID_TYPE sid;
    DWORD mask;
  };
  const Expected expected[] = {{WinBuiltinAdministratorsSid, FILE_ALL_ACCESS},
                               {WinLocalSystemSid, FILE_ALL_ACCESS},
                               {WinBuiltinUsersSid, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE}};
  ASSERT_EQ(dacl->AceCount, 3);
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE) << i;
    EXPECT_EQ(ace->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) << i;
    EXPECT_EQ(ace->Mask, expected[i].mask) << i;
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    ASSERT_TRUE(CreateWellKnownSid(expected[i].sid, nullptr, sid, &size));
    EXPECT_TRUE(EqualSid(&ace->SidStart, sid)) << i;
    const DWORD writes = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES | DELETE |
                         FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER;
    if (expected[i].sid == WinBuiltinUsersSid) {
      EXPECT_EQ(ace->Mask & writes, 0u);
    }
  }
  LocalFree(descriptor);
}

TEST(HeldRunFolder, AProgramFilesFolderThatDoesNotExistFailsWithItsError) {
  const Result<HeldRunFolder> folder =
      HeldRunFolder::Create(TempFolder() + L"orv-no-such-parent\\deeper", L"Orvandel Setup");
  EXPECT_FALSE(folder.ok());
  EXPECT_EQ(folder.status().code(), static_cast<uint32_t>(ERROR_PATH_NOT_FOUND)) << folder.status().LogText();
}

TEST(LockedFile, NobodyWritesDeletesOrRenamesWhileTheCheckHoldsIt) {
  const std::wstring folder = TempFolder() + L"orvtest-locked-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << GetLastError();
  const std::wstring path = folder + L"\\installer.exe";
  ASSERT_TRUE(WriteBytes(path, "123456789"));
  {
    const Result<UniqueHandle> opened = OpenHeldForCheck(path);
    ASSERT_TRUE(opened.ok()) << opened.status().code();
    const UniqueHandle& held = *opened;
    struct Attempt {
      const char* name;
      DWORD access;
    };
    for (const Attempt& a : {Attempt{"write", GENERIC_WRITE}, Attempt{"delete", DELETE}}) {
      UniqueHandle other{CreateFileW(path.c_str(), a.access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr)};
      EXPECT_FALSE(other) << a.name;
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << a.name;
    }
    EXPECT_FALSE(DeleteFileW(path.c_str()));
    EXPECT_FALSE(MoveFileW(path.c_str(), (path + L".old").c_str()));
    // Readers are welcome: the launch opens the image for execution with read sharing.
    UniqueHandle reader{CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)};
    EXPECT_TRUE(reader);

    HandleByteSource source(held.get());
    FileSums sums;
    ASSERT_TRUE(ComputeFileSums(source, sums));
    EXPECT_EQ(sums.crc32, 0xCBF43926u);
    EXPECT_EQ(Sha256Hex(sums.sha256), "15e2b0d3c33891ebb0f1ef609ec419420c20e320ce94c65fbc8c3312448eb225");
  }
  // A file open for writing elsewhere cannot be taken for the check.
  {
    UniqueHandle writer{CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)};
    ASSERT_TRUE(writer);
    EXPECT_EQ(OpenHeldForCheck(path).status().code(), static_cast<uint32_t>(ERROR_SHARING_VIOLATION));
  }
  EXPECT_EQ(OpenHeldForCheck(path + L".missing").status().code(), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(DeleteFileW(path.c_str()));
  EXPECT_TRUE(RemoveDirectoryW(folder.c_str()));
}

// The resume copy's folder: made or adopted under a fixed name, never through a file at that name
// or a missing parent, and left with the administrators-only list (read back as the platform
// stores it; see above for what Wine shows).
TEST(AdminsOnlyFolder, MakesOrAdoptsAPlainFolderAndRefusesTheRest) {
  const std::wstring base = TempFolder() + L"orvtest-admins-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(base.c_str(), nullptr)) << GetLastError();
  const std::wstring adopted = base + L"\\adopted";
  ASSERT_TRUE(CreateDirectoryW(adopted.c_str(), nullptr));
  const std::wstring file = base + L"\\file";
  ASSERT_TRUE(WriteBytes(file, "MZ"));
  struct Case {
    std::wstring folder;
    DWORD error;  // ERROR_SUCCESS: the folder must be accepted
  };
  const Case cases[] = {{base + L"\\fresh", ERROR_SUCCESS},
                        {adopted, ERROR_SUCCESS},
                        {file, ERROR_CANT_ACCESS_FILE},
                        {base + L"\\missing\\deeper", ERROR_PATH_NOT_FOUND}};
  for (const Case& c : cases) {
    const Status made = SecureAdminsOnlyFolder(c.folder);
    EXPECT_EQ(made.ok(), c.error == ERROR_SUCCESS) << ToUtf8(c.folder);
    if (!made.ok()) {
      EXPECT_EQ(made.code(), c.error) << ToUtf8(c.folder) << ": " << made.LogText();
      continue;
    }
    bool isProtected = false;
    const std::wstring dacl = DaclOf(c.folder, isProtected);
    if (isProtected) {
      EXPECT_EQ(dacl, std::wstring(L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)")) << ToUtf8(c.folder);
    } else {
      EXPECT_EQ(dacl.find(L"(A;OICI;FA;;;WD)"), std::wstring::npos) << ToUtf8(c.folder) << " " << ToUtf8(dacl);
    }
    EXPECT_TRUE(SecureAdminsOnlyFolder(c.folder).ok()) << "a second run adopts it: " << ToUtf8(c.folder);
    EXPECT_TRUE(RemoveDirectoryW(c.folder.c_str())) << ToUtf8(c.folder);
  }
  EXPECT_TRUE(DeleteFileW(file.c_str()));
  EXPECT_TRUE(RemoveDirectoryW(base.c_str()));
}

}  // namespace
