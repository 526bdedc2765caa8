// The log file set-up under Wine: its place, the line format, and texts outside the ANSI code page.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "link_fixtures.h"
#include "main/logging.h"

namespace {
using namespace orv;

std::wstring AppDataFolder() {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path))) return L"";
  return path;
}

std::string ReadAll(const std::wstring& path) {
  std::string content;
  if (FILE* file = _wfopen(path.c_str(), L"rb")) {
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
    std::fclose(file);
  }
  return content;
}

// Points the user's application-data folder somewhere else for the life of the object.
class AppDataRedirect {
 public:
  explicit AppDataRedirect(const std::wstring& folder) {
    RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key_);
    DWORD size = sizeof(old_);
    DWORD type = 0;
    hadOld_ = RegQueryValueExW(key_, L"AppData", nullptr, &type, reinterpret_cast<BYTE*>(old_), &size) ==
              ERROR_SUCCESS;
    oldType_ = type;
    oldSize_ = size;
    set_ = RegSetValueExW(key_, L"AppData", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                          static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }
  ~AppDataRedirect() {
    if (hadOld_) RegSetValueExW(key_, L"AppData", 0, oldType_, reinterpret_cast<const BYTE*>(old_), oldSize_);
    RegCloseKey(key_);
  }
  bool ok() const { return key_ && set_; }

 private:
  static constexpr wchar_t kKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  HKEY key_ = nullptr;
  wchar_t old_[MAX_PATH * 2] = {};
  DWORD oldType_ = REG_SZ;
  DWORD oldSize_ = 0;
  bool hadOld_ = false;
  bool set_ = false;
};

const char kUmlautAndKanji[] = "J\xc3\xbcrgen \xe6\x97\xa5\xe6\x9c\xac";

TEST(Logging, WritesLinesAndNonAnsiTextAsUtf8) {
  const std::wstring log = AppDataFolder() + L"\\Tavlin\\ORVD.log";
  InitLogging();
  LOG(INFO) << "logging test " << LogText(L"J\u00fcrgen \u65e5\u672c") << ' ' << QuotedPath(L"C:\\x y") << ' ' << 37u;
  const std::string content = ReadAll(log);
  const std::string expected = std::string(" INFO logging test ") + kUmlautAndKanji + " \"C:\\x y\" 37\r\n";
  EXPECT_NE(content.find(expected), std::string::npos) << content;
}

TEST(Logging, FolderOutsideTheAnsiCodePageStillGetsTheLog) {
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring folder = std::wstring(temp) + L"\u65e5\u672c-appdata";
  CreateDirectoryW(folder.c_str(), nullptr);
  {
    AppDataRedirect redirect(folder);
    ASSERT_TRUE(redirect.ok());
    ASSERT_EQ(AppDataFolder(), folder) << "the platform does not read the redirected folder";
    InitLogging();
    LOG(INFO) << "redirected line";
  }
  const std::string content = ReadAll(folder + L"\\Tavlin\\ORVD.log");
  EXPECT_NE(content.find(" INFO redirected line\r\n"), std::string::npos) << "log content: " << content;
  // Back to the usual place for whatever runs next in this process, and nothing left behind.
  InitLogging();
  DeleteFileW((folder + L"\\Tavlin\\ORVD.log").c_str());
  RemoveDirectoryW((folder + L"\\Tavlin").c_str());
  RemoveDirectoryW(folder.c_str());
}

TEST(Logging, PlantedLinksDoNotRedirectTheLog) {
  const std::string precious = "precious bytes that must stay as they are";
  struct Case {
    const char* name;
    bool junction;  // Tavlin is a junction to the victim's folder; else ORVD.log is a hard link to it
  };
  for (const Case c : {Case{"junction for the Tavlin folder", true}, Case{"hard link for ORVD.log", false}}) {
    SCOPED_TRACE(c.name);
    links::ScratchFolder scratch(L"log");
    ASSERT_TRUE(scratch.ok());
    const std::wstring victimFolder = scratch / L"protected";
    ASSERT_TRUE(CreateDirectoryW(victimFolder.c_str(), nullptr));
    const std::wstring victim = victimFolder + (c.junction ? L"\\ORVD.log" : L"\\victim.dll");
    ASSERT_TRUE(links::WriteWhole(victim, precious));
    if (c.junction) {
      if (!links::MakeJunction(scratch / L"Tavlin", victimFolder)) {
        // Wine 8: the end-to-end tests plant this junction from the Unix side.
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
        continue;
      }
    } else {
      ASSERT_TRUE(CreateDirectoryW((scratch / L"Tavlin").c_str(), nullptr));
      ASSERT_TRUE(CreateHardLinkW((scratch / L"Tavlin\\ORVD.log").c_str(), victim.c_str(), nullptr)) << GetLastError();
    }
    {
      AppDataRedirect redirect(scratch.path());
      ASSERT_TRUE(redirect.ok());
      InitLogging();
      LOG(INFO) << "line that must not reach the victim";
    }
    EXPECT_EQ(links::ReadWhole(victim), precious);
    InitLogging();
  }
}

}  // namespace
