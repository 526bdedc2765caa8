#include "text/web_address.h"

#include <cstddef>

namespace orv {

namespace {

// Length of the "http://" or "https://" prefix of url in any letter case; 0 without one.
std::size_t SchemeLength(std::wstring_view url) {
  for (const std::wstring_view scheme : {std::wstring_view(L"http://"), std::wstring_view(L"https://")}) {
    if (url.size() < scheme.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < scheme.size() && same; ++i) {
      wchar_t c = url[i];
      if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
      same = c == scheme[i];
    }
    if (same) return scheme.size();
  }
  return 0;
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

}  // namespace orv
