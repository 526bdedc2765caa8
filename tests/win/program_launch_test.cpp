// The installer's launch under Wine: started from the held file by its final path, in the run's
// folder, with TMP and TEMP naming the run's temporary folder; a file that is not a program fails.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link_fixtures.h"
#include "util/program_launch.h"
#include "util/held_run_folder.h"
#include "text/utf8.h"

namespace {

using namespace orv;

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\'));
}

std::wstring ProgramFiles() {
  wchar_t path[MAX_PATH + 1] = {};
  SHGetSpecialFolderPathW(nullptr, path, CSIDL_PROGRAM_FILES, FALSE);
  return path;
}

// Puts bytes into a new file of folder and holds it as the run holds the checked installer.
UniqueHandle PlaceAndHold(const orv::HeldRunFolder& folder, const std::wstring& name, const std::string& bytes) {
  {
    orv::Result<UniqueHandle> file = folder.CreateNewFile(name, GENERIC_WRITE);
    if (!file.ok()) return UniqueHandle{};
    DWORD written = 0;
    if (!WriteFile(file->get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) return UniqueHandle{};
  }
  return UniqueHandle{CreateFileW((folder.path() + L"\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr)};
}

class ProgramLaunch : public ::testing::Test {
 protected:
  void SetUp() override {
    orv::Result<orv::HeldRunFolder> made = orv::HeldRunFolder::Create(ProgramFiles(), L"Orvandel Setup Test");
    ASSERT_TRUE(made.ok()) << made.status().LogText();
    folder_.emplace(std::move(*made));
    ASSERT_TRUE(scratch_.ok());
    for (const wchar_t* name : {L"TEMP", L"TMP"}) {
      wchar_t value[MAX_PATH + 1] = {};
      GetEnvironmentVariableW(name, value, MAX_PATH + 1);
      saved_.emplace_back(name, value);
      // Where a user would point it: the launch must not pass it on.
      SetEnvironmentVariableW(name, scratch_.path().c_str());
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) SetEnvironmentVariableW(name.c_str(), value.c_str());
    SetEnvironmentVariableW(L"ORV_DEMO_PLACE", nullptr);
    SetEnvironmentVariableW(L"ORV_DEMO_RECORD", nullptr);
    SetEnvironmentVariableW(L"ORV_DEMO_EXIT_CODE", nullptr);
  }

  links::ScratchFolder scratch_{L"launch"};
  std::optional<orv::HeldRunFolder> folder_;
  std::vector<std::pair<std::wstring, std::wstring>> saved_;
};

TEST_F(ProgramLaunch, StartsTheHeldFileInTheRunsFolderWithItsTemporaryFolder) {
  const std::string installer = links::ReadWhole(OwnFolder() + L"\\demo_installer.exe");
  ASSERT_GT(installer.size(), 1000u);
  const UniqueHandle held = PlaceAndHold(*folder_, L"setup.exe", installer);
  ASSERT_TRUE(held) << GetLastError();
  const std::wstring place = scratch_ / L"place.txt";
  const std::wstring record = scratch_ / L"record.txt";
  SetEnvironmentVariableW(L"ORV_DEMO_PLACE", place.c_str());
  SetEnvironmentVariableW(L"ORV_DEMO_RECORD", record.c_str());
  SetEnvironmentVariableW(L"ORV_DEMO_EXIT_CODE", L"3221225477");

  orv::Result<orv::StartedProcess> started =
      orv::StartHeldProgram(held.get(), L"-id x -v \"4.1\" /S", {folder_->path(), folder_->tempPath()});
  ASSERT_TRUE(started.ok()) << started.status().LogText();
  const std::wstring expectedPath = folder_->path() + L"\\setup.exe";
  EXPECT_EQ(CompareStringOrdinal(started->path().c_str(), -1, expectedPath.c_str(), -1, TRUE), CSTR_EQUAL)
      << ToUtf8(started->path());
  orv::Result<uint32_t> code = started->Wait();
  ASSERT_TRUE(code.ok()) << code.status().LogText();
  EXPECT_EQ(*code, 3221225477u);

  EXPECT_EQ(links::ReadWhole(record), "\"" + ToUtf8(started->path()) + "\" -id x -v \"4.1\" /S");
  const std::string temp = ToUtf8(folder_->tempPath());
  EXPECT_EQ(links::ReadWhole(place), ToUtf8(folder_->path()) + "\n" + temp + "\n" + temp + "\n" + temp + "\\\n");
}

TEST_F(ProgramLaunch, AFileThatIsNotAProgramFailsWithItsCode) {
  const UniqueHandle held = PlaceAndHold(*folder_, L"setup.exe", "This is a text file.\r\n");
  ASSERT_TRUE(held) << GetLastError();
  orv::Result<orv::StartedProcess> started =
      orv::StartHeldProgram(held.get(), L"-id x", {folder_->path(), folder_->tempPath()});
  ASSERT_FALSE(started.ok());
  EXPECT_EQ(started.status().code(), static_cast<uint32_t>(ERROR_BAD_EXE_FORMAT)) << started.status().LogText();
}

}  // namespace
