// The test builds of the stub that run under Wine: executables of the bed's architecture, GUI
// programs importing only Windows' own DLLs (the shipped program is checked in tests/product).
#include <gtest/gtest.h>

#include "pe_info.h"
#include "wine.h"

namespace bed {
namespace {

TEST(TestBuildExecutable, IsAGuiProgramOfTheBedsArchitectureImportingOnlySystemDlls) {
  std::string error;
  ASSERT_TRUE(BedReady(error)) << error;
  const std::string magic = GetBed().arch == "x86_64" ? "PE32+" : "PE32";
  for (const char* name : {"/orvsetup.exe", "/tests/orvsetup_lenient.exe"}) {
    const PeInfo info = ReadPeInfo(GetBed().winBuild + name, GetBed().arch);
    ASSERT_TRUE(info.read) << info.error;
    EXPECT_EQ(info.magic, magic) << name;
    EXPECT_TRUE(info.gui) << name;
    EXPECT_FALSE(info.imports.empty()) << name;
    for (const std::string& library : info.imports) {
      EXPECT_TRUE(AllowedStubImports().count(library)) << name << " imports " << library;
    }
  }
}

}  // namespace
}  // namespace bed
