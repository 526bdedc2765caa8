#include "text/wide_buffer.h"

#include <cwchar>

namespace orv {

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
