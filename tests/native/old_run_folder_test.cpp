// Which entries of the setup folder a run removes as folders that earlier runs left.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "held_files/old_run_folder.h"
#include "text/utf8.h"

namespace {

using namespace orv;

constexpr uint32_t kFolder = 0x10;
constexpr uint32_t kLink = 0x400;
constexpr uint64_t kNow = 134000000000000000ull;  // a file time in 2025
constexpr uint64_t kSecond = 10000000;

TEST(OldRunFolder, OnlyRunFoldersUnwrittenForADayAreOld) {
  struct Case {
    const wchar_t* name;
    uint32_t attributes;
    uint64_t lastWrite;
    bool old;
  };
  const Case cases[] = {
      {L"orv0123abcd", kFolder, kNow - kOldRunFolderAge, true},
      {L"orv0123ABCD", kFolder, kNow - 30 * kOldRunFolderAge, true},
      {L"orv0123abcd", kFolder | 0x20, 0, true},
      // Young, or written in what the clock calls the future.
      {L"orv0123abcd", kFolder, kNow - kOldRunFolderAge + kSecond, false},
      {L"orv0123abcd", kFolder, kNow, false},
      {L"orv0123abcd", kFolder, kNow + kOldRunFolderAge, false},
      // Not a plain folder.
      {L"orv0123abcd", 0x20, 0, false},
      {L"orv0123abcd", kFolder | kLink, 0, false},
      // Not a run folder's name.
      {L"orvdl_setup.exe", kFolder, 0, false},
      {L"orv0123abc", kFolder, 0, false},
      {L"orv0123abcde", kFolder, 0, false},
      {L"orv0123abcg", kFolder, 0, false},
      {L"ORV0123abcd", kFolder, 0, false},
      {L"xorv0123abc", kFolder, 0, false},
      {L"orv0123abc ", kFolder, 0, false},
      {L"tmp", kFolder, 0, false},
      {L"", kFolder, 0, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsOldRunFolder(c.name, c.attributes, c.lastWrite, kNow), c.old)
        << ToUtf8(c.name) << " attributes " << c.attributes << " written at " << c.lastWrite << ", now " << kNow;
  }
}

}  // namespace
