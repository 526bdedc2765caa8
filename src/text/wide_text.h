#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace orv {

// Never fails: value in decimal digits, without sign or leading zeros ("0" for zero). Used where
// std::to_wstring would link libstdc++'s wide printf into the executable.
std::wstring DecimalText(uint32_t value);

// Appends the zero-terminated suffix to the zero-terminated text in buffer, which holds capacity
// wide characters in all. Returns false and leaves buffer unchanged when the result and its
// terminator would not fit (or buffer holds no terminator within capacity).
[[nodiscard]] bool AppendWide(wchar_t* buffer, size_t capacity, const wchar_t* suffix);

}  // namespace orv
