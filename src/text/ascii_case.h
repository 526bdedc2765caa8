#pragma once
// Letter case as protocols and command-line switches define it: only A-Z and a-z are letters.
// Nothing here depends on the C runtime's locale.
#include <cstddef>
#include <string_view>

namespace orv {

// c with A-Z mapped to a-z; every other character, ASCII or not, unchanged.
constexpr wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }
constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// False unless text begins with prefix, character by character once both are passed through
// AsciiLower (so "HTTP://x" begins with "http://", but no character outside ASCII matches a letter).
constexpr bool StartsWithIgnoringAsciiCase(std::wstring_view text, std::wstring_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (AsciiLower(text[i]) != AsciiLower(prefix[i])) return false;
  }
  return true;
}

// False unless a and b have the same length and StartsWithIgnoringAsciiCase(a, b).
constexpr bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() && StartsWithIgnoringAsciiCase(a, b);
}

}  // namespace orv
