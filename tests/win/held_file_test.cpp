// Writes of an elevated program into folders the user controls: a junction, symbolic link or hard
// link planted at the name must not send the write (copy, shortcut, log file) to another file.
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "link_fixtures.h"
#include "held_files/held_file.h"
#include "main/windows_ports.h"
#include "text/utf8.h"

namespace {
using namespace orv;

const std::string kPrecious = "precious bytes that must stay as they are";
const std::string kNew = "bytes of the elevated program";

enum class Plant { HardLink, SymbolicLink, Junction };

const char* Name(Plant plant) {
  switch (plant) {
    case Plant::HardLink: return "hard link";
    case Plant::SymbolicLink: return "symbolic link";
    case Plant::Junction: return "junction";
  }
  return "?";
}

// Plants a link of that kind at name, pointing at the victim file (or the victim's folder for a
// junction). False when the platform cannot make it.
bool PlantLink(Plant plant, const std::wstring& name, const std::wstring& victim, const std::wstring& victimFolder) {
  switch (plant) {
    case Plant::HardLink: return CreateHardLinkW(name.c_str(), victim.c_str(), nullptr) != FALSE;
    case Plant::SymbolicLink: return links::MakeFileSymlink(name, victim);
    case Plant::Junction: return links::MakeJunction(name, victimFolder);
  }
  return false;
}

// True on success; on failure false with GetLastError() set to the failure's code.
bool Succeeded(const Status& status) {
  SetLastError(status.code());
  return status.ok();
}

// Copies source to target as the resume copy is made: through an open handle of the source.
Status CopyFromPath(const std::wstring& source, const std::wstring& target) {
  const UniqueHandle from{CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)};
  if (!from) return Status::Failure(GetLastError(), "cannot open the source");
  return CopyToHeldFile(from.get(), target);
}

struct Write {
  const char* name;
  // Writes kNew (or a shortcut) at path; true when the write reported success.
  std::function<bool(const std::wstring& path, const std::wstring& source)> run;
};

// Plants each kind at the name and runs each write; a kind the platform cannot make is skipped
// (reported in skipped), every other must be refused with the victim untouched.
void CheckPlantedLinks(const std::vector<Plant>& plants, std::string& skipped) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  const Write writes[] = {
      {"copy", [](const std::wstring& path, const std::wstring& source) {
         return Succeeded(CopyFromPath(source, path));
       }},
      {"replace", [](const std::wstring& path, const std::wstring&) {
         return Succeeded(ReplaceHeldFile(path, kNew.data(), kNew.size()));
       }},
      {"shortcut", [](const std::wstring& path, const std::wstring& source) {
         return Succeeded(WindowsShortcuts().WriteShortcut(source, path));
       }},
      {"delete", [](const std::wstring& path, const std::wstring&) {
         return Succeeded(WindowsShortcuts().RemoveShortcut(path));
       }},
  };
  for (const Plant plant : plants) {
    for (const Write& write : writes) {
      SCOPED_TRACE(std::string(Name(plant)) + ", " + write.name);
      links::ScratchFolder scratch(L"w");
      ASSERT_TRUE(scratch.ok());
      const std::wstring victimFolder = scratch / L"protected";
      ASSERT_TRUE(CreateDirectoryW(victimFolder.c_str(), nullptr));
      const std::wstring victim = victimFolder + L"\\victim.dll";
      const std::wstring source = scratch / L"stub.exe";
      ASSERT_TRUE(links::WriteWhole(victim, kPrecious));
      ASSERT_TRUE(links::WriteWhole(source, kNew));
      const std::wstring planted = scratch / L"orvdl_setup.exe";
      if (!PlantLink(plant, planted, victim, victimFolder)) {
        const DWORD error = GetLastError();
        if (plant == Plant::HardLink || error != ERROR_NOT_SUPPORTED) {
          ADD_FAILURE() << "cannot plant a " << Name(plant) << ", error " << error;
        } else if (skipped.find(Name(plant)) == std::string::npos) {
          skipped += std::string(skipped.empty() ? "" : ", ") + Name(plant);
        }
        continue;
      }
      SetLastError(ERROR_SUCCESS);
      const bool written = write.run(planted, source);
      const DWORD error = GetLastError();
      EXPECT_FALSE(written) << "the write went through the " << Name(plant);
      EXPECT_TRUE(error == ERROR_TOO_MANY_LINKS || error == ERROR_CANT_ACCESS_FILE || error == ERROR_ACCESS_DENIED)
          << "error " << error;
      EXPECT_EQ(links::ReadWhole(victim), kPrecious);
      EXPECT_EQ(GetFileAttributesW((victimFolder + L"\\orvdl_setup.exe").c_str()), INVALID_FILE_ATTRIBUTES)
          << "nothing may appear behind the junction";
    }
  }
  CoUninitialize();
}

TEST(HeldFile, PlantedHardLinksAreRefusedAndTheirTargetsStayUntouched) {
  std::string skipped;
  CheckPlantedLinks({Plant::HardLink}, skipped);
}

// Wine 8 makes neither through the Windows calls (the end-to-end tests plant them from the Unix
// side, where Wine shows a link to a folder as a junction).
TEST(HeldFile, PlantedSymbolicLinksAndJunctionsAreRefused) {
  std::string skipped;
  CheckPlantedLinks({Plant::SymbolicLink, Plant::Junction}, skipped);
  if (!skipped.empty()) GTEST_SKIP() << "this system cannot make a " << skipped << " (ERROR_NOT_SUPPORTED)";
}

TEST(HeldFile, PlainNamesAreWrittenWhole) {
  links::ScratchFolder scratch(L"p");
  ASSERT_TRUE(scratch.ok());
  const std::wstring source = scratch / L"stub.exe";
  std::string big(3 * 256 * 1024 + 17, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  ASSERT_TRUE(links::WriteWhole(source, big));
  struct Case {
    const char* name;
    const char* before;  // null: no file there yet
  };
  const Case cases[] = {{"new file", nullptr}, {"longer file", "x"}, {"shorter file", "y"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring target = scratch / L"copy.exe";
    DeleteFileW(target.c_str());
    if (c.before) {
      ASSERT_TRUE(links::WriteWhole(target, c.before == std::string("x") ? big + big : c.before));
    }
    const Status copied = CopyFromPath(source, target);
    EXPECT_TRUE(copied.ok()) << copied.LogText();
    EXPECT_TRUE(links::ReadWhole(target) == big) << links::ReadWhole(target).size() << " bytes";
  }
  EXPECT_EQ(CopyFromPath(scratch / L"missing.exe", scratch / L"copy2.exe").code(),
            static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
}

TEST(HeldFile, HeldFolderCannotBeSwappedAndAJunctionIsNotHeld) {
  links::ScratchFolder scratch(L"f");
  ASSERT_TRUE(scratch.ok());
  const std::wstring folder = scratch / L"Tavlin";
  const std::wstring elsewhere = scratch / L"elsewhere";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(elsewhere.c_str(), nullptr));
  {
    const Result<UniqueHandle> held = HoldFolder(folder);
    ASSERT_TRUE(held.ok()) << held.status().LogText();
    EXPECT_FALSE(MoveFileW(folder.c_str(), (scratch / L"moved").c_str())) << "renamed while held";
    EXPECT_FALSE(RemoveDirectoryW(folder.c_str())) << "removed while held";
  }
  ASSERT_TRUE(MoveFileW(folder.c_str(), (scratch / L"moved").c_str())) << GetLastError();
  EXPECT_FALSE(HoldFolder(scratch / L"missing").ok());
  if (!links::MakeJunction(folder, elsewhere)) {
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    GTEST_SKIP() << "this system cannot make a junction (ERROR_NOT_SUPPORTED)";
  }
  const Result<UniqueHandle> junction = HoldFolder(folder);
  EXPECT_FALSE(junction.ok());
  EXPECT_EQ(junction.status().code(), static_cast<uint32_t>(ERROR_CANT_ACCESS_FILE));
}

}  // namespace
