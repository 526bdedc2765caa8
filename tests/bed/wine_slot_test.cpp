// The Wine slots' plumbing: ctest's allocation read back to a slot id, slot files parsed, and the
// slot entered alike by the bed (C++) and by tests/bed/in-slot.sh.
#include "wine_slot.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "wine.h"

namespace bed {
namespace {

TEST(WineSlot, SlotIdFromCtestsAllocation) {
  const struct {
    const char* count;
    const char* wine;
    const char* id;
    bool error;
  } cases[] = {
      {nullptr, nullptr, "", false},
      {"", "id:2,slots:1", "", false},  // no groups: not a slotted run
      {"1", nullptr, "", false},        // groups, but none of them wine
      {"1", "id:2,slots:1", "2", false},
      {"1", "slots:1,id:13", "13", false},
      {"1", "id:2,slots:1;id:4,slots:1", "2", false},
      {"1", "slots:1", "", true},
      {"1", "id:,slots:1", "", true},
      {"1", ";id:3,slots:1", "", true},
  };
  for (const auto& c : cases) {
    std::string error;
    const std::string label = std::string(c.count ? c.count : "(unset)") + " / " + (c.wine ? c.wine : "(unset)");
    EXPECT_EQ(SlotIdOf(c.count, c.wine, error), c.id) << label;
    EXPECT_EQ(!error.empty(), c.error) << label << ": " << error;
  }
}

TEST(WineSlot, SlotFilesAreKeyValueLinesWithAPrefix) {
  const struct {
    const char* text;
    bool ok;
    const char* prefix;
    const char* display;
  } cases[] = {
      {"WINEPREFIX=/b/prefix\nDISPLAY=:7\n", true, "/b/prefix", ":7"},
      {"WINEPREFIX=/b c/pre=fix\r\nDISPLAY=:7\r\n", true, "/b c/pre=fix", ":7"},
      {"\nWINEPREFIX=/p\n\nDISPLAY=\n", true, "/p", ""},
      {"WINEPREFIX=/p", true, "/p", nullptr},  // no final newline
      {"DISPLAY=:7\n", false, nullptr, nullptr},
      {"WINEPREFIX=\n", false, nullptr, nullptr},
      {"=/p\nWINEPREFIX=/p\n", false, nullptr, nullptr},
      {"WINEPREFIX=/p\njunk\n", false, nullptr, nullptr},
  };
  for (const auto& c : cases) {
    std::map<std::string, std::string> variables;
    std::string error;
    ASSERT_EQ(ParseSlotFile(c.text, variables, error), c.ok) << c.text << ": " << error;
    if (!c.ok) {
      EXPECT_FALSE(error.empty()) << c.text;
      continue;
    }
    EXPECT_EQ(variables["WINEPREFIX"], c.prefix) << c.text;
    if (c.display) {
      EXPECT_EQ(variables["DISPLAY"], c.display) << c.text;
    } else {
      EXPECT_EQ(variables.count("DISPLAY"), 0u) << c.text;
    }
  }
}

// A slot folder with slot 5 in a temporary folder; removed at the end.
class SlotFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() / ("orv_slots_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder_);
    ASSERT_TRUE(WriteFile((folder_ / "5.env").string(),
                          "WINEPREFIX=/slots/5 b/prefix\nHOME=/slots/5 b/home\nDISPLAY=:55\n"
                          "ORV_TESTBED_OUT=/slots/5 b/o=ut\n"));
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::filesystem::path folder_;
};

TEST_F(SlotFolder, TheShellWrapperEntersTheSlotAsTheBedDoes) {
  const std::string wrapper = std::string(ORV_TESTS_SOURCE_DIR) + "/bed/in-slot.sh";
  const std::map<std::string, std::string> given{{"CTEST_RESOURCE_GROUP_COUNT", "1"},
                                                 {"CTEST_RESOURCE_GROUP_0_WINE", "id:5,slots:1"},
                                                 {"ORV_WINE_SLOT_ENVS", folder_.string()},
                                                 {"WINEPREFIX", "/elsewhere"}};
  const ProcessResult shell = RunProcess({"bash", wrapper, "env"}, 30000, given);
  ASSERT_EQ(shell.status, 0) << shell.err;
  for (const char* line : {"\nWINEPREFIX=/slots/5 b/prefix\n", "\nHOME=/slots/5 b/home\n", "\nDISPLAY=:55\n",
                           "\nORV_TESTBED_OUT=/slots/5 b/o=ut\n"}) {
    EXPECT_NE(("\n" + shell.out).find(line), std::string::npos) << line << " in\n" << shell.out;
  }

  for (const auto& [key, value] : given) setenv(key.c_str(), value.c_str(), 1);
  std::string error;
  EXPECT_EQ(EnterGivenSlot(error), "5") << error;
  EXPECT_STREQ(std::getenv("WINEPREFIX"), "/slots/5 b/prefix");
  EXPECT_STREQ(std::getenv("ORV_TESTBED_OUT"), "/slots/5 b/o=ut");

  // A slot without its file is an error for both, never a run in the caller's prefix.
  setenv("CTEST_RESOURCE_GROUP_0_WINE", "id:6,slots:1", 1);
  EXPECT_EQ(EnterGivenSlot(error), "");
  EXPECT_NE(error.find("6.env"), std::string::npos) << error;
  EXPECT_NE(RunProcess({"bash", wrapper, "true"}, 30000, {{"CTEST_RESOURCE_GROUP_0_WINE", "id:6,slots:1"}}).status, 0);
  for (const auto& [key, value] : given) unsetenv(key.c_str());
}

}  // namespace
}  // namespace bed
