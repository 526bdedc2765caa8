#pragma once
#include <string>

namespace orv {

// The installer address with the cache-busting value appended: "?rn=<value>" when url holds no
// "?", "&rn=<value>" otherwise. value is decimal, 0 to 32767 as drawn by the run.
std::wstring AppendCacheBuster(const std::wstring& url, unsigned value);

}  // namespace orv
