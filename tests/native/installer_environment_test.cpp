// The elevated installer's environment: the machine's variables, the session's names that
// describe the user, the user's folders from the platform's records, the run's temporary folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launch/installer_environment.h"
#include "text/utf8.h"

namespace {

using namespace orv;
using Entries = std::vector<std::wstring>;

std::string Show(const Entries& entries) {
  std::string text;
  for (const std::wstring& entry : entries) text += "[" + ToUtf8(entry) + "]";
  return text;
}

const std::wstring kTemp = L"C:\\Program Files (x86)\\Orvandel Setup\\orv0123abcd\\tmp";
const UserFolders kFolders{L"C:\\Users\\me", L"C:\\Users\\me\\AppData\\Roaming", L"C:\\Users\\me\\AppData\\Local"};
const std::wstring kTempEntry = L"TEMP=" + kTemp, kTmpEntry = L"TMP=" + kTemp;
const std::wstring kAppData = L"APPDATA=C:\\Users\\me\\AppData\\Roaming", kHomeDrive = L"HOMEDRIVE=C:",
                   kHomePath = L"HOMEPATH=\\Users\\me", kLocal = L"LOCALAPPDATA=C:\\Users\\me\\AppData\\Local",
                   kProfile = L"USERPROFILE=C:\\Users\\me";

TEST(InstallerEnvironment, IsTheMachinesWithTheUserNamedByTheSessionAndFoldersByThePlatform) {
  struct Case {
    const char* name;
    Entries machine;
    Entries session;
    UserFolders folders;
    Entries carried;
    Entries expected;
  };
  const Entries machine{L"ComSpec=C:\\Windows\\system32\\cmd.exe", L"Path=C:\\Windows\\system32",
                        L"PATHEXT=.COM;.EXE", L"ProgramFiles=C:\\Program Files",
                        L"PSModulePath=C:\\Windows\\system32\\WindowsPowerShell\\v1.0\\Modules",
                        L"SystemRoot=C:\\Windows", L"windir=C:\\Windows"};
  const Case cases[] = {
      {"what a user program sets in HKCU\\Environment stays out",
       machine,
       {L"COMSPEC=C:\\evil\\cmd.exe", L"COMPlus_EnableEventPipe=1", L"COR_ENABLE_PROFILING=1",
        L"COR_PROFILER_PATH=C:\\evil\\p.dll", L"CommonProgramFiles=C:\\evil", L"DOTNET_STARTUP_HOOKS=C:\\evil\\h.dll",
        L"PATH=C:\\evil", L"PATHEXT=.EVIL", L"ProgramFiles=C:\\evil", L"PSModulePath=C:\\evil",
        L"SystemRoot=C:\\evil", L"USERNAME=me", L"windir=C:\\evil"},
       kFolders,
       {},
       {kAppData, L"ComSpec=C:\\Windows\\system32\\cmd.exe", kHomeDrive, kHomePath, kLocal,
        L"Path=C:\\Windows\\system32", L"PATHEXT=.COM;.EXE", L"ProgramFiles=C:\\Program Files",
        L"PSModulePath=C:\\Windows\\system32\\WindowsPowerShell\\v1.0\\Modules", L"SystemRoot=C:\\Windows", kTempEntry,
        kTmpEntry, L"USERNAME=me", kProfile, L"windir=C:\\Windows"}},
      {"the user's names come from the session only, the machine's dropped",
       {L"USERNAME=SYSTEM", L"USERDOMAIN=NT AUTHORITY", L"LOGONSERVER=\\\\MACHINE"},
       {L"CLIENTNAME=desk", L"LOGONSERVER=\\\\DC1", L"SESSIONNAME=Console", L"USERDNSDOMAIN=CORP.EXAMPLE",
        L"USERDOMAIN=CORP", L"USERDOMAIN_ROAMINGPROFILE=CORP", L"username=me", L"USERPROFILE_X=1"},
       kFolders,
       {},
       {kAppData, L"CLIENTNAME=desk", kHomeDrive, kHomePath, kLocal, L"LOGONSERVER=\\\\DC1", L"SESSIONNAME=Console",
        kTempEntry, kTmpEntry, L"USERDNSDOMAIN=CORP.EXAMPLE", L"USERDOMAIN=CORP", L"USERDOMAIN_ROAMINGPROFILE=CORP",
        L"username=me", kProfile}},
      {"the user's folders come from the platform, never from either environment",
       {L"APPDATA=C:\\Windows\\system32\\config\\systemprofile\\AppData\\Roaming", L"TEMP=C:\\Windows\\TEMP",
        L"TMP=C:\\Windows\\TEMP", L"USERPROFILE=C:\\Users\\Default"},
       {L"APPDATA=C:\\evil", L"HOMEDRIVE=Z:", L"HOMEPATH=\\evil", L"LOCALAPPDATA=C:\\evil", L"TEMP=C:\\evil",
        L"USERPROFILE=C:\\evil"},
       kFolders,
       {},
       {kAppData, kHomeDrive, kHomePath, kLocal, kTempEntry, kTmpEntry, kProfile}},
      {"a profile on a drive's root gives its home; empty folders are left out",
       {},
       {},
       {L"d:\\", L"", L""},
       {},
       {L"HOMEDRIVE=d:", L"HOMEPATH=\\", kTempEntry, kTmpEntry, L"USERPROFILE=d:\\"}},
      {"a folder the platform did not give is left out; a profile without a drive gives no home",
       {L"USERPROFILE=C:\\Users\\Default", L"APPDATA=C:\\x", L"HOMEDRIVE=C:"},
       {},
       {L"\\\\server\\profiles\\me", L"", L""},
       {},
       {kTempEntry, kTmpEntry, L"USERPROFILE=\\\\server\\profiles\\me"}},
      {"the machine's entries are kept once each, in the platform's name order",
       {L"windir=C:\\Windows", L"_X=1", L"=C:=C:\\", L"NOVALUE", L"Z=1", L"WINDIR=C:\\other", L"A=1", L"=x"},
       {},
       {},
       {},
       {L"A=1", kTempEntry, kTmpEntry, L"windir=C:\\Windows", L"Z=1", L"_X=1"}},
      {"carried names come from the session, as carried",
       {L"ORV_DEMO_RECORD=C:\\machine", L"ORV_OTHER=machine"},
       {L"orv_demo_record=C:\\r.txt", L"ORV_DEMO_RECORD=C:\\second", L"ORV_DEMO_PLACE=C:\\p.txt"},
       {},
       {L"ORV_DEMO_RECORD", L"ORV_SWAP_MARK"},
       {L"orv_demo_record=C:\\r.txt", L"ORV_OTHER=machine", kTempEntry, kTmpEntry}},
  };
  for (const Case& c : cases) {
    EnvironmentParts parts{c.machine, c.session, c.folders, kTemp, c.carried};
    const Entries built = BuildInstallerEnvironment(parts);
    EXPECT_EQ(built, c.expected) << c.name << "\n  built:    " << Show(built) << "\n  expected: " << Show(c.expected);
  }
}

}  // namespace
