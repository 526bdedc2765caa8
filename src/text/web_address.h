#pragma once
#include <string_view>

namespace orv {

// False unless url is an absolute http:// or https:// address (scheme in any letter case) with a
// non-empty host and no blank, control character or DEL anywhere: only such an address may be
// handed to the shell to open, so that no file, program or other protocol handler is started.
bool IsWebUrl(std::wstring_view url);

}  // namespace orv
