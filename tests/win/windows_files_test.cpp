// The run's folder, its download file and the hold on the checked installer, as the run uses them.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/unique_handle.h"
#include "main/windows_ports.h"

namespace {
using namespace orv;

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  UniqueHandle file{CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
  DWORD written = 0;
  return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

// Whether another process of the user could open path to change it right now.
bool Writable(const std::wstring& path) {
  const UniqueHandle other{CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, 0, nullptr)};
  return static_cast<bool>(other);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

TEST(WindowsFiles, TheCheckedFileIsHeldUntilItGoesAndTheFolderGoesWithTheRun) {
  orv::WindowsFiles files(nullptr);
  std::wstring folderPath;
  std::wstring path;
  {
    orv::Result<std::unique_ptr<orv::RunFolder>> folder = files.MakeRunFolder();
    ASSERT_TRUE(folder.ok()) << folder.status().LogText();
    folderPath = (*folder)->path();
    orv::Result<std::unique_ptr<orv::DownloadFile>> file = (*folder)->CreateDownloadFile();
    ASSERT_TRUE(file.ok()) << file.status().LogText();
    path = (*file)->path();
    EXPECT_EQ(Folder(path) + L"\\", folderPath);
    EXPECT_EQ(path.substr(path.size() - 8), L".tmp.exe");
    // The download writes the file through the handle that created it; nobody else may write it
    // or delete it meanwhile, between the writes too.
    orv::FileWriter& writer = (*file)->writer();
    ASSERT_TRUE(writer.Append("12345", 5).ok());
    EXPECT_FALSE(Writable(path)) << "between two writes";
    EXPECT_FALSE(DeleteFileW(path.c_str()));
    ASSERT_TRUE(writer.Append("6789", 4).ok());
    EXPECT_EQ(writer.size(), 9u);
    EXPECT_FALSE(MoveFileW(Folder(path).c_str(), (Folder(path) + L"-moved").c_str())) << "the folder is held";
    {
      orv::Result<std::unique_ptr<orv::CheckedInstaller>> checked = (*file)->Check();
      ASSERT_TRUE(checked.ok()) << checked.status().LogText();
      EXPECT_EQ((*checked)->sums().crc32, 0xCBF43926u);
      EXPECT_EQ((*checked)->sums().size, 9u);
      EXPECT_FALSE(Writable(path));
      EXPECT_FALSE(DeleteFileW(path.c_str()));
      // Not a program: the launch fails with the platform's code.
      const orv::Result<std::unique_ptr<orv::StartedInstaller>> started = (*checked)->Start(**folder, L"");
      EXPECT_FALSE(started.ok());
      EXPECT_NE(started.status().code(), 0u);
    }
    EXPECT_TRUE(Writable(path)) << "the hold ends with the checked installer";
    // The run's folder goes with what it holds when the run ends early.
  }
  EXPECT_FALSE(Exists(path));
  EXPECT_FALSE(Exists(folderPath));
}

TEST(WindowsFiles, AKeptFolderStaysAndARemovedOneIsGone) {
  orv::WindowsFiles files(nullptr);
  std::wstring kept;
  {
    orv::Result<std::unique_ptr<orv::RunFolder>> folder = files.MakeRunFolder();
    ASSERT_TRUE(folder.ok()) << folder.status().LogText();
    orv::Result<std::unique_ptr<orv::DownloadFile>> file = (*folder)->CreateDownloadFile();
    ASSERT_TRUE(file.ok());
    kept = (*file)->path();
    ASSERT_TRUE((*file)->writer().Append("x", 1).ok());
    (*folder)->Keep();
  }
  EXPECT_TRUE(Exists(kept));
  DeleteFileW(kept.c_str());
  DeleteFileW(kept.substr(0, kept.size() - 4).c_str());
  RemoveDirectoryW((Folder(kept) + L"\\tmp").c_str());
  RemoveDirectoryW(Folder(kept).c_str());

  orv::Result<std::unique_ptr<orv::RunFolder>> folder = files.MakeRunFolder();
  ASSERT_TRUE(folder.ok());
  orv::Result<std::unique_ptr<orv::DownloadFile>> file = (*folder)->CreateDownloadFile();
  ASSERT_TRUE(file.ok());
  const std::wstring path = (*file)->path();
  ASSERT_TRUE((*file)->writer().Append("x", 1).ok());
  file->reset();  // as the run lets the download file go before it deletes it
  ASSERT_TRUE(WriteBytes(Folder(path) + L"\\tmp\\left-by-the-installer.txt", "x"));
  ASSERT_TRUE((*folder)->DeleteFile(path).ok());
  // What the installer left in its temporary folder goes with the run's folder.
  const orv::Status removed = (*folder)->Remove();
  EXPECT_TRUE(removed.ok()) << removed.LogText();
  EXPECT_FALSE(Exists(Folder(path)));
}

}  // namespace
