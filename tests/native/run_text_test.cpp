#include <gtest/gtest.h>

#include <string>

#include "base/status.h"
#include "contract/run_addresses.h"
#include "contract/run_error.h"
#include "main/command_line.h"
#include "text/utf8.h"

namespace {
using namespace orv;
}  // namespace

TEST(NoShortcutSwitch, FindsTheArgumentAnywhereInAnyCase) {
  struct Case {
    const wchar_t* commandLine;
    bool expected;
  };
  const Case cases[] = {
      {L"", false},           {L"-ns", true},          {L"-NS", true},       {L"/S -Ns", true},
      {L"-ns /S", true},      {L"a \"-ns\" b", true},  {L"\t-nS\t", true},   {L"-nsx", false},
      {L"x-ns", false},       {L"\"a -ns\"", false},   {L"--ns", false},     {L"-n s", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HasNoShortcutSwitch(c.commandLine), c.expected) << ToUtf8(c.commandLine);
  }
}

TEST(SilentSwitch, FindsTheArgumentAnywhereInAnyCaseBesideTheOthers) {
  struct Case {
    const wchar_t* commandLine;
    bool silent;
    bool noShortcut;
  };
  const Case cases[] = {
      {L"-silent", true, false},        {L"-SILENT", true, false},      {L"/S -Silent -ns", true, true},
      {L"-ns \"-silent\"", true, true}, {L"-silentx", false, false},    {L"-silen", false, false},
      {L"x-silent", false, false},      {L"--silent", false, false},    {L"\"a -silent\"", false, false},
      {L"-s", false, false},            {L"-ns", false, true},          {L"-silent\t-NS", true, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(orv::HasSilentSwitch(c.commandLine), c.silent) << ToUtf8(c.commandLine);
    EXPECT_EQ(HasNoShortcutSwitch(c.commandLine), c.noShortcut) << ToUtf8(c.commandLine);
  }
}

TEST(CacheBuster, AppendsWithQuestionMarkOrAmpersand) {
  EXPECT_EQ(AppendCacheBuster(L"http://h/i.exe", 0), L"http://h/i.exe?rn=0");
  EXPECT_EQ(AppendCacheBuster(L"http://h/i.exe?a=1", 32767), L"http://h/i.exe?a=1&rn=32767");
  EXPECT_EQ(AppendCacheBuster(L"http://h/?", 5), L"http://h/?&rn=5");
}

TEST(ErrorBox, TextsNameTheirCodes) {
  EXPECT_STREQ(ErrorBoxText(RunError::ConfigFetch), L"Cannot obtain configuration. Error code 1");
  EXPECT_STREQ(ErrorBoxText(RunError::ConfigParse), L"Cannot obtain configuration. Error code 3");
  EXPECT_STREQ(ErrorBoxText(RunError::Download), L"Cannot obtain installer. Error code 4");
  EXPECT_STREQ(ErrorBoxText(RunError::ChecksumOpen), L"Cannot obtain installer. Error code 5");
  EXPECT_STREQ(ErrorBoxText(RunError::ChecksumMismatch), L"The installation file is corrupted. Error code 6");
  EXPECT_STREQ(ErrorBoxText(RunError::Launch), L"Cannot run installer. Error code 7");
}

TEST(Utf8, RoundTripsAndReplacesBrokenInput) {
  const std::wstring text = L"C:\\Users\\J\u00fcrgen\\\u65e5\u672c";
  EXPECT_EQ(ToUtf8(text), "C:\\Users\\J\xc3\xbcrgen\\\xe6\x97\xa5\xe6\x9c\xac");
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  EXPECT_EQ(FromUtf8("a\xff" "b"), L"a\ufffdb");
  EXPECT_EQ(FromUtf8("\xe6\x97"), L"\ufffd\ufffd");  // cut-off sequence
  EXPECT_EQ(FromUtf8("\xc0\x80"), L"\ufffd\ufffd");  // overlong form
  const std::wstring lone(1, static_cast<wchar_t>(0xD800));
  EXPECT_EQ(ToUtf8(lone), "\xef\xbf\xbd");
}
