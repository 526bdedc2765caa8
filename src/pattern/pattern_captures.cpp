#include "pattern/pattern_captures.h"

#include <cwchar>
#include <new>
#include <string_view>
#include <unordered_set>

#include "pattern/pattern_context.h"
#include "pattern/pattern_matcher.h"

namespace orv {

uint64_t CaptureStepBudget(size_t length) {
  return kCaptureBaseSteps + kCaptureStepsPerCharacter * static_cast<uint64_t>(length);
}

namespace {

// Sets the context's step limit for the duration of one collection, then restores it.
class StepLimitScope {
 public:
  explicit StepLimitScope(MatchContext& context) : context_(context), saved_(context.StepLimit()) {}
  ~StepLimitScope() { context_.SetStepLimit(saved_); }
  StepLimitScope(const StepLimitScope&) = delete;
  StepLimitScope& operator=(const StepLimitScope&) = delete;

  // The limit for the next search: what is left of budget, within the context's own limit.
  void Limit(uint64_t remaining) {
    context_.SetStepLimit(saved_ != 0 && saved_ < remaining ? saved_ : remaining);
  }

 private:
  MatchContext& context_;
  const uint64_t saved_;
};

}  // namespace

void CollectCaptures(const PatternMatcher& matcher, const wchar_t* text, size_t length,
                     MatchContext& context, std::vector<std::wstring>& results,
                     uint64_t stepBudget) {
  const std::wstring folded = FoldCase(text, length);
  StepLimitScope scope(context);
  uint64_t remaining = stepBudget;
  // Captures seen so far, as views of the lower-cased text: equal keys are equal texts without
  // regard to case.
  std::unordered_set<std::wstring_view> seen;
  size_t start = 0;
  for (;;) {
    if (stepBudget != 0) scope.Limit(remaining);
    size_t end = start;
    const bool matched = matcher.MatchFolded(text, folded.c_str(), length, start, context, end);
    if (stepBudget != 0) {
      remaining -= context.StepsTaken() < remaining ? context.StepsTaken() : remaining;
    }
    if (!matched) return;
    if (context.GroupCount() > 0) {
      const MatchGroup group = context.Group(0);
      if (group.begin != nullptr && group.end != nullptr && group.end >= group.begin) {
        const size_t from = static_cast<size_t>(group.begin - text);
        const size_t to = static_cast<size_t>(group.end - text) <= length
                              ? static_cast<size_t>(group.end - text)
                              : length;
        if (from <= to && seen.insert(std::wstring_view(folded).substr(from, to - from)).second) {
          results.emplace_back(text + from, text + to);
        }
      }
    }
    if (end >= length || end <= start || (stepBudget != 0 && remaining == 0)) return;
    start = end;
  }
}

bool FindAllCapturesWith(const std::wstring& pattern, const std::wstring& text,
                         std::vector<std::wstring>& results, MatchContext& context,
                         uint64_t stepBudget) {
  results.clear();
  if (pattern.empty() || text.empty()) return false;
  try {
    PatternMatcher matcher;
    if (matcher.Compile(pattern.c_str()) != PatternError::None) return false;
    // The working copy ends at the text's first zero character.
    const std::wstring buffer(text.c_str(), std::wcslen(text.c_str()));
    CollectCaptures(matcher, buffer.c_str(), buffer.size(), context, results, stepBudget);
  } catch (const std::bad_alloc&) {
    results.clear();
    return false;
  }
  return true;
}

bool FindAllCaptures(const std::wstring& pattern, const std::wstring& text,
                     std::vector<std::wstring>& results) {
  try {
    MatchContext context;
    return FindAllCapturesWith(pattern, text, results, context, CaptureStepBudget(text.size()));
  } catch (const std::bad_alloc&) {
    results.clear();
    return false;
  }
}

}  // namespace orv
