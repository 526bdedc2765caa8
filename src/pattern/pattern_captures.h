#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pattern/pattern_context.h"
#include "pattern/pattern_matcher.h"

namespace orv {

// Instructions FindAllCaptures allows all searches of one call together: base plus so many per
// character of the text. Linear searches take a small fraction of it; backtracking that grows
// faster than the text (a hostile header or page) is cut off, keeping the captures found so far.
inline constexpr uint64_t kCaptureBaseSteps = uint64_t{1} << 20;
inline constexpr uint64_t kCaptureStepsPerCharacter = 256;

// kCaptureBaseSteps + kCaptureStepsPerCharacter x length.
uint64_t CaptureStepBudget(size_t length);

// Runs the compiled matcher over text[0, length) (text[length] == 0, no other zeros), each search
// starting where the previous match ended, and appends to results the texts that capture group 0
// took, in the text's own case, skipping any equal without regard to case to one seen before in
// this call. Stops at the first search without a match, at a match ending at or past the text's
// end, at one ending where its search started, or when the searches together have executed
// stepBudget instructions (0: no such budget; the context's own step limit applies to each search
// in any case). The text is lower-cased once for all searches.
// Throws std::bad_alloc when memory runs out.
void CollectCaptures(const PatternMatcher& matcher, const wchar_t* text, size_t length,
                     MatchContext& context, std::vector<std::wstring>& results,
                     uint64_t stepBudget = 0);

// FindAllCaptures run with the caller's context (and so its stack and step limits) and with
// CollectCaptures' stepBudget.
[[nodiscard]] bool FindAllCapturesWith(const std::wstring& pattern, const std::wstring& text,
                                       std::vector<std::wstring>& results, MatchContext& context,
                                       uint64_t stepBudget = 0);

// Matches pattern (case-insensitive) repeatedly over text, each match starting where the previous
// one ended, and replaces results with the distinct texts (compared without regard to case, in
// order of first appearance, in the text's own case) that capture group 0 took. Returns false,
// with empty results, when pattern or text is empty or the pattern does not compile; true
// otherwise, also when nothing matched.
[[nodiscard]] bool FindAllCaptures(const std::wstring& pattern, const std::wstring& text,
                                   std::vector<std::wstring>& results);

}  // namespace orv
