#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "text/utf8.h"
#include "text/wide_text.h"

namespace {
using namespace orv;
}  // namespace

// std::to_wstring is the reference: DecimalText replaces it in the stub.
TEST(DecimalText, MatchesToWstringAroundEveryDigitCountChange) {
  std::vector<uint32_t> values{0u, 32767u, 2147483647u, 2147483648u, 3221225477u, 4294967294u, 4294967295u};
  for (uint64_t power = 1; power <= 1000000000u; power *= 10) {
    for (uint64_t value : {power - 1, power, power + 1, power * 9}) {
      if (value <= UINT32_MAX) values.push_back(static_cast<uint32_t>(value));
    }
  }
  for (uint32_t value : values) {
    EXPECT_EQ(DecimalText(value), std::to_wstring(value)) << value;
  }
  EXPECT_EQ(ToUtf8(DecimalText(4294967295u)), "4294967295");
  EXPECT_EQ(ToUtf8(DecimalText(0)), "0");
}
