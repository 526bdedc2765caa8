#include "main/installation_id.h"

#include <cstddef>

namespace orv {

std::optional<std::wstring> InstallationIdFromUuidText(std::wstring_view text) {
  constexpr std::size_t kLength = 36;
  if (text.size() != kLength) return std::nullopt;
  std::wstring id(text);
  for (std::size_t i = 0; i < kLength; ++i) {
    wchar_t& c = id[i];
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (c != L'-') return std::nullopt;
      continue;
    }
    if (c >= L'A' && c <= L'F') c = static_cast<wchar_t>(c - L'A' + L'a');
    const bool hex = (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f');
    if (!hex) return std::nullopt;
  }
  return id;
}

}  // namespace orv
