#include "text/wide_text.h"

#include <cstddef>
#include <cwchar>
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

bool AppendWide(wchar_t* buffer, size_t capacity, const wchar_t* suffix) {
  size_t length = 0;
  while (length < capacity && buffer[length] != L'\0') ++length;
  if (length == capacity) return false;
  const size_t extra = std::wcslen(suffix);
  if (extra >= capacity - length) return false;
  std::wmemcpy(buffer + length, suffix, extra + 1);
  return true;
}

}  // namespace orv
