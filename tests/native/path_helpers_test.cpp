#include <gtest/gtest.h>

#include <cwchar>

#include "text/utf8.h"
#include "text/wide_text.h"
#include "util/file_paths.h"

namespace {
using namespace orv;
}  // namespace

TEST(AppendWide, AppendsOnlyWhatFitsWithItsTerminator) {
  struct Case {
    const wchar_t* start;
    const wchar_t* suffix;
    bool fits;
  };
  // Capacity 8: at most seven characters and the terminator.
  const Case cases[] = {
      {L"", L"", true},          {L"abc", L".exe", true},    {L"abc", L".exe1", false},
      {L"", L"1234567", true},   {L"", L"12345678", false},  {L"1234567", L"", true},
      {L"1234567", L"x", false},
  };
  for (const Case& c : cases) {
    wchar_t buffer[8 + 1] = {};
    buffer[8] = L'#';  // past the capacity: never written
    std::wcscpy(buffer, c.start);
    const bool fits = AppendWide(buffer, 8, c.suffix);
    EXPECT_EQ(fits, c.fits) << ToUtf8(c.start) << " + " << ToUtf8(c.suffix);
    EXPECT_EQ(std::wstring(buffer), fits ? std::wstring(c.start) + c.suffix : std::wstring(c.start))
        << ToUtf8(c.start) << " + " << ToUtf8(c.suffix);
    EXPECT_EQ(buffer[8], L'#');
  }
}

TEST(AppendWide, RefusesABufferWithoutTerminator) {
  wchar_t buffer[4] = {L'a', L'b', L'c', L'd'};
  EXPECT_FALSE(AppendWide(buffer, 4, L""));
  EXPECT_EQ(buffer[3], L'd');
}

TEST(PathExists, OnlyTheEightMissingCodesMeanMissing) {
  const unsigned long missing[] = {2, 3, 15, 21, 53, 87, 123, 161};
  for (unsigned long code : missing) EXPECT_TRUE(IsMissingPathError(code)) << code;
  // access denied, sharing violation, lock violation, name too long, network name deleted, ...
  const unsigned long present[] = {0, 1, 5, 32, 33, 64, 67, 206, 1920};
  for (unsigned long code : present) EXPECT_FALSE(IsMissingPathError(code)) << code;
}
