// The resume shortcut as an independent reader (liblnk's lnkinfo) sees the file.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>

#include "wine.h"

namespace bed {
namespace {

TEST(ShortcutFile, CarriesOnlyTargetAndDescription) {
  std::string error;
  ASSERT_TRUE(BedReady(error)) << error;
  const std::string link = GetBed().out + "/resume-shortcut-test.lnk";
  RemoveFile(link);
  const std::string target = ResumeCopyWinPath();
  const ProcessResult made = RunWine("make_shortcut.exe", {target, WinPath(link)});
  ASSERT_EQ(made.status, 0) << made.out << made.err;
  const ProcessResult info = RunProcess({"lnkinfo", link}, 60000);
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("\tLocal path\t\t\t: " + target + "\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("\tDescription\t\t\t: Continue installation of Orvandel\n"), std::string::npos)
      << info.out;
  // The header's list of optional parts: nothing beyond the target and the description.
  std::set<std::string> parts;
  const std::regex contains(R"(\tContains (.+)\n)");
  for (std::sregex_iterator it(info.out.begin(), info.out.end(), contains), end; it != end; ++it) {
    parts.insert((*it)[1]);
  }
  EXPECT_EQ(parts, (std::set<std::string>{"a link target identifier", "a description string"})) << info.out;
  EXPECT_NE(info.out.find("\tIcon index\t\t\t: 0\n"), std::string::npos);
  EXPECT_NE(info.out.find("\tHot Key value\t\t\t: 0\n"), std::string::npos);
}

}  // namespace
}  // namespace bed
