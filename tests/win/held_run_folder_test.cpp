// The run's folder under Wine: made fresh inside the setup folder, held against renames, and
// removed with everything the installer left in it, links removed themselves.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <regex>
#include <string>

#include "link_fixtures.h"
#include "util/held_run_folder.h"
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

orv::Result<orv::HeldRunFolder> MakeRunFolder() { return orv::HeldRunFolder::Create(ProgramFiles(), kSetupName); }

#define ASSERT_MADE(name)                                         \
  orv::Result<orv::HeldRunFolder> name##Made = MakeRunFolder();       \
  ASSERT_TRUE(name##Made.ok()) << name##Made.status().LogText(); \
  orv::HeldRunFolder& name = *name##Made

TEST(HeldRunFolder, FreshForEachRunHeldAndWithItsTemporaryFolder) {
  ASSERT_MADE(first);
  ASSERT_MADE(second);
  EXPECT_NE(first.path(), second.path());
  const std::wstring setup = ProgramFiles() + L"\\" + kSetupName + L"\\";
  ASSERT_GT(first.path().size(), setup.size());
  EXPECT_EQ(CompareStringOrdinal(first.path().c_str(), static_cast<int>(setup.size()), setup.c_str(),
                                 static_cast<int>(setup.size()), TRUE),
            CSTR_EQUAL)
      << ToUtf8(first.path());
  EXPECT_TRUE(std::regex_match(ToUtf8(first.path().substr(setup.size())), std::regex("orv[0-9a-f]{8}")))
      << ToUtf8(first.path());
  EXPECT_EQ(first.tempPath(), first.path() + L"\\tmp");
  EXPECT_TRUE(GetFileAttributesW(first.tempPath().c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  for (const std::wstring& held : {first.path(), first.tempPath()}) {
    EXPECT_FALSE(MoveFileW(held.c_str(), (held + L"-moved").c_str())) << "renamed while held: " << ToUtf8(held);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(RemoveDirectoryW(held.c_str())) << "removed while held: " << ToUtf8(held);
  }
}

TEST(HeldRunFolder, NewFilesOnlyAndOnlySingleNames) {
  ASSERT_MADE(folder);
  {
    orv::Result<UniqueHandle> file = folder.CreateNewFile(L"setup.exe", GENERIC_READ | GENERIC_WRITE);
    ASSERT_TRUE(file.ok()) << file.status().LogText();
    // Nobody else may write it while it is open.
    const UniqueHandle other{CreateFileW((folder.path() + L"\\setup.exe").c_str(), GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                         nullptr)};
    EXPECT_FALSE(other);
  }
  struct Case {
    const wchar_t* name;
    DWORD code;
  };
  const Case refused[] = {{L"setup.exe", ERROR_FILE_EXISTS}, {L"tmp", ERROR_FILE_EXISTS},
                          {L"..\\escape.exe", ERROR_INVALID_NAME}, {L"", ERROR_INVALID_NAME}};
  for (const Case& c : refused) {
    orv::Result<UniqueHandle> file = folder.CreateNewFile(c.name, GENERIC_WRITE);
    EXPECT_FALSE(file.ok()) << ToUtf8(c.name);
    if (!file.ok()) {
      EXPECT_EQ(file.status().code(), c.code) << ToUtf8(c.name) << ": " << file.status().LogText();
    }
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
    ASSERT_MADE(folder);
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

TEST(HeldRunFolder, KeptFolderOutlivesItsObject) {
  std::wstring path;
  {
    ASSERT_MADE(folder);
    path = folder.path();
    ASSERT_TRUE(links::WriteWhole(folder.path() + L"\\setup.exe", "mismatching download"));
    folder.Keep();
  }
  EXPECT_EQ(links::ReadWhole(path + L"\\setup.exe"), "mismatching download");
  DeleteFileW((path + L"\\setup.exe").c_str());
  RemoveDirectoryW((path + L"\\tmp").c_str());
  EXPECT_TRUE(RemoveDirectoryW(path.c_str())) << GetLastError();
}

TEST(HeldRunFolder, ASetupFolderThatIsAFileIsRefused) {
  const std::wstring programs = ProgramFiles();
  const std::wstring blocker = programs + L"\\Orvandel Setup Blocked";
  ASSERT_TRUE(links::WriteWhole(blocker, "a file where the folder should be"));
  orv::Result<orv::HeldRunFolder> made = orv::HeldRunFolder::Create(programs, L"Orvandel Setup Blocked");
  EXPECT_FALSE(made.ok());
  DeleteFileW(blocker.c_str());
}

}  // namespace
