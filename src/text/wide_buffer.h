#pragma once
#include <cstddef>

namespace orv {

// Appends the zero-terminated suffix to the zero-terminated text in buffer, which holds capacity
// wide characters in all. Returns false and leaves buffer unchanged when the result and its
// terminator would not fit (or buffer holds no terminator within capacity).
[[nodiscard]] bool AppendWide(wchar_t* buffer, size_t capacity, const wchar_t* suffix);

}  // namespace orv
