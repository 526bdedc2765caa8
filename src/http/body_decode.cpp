#include "http/body_decode.h"

#include <cwctype>

namespace orv {

BodyEncoding ChooseBodyEncoding(const std::wstring& charset) {
  static const wchar_t kUtf8[] = L"utf-8";
  if (charset.size() < 5) return kAnsiEncoding;
  for (size_t i = 0; i < 5; ++i) {
    if (static_cast<wchar_t>(std::towlower(charset[i])) != kUtf8[i]) return kAnsiEncoding;
  }
  return kUtf8Encoding;
}

}  // namespace orv
