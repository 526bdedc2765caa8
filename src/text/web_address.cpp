#include "text/web_address.h"

#include <cstddef>

#include "text/ascii_case.h"
#include "text/utf8.h"

namespace orv {

namespace {

// Length of the "http://" or "https://" prefix of url in any letter case; 0 without one.
std::size_t SchemeLength(std::wstring_view url) {
  for (const std::wstring_view scheme : {std::wstring_view(L"http://"), std::wstring_view(L"https://")}) {
    if (StartsWithIgnoringAsciiCase(url, scheme)) return scheme.size();
  }
  return 0;
}

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

}  // namespace

bool IsWebUrl(std::wstring_view url) {
  const std::size_t rest = SchemeLength(url);
  if (rest == 0) return false;
  for (const wchar_t c : url) {
    if (c <= 0x20 || (c >= 0x7F && c <= 0x9F)) return false;
  }
  const std::size_t hostEnd = url.find_first_of(L"/?#", rest);
  const std::size_t hostLength = (hostEnd == std::wstring_view::npos ? url.size() : hostEnd) - rest;
  return hostLength > 0;
}

bool IsPlainHttpUrl(std::wstring_view url) { return StartsWithIgnoringAsciiCase(url, L"http://"); }

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
