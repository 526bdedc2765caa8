// The run's folder under Wine: held against renames, new files only, and removed with everything
// the installer left in it, links removed themselves.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <string>

#include "link_fixtures.h"
#include "held_files/held_run_folder.h"
#include "text/utf8.h"

namespace {

using namespace orv;

constexpr wchar_t kSetupName[] = L"Orvandel Setup Test";

std::wstring ProgramFiles() {
  wchar_t path[MAX_PATH + 1] = {};
  SHGetSpecialFolderPathW(nullptr, path, CSIDL_PROGRAM_FILES, FALSE);
  return path;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(HeldRunFolder, HeldAndOnlyNewFilesWithSingleNames) {
  Result<HeldRunFolder> folder = HeldRunFolder::Create(ProgramFiles(), kSetupName);
  ASSERT_TRUE(folder.ok()) << folder.status().LogText();
  for (const std::wstring& held : {folder->path(), folder->tempPath()}) {
    EXPECT_FALSE(MoveFileW(held.c_str(), (held + L"-moved").c_str())) << "renamed while held: " << ToUtf8(held);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  }
  {
    Result<UniqueHandle> file = folder->CreateNewFile(L"setup.exe", GENERIC_READ | GENERIC_WRITE);
    ASSERT_TRUE(file.ok()) << file.status().LogText();
    const UniqueHandle other{CreateFileW((folder->path() + L"\\setup.exe").c_str(), GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                         nullptr)};
    EXPECT_FALSE(other) << "written by another while open";
  }
  struct Case {
    const wchar_t* name;
    DWORD code;
  };
  const Case refused[] = {{L"setup.exe", ERROR_FILE_EXISTS}, {L"tmp", ERROR_FILE_EXISTS},
                          {L"..\\escape.exe", ERROR_INVALID_NAME}, {L"", ERROR_INVALID_NAME}};
  for (const Case& c : refused) {
    const Result<UniqueHandle> file = folder->CreateNewFile(c.name, GENERIC_WRITE);
    EXPECT_EQ(file.ok() ? 0u : file.status().code(), static_cast<uint32_t>(c.code)) << ToUtf8(c.name);
  }
  EXPECT_FALSE(Exists(ProgramFiles() + L"\\" + kSetupName + L"\\escape.exe"));
}

TEST(HeldRunFolder, RemovedWithWhatTheInstallerLeftButNotWhereALinkLeads) {
  links::ScratchFolder outside(L"run");
  ASSERT_TRUE(outside.ok());
  const std::wstring precious = outside / L"precious.txt";
  ASSERT_TRUE(links::WriteWhole(precious, "outside the run's folder"));
  std::wstring path;
  {
    Result<HeldRunFolder> made = HeldRunFolder::Create(ProgramFiles(), kSetupName);
    ASSERT_TRUE(made.ok()) << made.status().LogText();
    HeldRunFolder& folder = *made;
    path = folder.path();
    ASSERT_TRUE(CreateDirectoryW((folder.tempPath() + L"\\nsu1.tmp").c_str(), nullptr));
    ASSERT_TRUE(links::WriteWhole(folder.tempPath() + L"\\nsu1.tmp\\System.dll", "left by the installer"));
    ASSERT_TRUE(links::WriteWhole(folder.path() + L"\\setup.exe", "the download"));
    // A hard link in the folder: removing it removes that name only.
    ASSERT_TRUE(CreateHardLinkW((folder.tempPath() + L"\\hard").c_str(), precious.c_str(), nullptr)) << GetLastError();
    {
      // A file in use stays, and so does the folder.
      const UniqueHandle busy{CreateFileW((folder.tempPath() + L"\\busy.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                          nullptr, CREATE_NEW, 0, nullptr)};
      ASSERT_TRUE(busy);
      const orv::Status removed = folder.Remove();
      EXPECT_FALSE(removed.ok());
      EXPECT_EQ(removed.code(), static_cast<uint32_t>(ERROR_SHARING_VIOLATION)) << removed.LogText();
      EXPECT_TRUE(Exists(folder.path()));
    }
    const orv::Status removed = folder.Remove();
    EXPECT_TRUE(removed.ok()) << removed.LogText();
    EXPECT_FALSE(Exists(path));
    EXPECT_TRUE(folder.Remove().ok()) << "a second removal does nothing";
  }
  EXPECT_EQ(links::ReadWhole(precious), "outside the run's folder");
}

}  // namespace
