#include "pattern/pattern_fold.h"

#include <cwctype>

namespace orv {

wchar_t FoldWideChar(wchar_t c) {
  return static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
}

std::wstring FoldCase(const wchar_t* text, size_t length) {
  std::wstring folded(length, L'\0');
  for (size_t i = 0; i < length; ++i) folded[i] = FoldChar(text[i]);
  return folded;
}

}  // namespace orv
