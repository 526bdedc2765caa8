#include "text/decimal_text.h"

#include <cstddef>
#include <limits>

namespace orv {

std::wstring DecimalText(uint32_t value) {
  constexpr std::size_t kMaxDigits = std::numeric_limits<uint32_t>::digits10 + 1;
  wchar_t digits[kMaxDigits];
  std::size_t first = kMaxDigits;
  do {
    digits[--first] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0);
  return std::wstring(digits + first, kMaxDigits - first);
}

}  // namespace orv
