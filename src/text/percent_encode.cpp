#include "text/percent_encode.h"

#include "text/utf8.h"

namespace orv {

namespace {

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

}  // namespace

std::wstring PercentEncode(std::wstring_view text) {
  constexpr wchar_t kHex[] = L"0123456789ABCDEF";
  const std::string bytes = ToUtf8(text);
  std::wstring out;
  out.reserve(bytes.size());
  for (const char raw : bytes) {
    const unsigned char c = static_cast<unsigned char>(raw);
    if (IsUnreserved(c)) {
      out += static_cast<wchar_t>(c);
    } else {
      out += L'%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  return out;
}

}  // namespace orv
