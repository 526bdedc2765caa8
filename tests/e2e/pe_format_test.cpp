// The product executable's format: a 32-bit GUI program that imports only Windows' own DLLs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <regex>
#include <set>
#include <sstream>

#include "wine.h"

namespace bed {
namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

TEST(ProductExecutable, IsA32BitGuiProgramImportingOnlySystemDlls) {
  std::string error;
  ASSERT_TRUE(BedReady(error)) << error;
  for (const char* name : {"/orvsetup.exe", "/tests/orvsetup_lenient.exe"}) {
    const std::string exe = GetBed().winBuild + name;
    const ProcessResult dump = RunProcess({"i686-w64-mingw32-objdump", "-p", exe}, 60000);
    ASSERT_EQ(dump.status, 0) << dump.err;
    EXPECT_NE(dump.out.find("Magic\t\t\t010b\t(PE32)"), std::string::npos) << name;
    EXPECT_NE(dump.out.find("(Windows GUI)"), std::string::npos) << name;
    const std::set<std::string> allowed{"KERNEL32.DLL", "MSVCRT.DLL", "USER32.DLL", "GDI32.DLL", "SHELL32.DLL",
                                        "OLE32.DLL",    "OLEAUT32.DLL", "WINHTTP.DLL", "URLMON.DLL", "RPCRT4.DLL",
                                        "ADVAPI32.DLL", "CRYPT32.DLL", "SHLWAPI.DLL"};
    const std::regex dll(R"(DLL Name: (\S+))");
    std::set<std::string> imported;
    for (std::sregex_iterator it(dump.out.begin(), dump.out.end(), dll), end; it != end; ++it) {
      imported.insert(Upper((*it)[1]));
    }
    EXPECT_FALSE(imported.empty());
    for (const std::string& library : imported) {
      EXPECT_TRUE(allowed.count(library)) << name << " imports " << library;
    }
    // The common controls come through the manifest only.
    EXPECT_EQ(imported.count("COMCTL32.DLL"), 0u) << name;
    // Static runtime: no MinGW runtime DLLs.
    EXPECT_EQ(dump.out.find("libstdc++"), std::string::npos) << name;
    EXPECT_EQ(dump.out.find("libwinpthread"), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace bed
