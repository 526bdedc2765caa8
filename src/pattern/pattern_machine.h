#pragma once
#include <cstddef>

#include "pattern/pattern_context.h"
#include "pattern/pattern_program.h"
#include "pattern/pattern_start_filter.h"

namespace orv {

// The backtracking machine that executes compiled patterns over lower-cased text.
class PatternMachine {
 public:
  // Longest text, in characters, that a run accepts.
  static constexpr size_t kMaxTextLength = 0x7FFFFFF0;

  // Runs program over folded[0, length] (folded[length] is the terminator 0 and the text holds no
  // other 0), trying start positions from start on. Fills context (outcome, match bounds, groups)
  // with positions in original, which has the same length. Returns true on a match; stop receives
  // the offset where the run stopped (length + 1 after an end anchor matched). A run that meets an
  // inconsistent program, a limit or a memory shortage ends without a match. filter, when given,
  // must be the program's StartFilter; start positions it rejects are passed over.
  [[nodiscard]] static bool Run(const PatternProgram& program, const wchar_t* folded, size_t length,
                                size_t start, const wchar_t* original, MatchContext& context,
                                size_t& stop, const StartFilter* filter = nullptr);
};

}  // namespace orv
