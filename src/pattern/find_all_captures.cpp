#include "pattern/find_all_captures.h"

#include <new>

#include "pattern/pattern_captures.h"
#include "pattern/pattern_context.h"

namespace orv {

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
