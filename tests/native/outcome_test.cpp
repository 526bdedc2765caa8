#include <gtest/gtest.h>

#include <string>

#include "contract/installer_contract.h"
#include "contract/run_addresses.h"
#include "main/resume.h"
#include "text/utf8.h"

namespace {
using namespace orv;
}  // namespace

TEST(Outcome, ExitCodesSortIntoThreeClasses) {
  struct Case {
    uint32_t exitCode;
    InstallerOutcome outcome;
  };
  const Case cases[] = {
      {0, InstallerOutcome::Success},         {2, InstallerOutcome::Cancelled},
      {5, InstallerOutcome::Cancelled},       {1, InstallerOutcome::Failed},
      {3, InstallerOutcome::Failed},          {4, InstallerOutcome::Failed},
      {6, InstallerOutcome::Failed},          {259, InstallerOutcome::Failed},
      {3221225477u, InstallerOutcome::Failed}, {0xFFFFFFFFu, InstallerOutcome::Failed},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ClassifyExitCode(c.exitCode), c.outcome) << c.exitCode;
  }
}

TEST(Outcome, InstallationIdIsLowerCaseUuidText) {
  struct Case {
    const wchar_t* text;
    const wchar_t* id;  // null: refused
  };
  const Case cases[] = {
      {L"6ba7b810-9dad-11d1-80b4-00c04fd430c8", L"6ba7b810-9dad-11d1-80b4-00c04fd430c8"},
      {L"6BA7B810-9DAD-11D1-80B4-00C04FD430C8", L"6ba7b810-9dad-11d1-80b4-00c04fd430c8"},
      {L"{6ba7b810-9dad-11d1-80b4-00c04fd430c8}", nullptr},
      {L"6ba7b8109dad11d180b400c04fd430c8", nullptr},
      {L"6ba7b810-9dad-11d1-80b4-00c04fd430c", nullptr},
      {L"6ba7b810-9dad-11d1-80b4-00c04fd430cg", nullptr},
      {L"6ba7b810-9dad-11d1+80b4-00c04fd430c8", nullptr},
      {L"", nullptr},
  };
  for (const Case& c : cases) {
    const std::optional<std::wstring> id = InstallationIdFromUuidText(c.text);
    ASSERT_EQ(id.has_value(), c.id != nullptr) << ToUtf8(c.text);
    if (id) {
      EXPECT_EQ(*id, c.id) << ToUtf8(c.text);
    }
  }
}

TEST(Outcome, InstallerParametersQuoteOnlyTheVersion) {
  const wchar_t* id = L"6ba7b810-9dad-11d1-80b4-00c04fd430c8";
  EXPECT_EQ(BuildInstallerParameters(id, L"4.1.674", L"/S -ns \"x y\""),
            L"-id 6ba7b810-9dad-11d1-80b4-00c04fd430c8 -v \"4.1.674\" /S -ns \"x y\"");
  EXPECT_EQ(BuildInstallerParameters(id, L"", L""), L"-id 6ba7b810-9dad-11d1-80b4-00c04fd430c8 -v \"\" ");
  // Nothing is cut: a command line far beyond 512 characters comes through whole.
  const std::wstring longArguments(2000, L'a');
  const std::wstring parameters = BuildInstallerParameters(id, std::wstring(64, L'9'), longArguments);
  EXPECT_EQ(parameters.size(), 4u + 36 + 5 + 64 + 2 + 2000);
  EXPECT_EQ(parameters.substr(parameters.size() - 2000), longArguments);
}

TEST(Outcome, ProcessCommandLineLimit) {
  struct Case {
    std::size_t pathLength;
    std::size_t parametersLength;
    bool fits;
  };
  const Case cases[] = {
      {60, 511, true},
      {60, 32766 - 63, true},
      {60, 32766 - 62, false},
      {0, 32763, true},
      {0, 32764, false},
      {static_cast<std::size_t>(-1), 10, false},
      {10, static_cast<std::size_t>(-1) - 5, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FitsProcessCommandLine(c.pathLength, c.parametersLength), c.fits)
        << c.pathLength << " + " << c.parametersLength;
  }
}

TEST(Outcome, TrackingUrlCarriesIdAndUnsignedExitCode) {
  const wchar_t* id = L"6ba7b810-9dad-11d1-80b4-00c04fd430c8";
  EXPECT_EQ(BuildTrackingUrl(L"stats.example.com", id, 1),
            L"https://stats.example.com/piwik.php?rec=1&url=nourl&apiv=1&idsite=2"
            L"&_id=6ba7b810-9dad-11d1-80b4-00c04fd430c8&e_c=Undetermined&e_a=Failed&e_n=1");
  const std::wstring large = BuildTrackingUrl(L"localhost:8443", id, 3221225477u);
  EXPECT_EQ(large.substr(0, 23), L"https://localhost:8443/");
  EXPECT_EQ(large.substr(large.size() - 15), L"&e_n=3221225477");
  // The longest host the build accepts still gives the whole address.
  const std::wstring host(120, L'h');
  const std::wstring longest = BuildTrackingUrl(host, id, 0xFFFFFFFFu);
  EXPECT_EQ(longest.size(), 254u);  // the most the original 256-character buffer could hold
  EXPECT_EQ(longest.substr(longest.size() - 15), L"&e_n=4294967295");
}

TEST(Outcome, CancellationPageAppendsTheVersionPercentEncoded) {
  EXPECT_EQ(BuildCancellationPageAddress(L"http://www.example.com/installation-cancelled/?v=", L"4.1.674"),
            L"http://www.example.com/installation-cancelled/?v=4.1.674");
  EXPECT_EQ(BuildCancellationPageAddress(L"http://www.example.com/installation-cancelled/?v=", L"4.1 beta&x"),
            L"http://www.example.com/installation-cancelled/?v=4.1%20beta%26x");
  EXPECT_EQ(BuildCancellationPageAddress(L"http://h/installation-cancelled/?v=", L""),
            L"http://h/installation-cancelled/?v=");
}

TEST(Outcome, ResumeCopyPathInItsFolder) {
  EXPECT_EQ(orv::ResumeCopyPath(L"C:\\Users\\u\\AppData\\Local\\Temp\\"),
            L"C:\\Users\\u\\AppData\\Local\\Temp\\orvdl_setup.exe");
  EXPECT_EQ(orv::ResumeCopyPath(L"D:\\tmp"), L"D:\\tmp\\orvdl_setup.exe");
  EXPECT_EQ(orv::ResumeCopyPath(L""), L"");
  // A folder beyond MAX_PATH is not cut; the copy then fails in its own logged way.
  const std::wstring deep = L"C:\\" + std::wstring(300, L'd') + L"\\";
  EXPECT_EQ(orv::ResumeCopyPath(deep), deep + L"orvdl_setup.exe");
}
