#pragma once
#include <string>
#include <string_view>

namespace orv {

// UTF-16 text (as wchar_t code units; on Linux each wchar_t is taken as one UTF-16 unit or, above
// 0xFFFF, as a code point) converted to UTF-8. A lone surrogate becomes U+FFFD. Never fails.
std::string ToUtf8(std::wstring_view text);

// UTF-8 bytes converted to wide text (UTF-16 on Windows, code points elsewhere). A malformed
// sequence becomes U+FFFD, one per offending byte. Never fails.
std::wstring FromUtf8(std::string_view bytes);

}  // namespace orv
