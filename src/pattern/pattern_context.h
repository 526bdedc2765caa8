#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pattern/pattern_program.h"

namespace orv {

// Where a capture group lies in the matched text; both null when the group took no text.
struct MatchGroup {
  const wchar_t* begin = nullptr;
  const wchar_t* end = nullptr;
};

// Why the last run stopped.
enum class RunOutcome {
  Matched,
  NoMatch,
  StackExhausted,    // the backtracking stack needed more than its limit or memory allows
  StepLimitReached,  // the run executed more instructions than the step limit
  InvalidRun,        // an index, group, slot or position outside its range, or a text too long
};

// The state of one match run: match bounds, capture groups, memory slots and the backtracking
// stack. Reusable across runs; groups and slots are sized afresh by every run.
class MatchContext {
 public:
  static constexpr size_t kInitialStackEntries = 256;
  static constexpr size_t kDefaultStackLimit = size_t{1} << 24;

  // stackLimit: most entries the backtracking stack may grow to (a run needing more ends without
  // a match; it always has room for kInitialStackEntries); stepLimit: most instructions one run
  // may execute (a run needing more ends without a match), 0 for no limit.
  explicit MatchContext(size_t stackLimit = kDefaultStackLimit, uint64_t stepLimit = 0);

  // Where the last run's match attempt began and where the run stopped (one past the text's
  // terminator after an end anchor matched); null before any run.
  const wchar_t* MatchBegin() const { return matchBegin_; }
  const wchar_t* MatchEnd() const { return matchEnd_; }

  // Number of capture groups of the pattern last run.
  size_t GroupCount() const { return groups_.size(); }
  // Capture group index of the last run. Throws std::out_of_range when index >= GroupCount().
  MatchGroup Group(size_t index) const;

  RunOutcome LastOutcome() const { return outcome_; }
  // Instructions the last run executed.
  uint64_t StepsTaken() const { return stepsTaken_; }
  // Most instructions one run may execute from now on, 0 for no limit.
  uint64_t StepLimit() const { return stepLimit_; }
  void SetStepLimit(uint64_t stepLimit) { stepLimit_ = stepLimit; }
  // Entries the backtracking stack has room for now (it grows during runs, never shrinks).
  size_t StackCapacity() const { return stack_.size(); }

 private:
  friend class PatternMachine;

  size_t stackLimit_;
  uint64_t stepLimit_;
  const wchar_t* matchBegin_ = nullptr;
  const wchar_t* matchEnd_ = nullptr;
  std::vector<MatchGroup> groups_;
  std::vector<int32_t> bounds_;  // begin and end offset of each group, -1 when unset
  std::vector<int32_t> slots_;
  std::vector<int32_t> stack_;  // entry 0 is never used
  int32_t top_ = 0;
  uint64_t stepsTaken_ = 0;
  RunOutcome outcome_ = RunOutcome::NoMatch;
};

}  // namespace orv
