#pragma once
#include <string>

namespace orv {

// False when either path cannot be opened (a missing file included) or they are different files;
// true when both name one file, however they are spelled (case, short names, links).
bool IsSameFile(const std::wstring& first, const std::wstring& second);

}  // namespace orv
