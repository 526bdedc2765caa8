// The adapter's download folder and its hold on the checked installer, as the run uses them.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "main/windows_run_effects.h"
#include "util/unique_handle.h"

namespace {
using namespace orv;

const Endpoints kEndpoints{L"https://localhost/orv.json", L"localhost", L"http://localhost/installation-cancelled/?v=",
                           false};

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

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

TEST(WindowsRunEffects, DownloadsIntoAFreshFolderAndHoldsTheCheckedFileUntilTheLaunch) {
  WindowsRunEffects effects(GetModuleHandleW(nullptr), kEndpoints);
  std::string error;
  const std::wstring path = effects.MakeTempInstallerPath(error);
  ASSERT_FALSE(path.empty()) << error;
  unsigned long code = 0;
  const std::wstring temp = effects.TempFolder(code);
  EXPECT_EQ(Folder(Folder(path)) + L"\\", temp) << "one folder of its own, directly in the temporary folder";
  EXPECT_EQ(path.substr(path.size() - 8), L".tmp.exe");
  ASSERT_TRUE(WriteBytes(path, "123456789"));

  FileSums sums;
  ASSERT_TRUE(effects.CheckInstallerFile(path, sums, error)) << error;
  EXPECT_EQ(sums.crc32, 0xCBF43926u);
  EXPECT_EQ(sums.size, 9u);
  EXPECT_FALSE(Writable(path));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(DeleteFileW(path.c_str()));
  EXPECT_FALSE(MoveFileW(Folder(path).c_str(), (Folder(path) + L"-moved").c_str())) << "the folder is held";

  // Not a program: the launch fails, and the hold ends with it.
  unsigned long launchError = 0;
  EXPECT_FALSE(effects.StartInstaller(path, L"", launchError));
  EXPECT_TRUE(Writable(path));

  // A file that another process holds open for writing is refused for the check (code 5 path).
  {
    const UniqueHandle writer{CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                          nullptr)};
    ASSERT_TRUE(writer);
    EXPECT_FALSE(effects.CheckInstallerFile(path, sums, error));
    EXPECT_EQ(error.rfind("Failed to open the file \"", 0), 0u) << error;
  }
  ASSERT_TRUE(effects.CheckInstallerFile(path, sums, error)) << error;
  EXPECT_FALSE(Writable(path));
  effects.ReleaseInstallerFile();
  EXPECT_TRUE(Writable(path));

  // Removal: the installer first (as the run does), then the folder with the platform's placeholder.
  unsigned long removeError = 0;
  ASSERT_TRUE(effects.RemoveFile(path, removeError)) << removeError;
  EXPECT_TRUE(effects.RemoveDownloadFolder(removeError)) << removeError;
  EXPECT_EQ(GetFileAttributesW(Folder(path).c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
