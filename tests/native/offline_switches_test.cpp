// The command line as the platform splits it, and the offline switches read from it: which
// folder, what the installer is given (the cut of the switch and its folder), and every misuse.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/command_line_split.h"
#include "main/offline_switches.h"
#include "text/utf8.h"

namespace {
using namespace orv;

// The arguments as "text@begin-end", joined by " | ".
std::string Shown(const std::vector<CommandLineArgument>& arguments) {
  std::string shown;
  for (const CommandLineArgument& argument : arguments) {
    if (!shown.empty()) shown += " | ";
    shown += ToUtf8(argument.text) + "@" + std::to_string(argument.begin) + "-" + std::to_string(argument.end);
  }
  return shown;
}

TEST(CommandLineSplit, ArgumentsAndTheirPlacesFollowThePlatformsRules) {
  struct Case {
    std::wstring line;
    std::string arguments;
  };
  const Case cases[] = {
      {L"", ""},
      {L" \t ", ""},
      {L"a b", "a@0-1 | b@2-3"},
      {L"  a\t b  ", "a@2-3 | b@5-6"},
      {L"\"a b\" c", "a b@0-5 | c@6-7"},
      {L"a\"b c\"d", "ab cd@0-7"},
      {L"\"\" x", "@0-2 | x@3-4"},
      // Backslashes are literal unless a quote follows them.
      {L"C:\\a\\\\b\\", "C:\\a\\\\b\\@0-8"},
      // 2n+1 backslashes and a quote: n backslashes and a literal quote, the quoted part goes on.
      {L"\\\"a b", "\"a@0-3 | b@4-5"},
      {L"\\\\\\\"a", "\\\"a@0-5"},
      // 2n backslashes and a quote: n backslashes, and the quote opens or closes.
      {L"\\\\\"a b\"", "\\a b@0-7"},
      {L"\"C:\\x\\\\\" y", "C:\\x\\@0-8 | y@9-10"},
      // Two quotes inside a quoted part: one literal quote.
      {L"\"a\"\"b\" c", "a\"b@0-6 | c@7-8"},
  };
  for (const Case& c : cases) EXPECT_EQ(Shown(SplitCommandLine(c.line)), c.arguments) << ToUtf8(c.line);
}

TEST(OfflineSwitches, TheSwitchAndItsFolderAreCutAndTheRestPassedOnAsGiven) {
  struct Case {
    std::wstring line;
    OfflineMode mode;
    std::wstring folder;
    std::wstring passedOn;
    std::string misuse;
  };
  const std::string kTogether = "-layout and -source can be given only once, and not together";
  const Case cases[] = {
      {L"", OfflineMode::Online, L"", L"", ""},
      {L"/S -ns", OfflineMode::Online, L"", L"/S -ns", ""},
      {L"-layoutx D:\\l", OfflineMode::Online, L"", L"-layoutx D:\\l", ""},
      {L"-layout D:\\lay", OfflineMode::Layout, L"D:\\lay", L"", ""},
      {L"/S -Source \"D:\\my layout\" -ns", OfflineMode::Source, L"D:\\my layout", L"/S -ns", ""},
      {L"\"-LAYOUT\" \\\\srv\\share\\orv\\\\", OfflineMode::Layout, L"\\\\srv\\share\\orv", L"", ""},
      {L"a  -source  D:\\s", OfflineMode::Source, L"D:\\s", L"a", ""},
      {L"-source E:\\ /quiet", OfflineMode::Source, L"E:\\", L"/quiet", ""},
      // The platform's reading of a quoted folder ending in a backslash: the quote is literal.
      {L"/S -layout \"D:\\my layout\\\" -ns", OfflineMode::Layout, L"D:\\my layout\" -ns", L"/S", ""},
      // Everything else reaches the installer byte for byte, blanks and escapes included.
      {L"/A=\"x y\"  -source D:\\s  /B \\\"q\\\"\t", OfflineMode::Source, L"D:\\s", L"/A=\"x y\"  /B \\\"q\\\"\t", ""},
      {L"-layout", OfflineMode::Online, L"", L"-layout", "-layout needs a folder after it"},
      {L"/S -SOURCE \"\" /x", OfflineMode::Online, L"", L"/S -SOURCE \"\" /x", "-source needs a folder after it"},
      {L"-layout a -source b", OfflineMode::Online, L"", L"-layout a -source b", kTogether},
      {L"-source a -Source b", OfflineMode::Online, L"", L"-source a -Source b", kTogether},
      {L"-layout -source", OfflineMode::Online, L"", L"-layout -source", kTogether},
  };
  for (const Case& c : cases) {
    const OfflineRequest request = ReadOfflineSwitches(c.line);
    EXPECT_EQ(request.mode, c.mode) << ToUtf8(c.line);
    EXPECT_EQ(ToUtf8(request.folder), ToUtf8(c.folder)) << ToUtf8(c.line);
    EXPECT_EQ(ToUtf8(request.passedOn), ToUtf8(c.passedOn)) << ToUtf8(c.line);
    EXPECT_EQ(request.misuse, c.misuse) << ToUtf8(c.line);
  }
}

}  // namespace
