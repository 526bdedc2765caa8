#pragma once
#include <string>
#include <string_view>

namespace orv {

// text as one URL component (RFC 3986): its UTF-8 bytes, every byte that is not an unreserved
// character (A-Z a-z 0-9 - . _ ~) written as %HH in upper-case hexadecimal. Never fails; a lone
// surrogate is encoded as U+FFFD. "4.1 beta&x=1#y" gives "4.1%20beta%26x%3D1%23y".
std::wstring PercentEncode(std::wstring_view text);

}  // namespace orv
