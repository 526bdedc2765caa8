#pragma once
// Web addresses: which ones the stub accepts and opens, and the encoding of a value put into one.
#include <string>
#include <string_view>

namespace orv {

// False unless url is an absolute http:// or https:// address (scheme in any letter case) with a
// non-empty host and no blank, control character or DEL anywhere: only such an address may be
// handed to the shell to open, so that no file, program or other protocol handler is started.
// The configuration's installer address must pass it too.
[[nodiscard]] bool IsWebUrl(std::wstring_view url);

// False for anything but an address whose scheme is plain http (any case), e.g. "http://h/i.exe";
// true for one, whose bytes anyone on the way can change.
[[nodiscard]] bool IsPlainHttpUrl(std::wstring_view url);

// text as one URL component (RFC 3986): its UTF-8 bytes, every byte that is not an unreserved
// character (A-Z a-z 0-9 - . _ ~) written as %HH in upper-case hexadecimal. Never fails; a lone
// surrogate is encoded as U+FFFD. "4.1 beta&x=1#y" gives "4.1%20beta%26x%3D1%23y".
std::wstring PercentEncode(std::wstring_view text);

}  // namespace orv
