#pragma once
#include <cstddef>
#include <string>

namespace orv {

// The C runtime's towlower of c, for a character outside ASCII.
wchar_t FoldWideChar(wchar_t c);

// The C runtime's towlower of c in the default locale (ASCII is mapped without a call).
inline wchar_t FoldChar(wchar_t c) {
  if (c >= L'A' && c <= L'Z') return static_cast<wchar_t>(c + (L'a' - L'A'));
  if (static_cast<unsigned long>(c) < 0x80) return c;
  return FoldWideChar(c);
}

// Copy of text[0, length) with every character passed through FoldChar.
// Throws std::bad_alloc when the copy cannot be allocated.
std::wstring FoldCase(const wchar_t* text, size_t length);

}  // namespace orv
