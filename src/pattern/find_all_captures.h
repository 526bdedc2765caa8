#pragma once
#include <string>
#include <vector>

namespace orv {

// Matches pattern (case-insensitive) repeatedly over text, each match starting where the previous
// one ended, and replaces results with the distinct texts (compared without regard to case, in
// order of first appearance, in the text's own case) that capture group 0 took. Returns false,
// with empty results, when pattern or text is empty or the pattern does not compile; true
// otherwise, also when nothing matched.
[[nodiscard]] bool FindAllCaptures(const std::wstring& pattern, const std::wstring& text,
                                   std::vector<std::wstring>& results);

}  // namespace orv
