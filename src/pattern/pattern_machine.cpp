#include "pattern/pattern_machine.h"

#include "pattern/pattern_context.h"

#include <cstdint>
#include <limits>
#include <new>
#include <stdexcept>

namespace orv {

namespace {

using K = InstructionKind;

// One run's registers over the context's arrays.
class Execution {
 public:
  Execution(const PatternProgram& program, const wchar_t* text, int32_t length,
            std::vector<int32_t>& bounds, std::vector<int32_t>& slots,
            std::vector<int32_t>& stack, size_t stackLimit, uint64_t stepLimit,
            const StartFilter* filter)
      : filter_(filter != nullptr && !filter->AcceptsAll() ? filter : nullptr),
        code_(program.instructions.data()),
        count_(static_cast<int32_t>(program.instructions.size())),
        groupCount_(static_cast<int32_t>(program.groupCount)),
        slotCount_(static_cast<int32_t>(program.slotCount)),
        text_(text),
        length_(length),
        bounds_(bounds.data()),
        slots_(slots.data()),
        stack_(stack),
        stackLimit_(stackLimit),
        stepLimit_(stepLimit == 0 ? std::numeric_limits<uint64_t>::max() : stepLimit) {}

  RunOutcome Execute(int32_t start);

  int32_t position = 0;
  int32_t begin = 0;
  int32_t top = 0;
  uint64_t steps = 0;

 private:
  bool IsPosition(int32_t value) const { return value >= 0 && value <= length_ + 1; }
  bool IsGroup(int32_t group) const { return group >= 0 && group < groupCount_; }
  bool IsSlot(int32_t slot) const { return slot >= 0 && slot < slotCount_; }
  static size_t Bound(int32_t group, bool end) {
    return 2 * static_cast<size_t>(group) + (end ? 1 : 0);
  }

  // Grows the stack to 2 x top + 4 entries when a push reaches its end.
  bool Push(int32_t value) {
    if (static_cast<size_t>(top) + 1 >= stack_.size() && !Grow()) return false;
    stack_[static_cast<size_t>(++top)] = value;
    return true;
  }
  bool Grow() {
    size_t size = 2 * static_cast<size_t>(top) + 4;
    if (size > stackLimit_) size = stackLimit_;
    if (size > PatternMachine::kMaxTextLength) size = PatternMachine::kMaxTextLength;
    if (size <= static_cast<size_t>(top) + 1) return false;
    try {
      stack_.resize(size);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }

  // Moves current to the next start position worth an attempt; false when the text is used up.
  // A position the filter passes over counts as attempted: an attempt there would have failed
  // at its first character, leaving begin and position on it.
  bool NextStart(int32_t& current) {
    if (current >= length_ || ++current >= length_) return false;
    if (filter_ == nullptr || filter_->Accepts(text_[current])) return true;
    while (current < length_ && !filter_->Accepts(text_[current])) ++current;
    begin = current - 1;
    position = current - 1;
    return current < length_;
  }

  const StartFilter* filter_;
  const Instruction* code_;
  int32_t count_;
  int32_t groupCount_;
  int32_t slotCount_;
  const wchar_t* text_;
  int32_t length_;
  int32_t* bounds_;
  int32_t* slots_;
  std::vector<int32_t>& stack_;
  size_t stackLimit_;
  uint64_t stepLimit_;
};

RunOutcome Execution::Execute(int32_t start) {
  int32_t current = start;
  int32_t ip = 0;
  position = start;
  begin = start;
  if (filter_ != nullptr && count_ > 1 && code_[1].kind == K::Advance &&
      !filter_->Accepts(text_[start])) {
    if (!NextStart(current)) return RunOutcome::NoMatch;
    position = current;
  }
  for (;;) {
    if (++steps > stepLimit_) return RunOutcome::StepLimitReached;
    if (ip < 0 || ip >= count_) return RunOutcome::InvalidRun;
    if (ip == 0) begin = position;
    const Instruction instruction = code_[ip];
    const int32_t operand = instruction.operand;
    switch (instruction.kind) {
      case K::Nop:
        ++ip;
        continue;
      case K::GroupBegin:
      case K::GroupEnd:
        if (!IsGroup(operand)) return RunOutcome::InvalidRun;
        bounds_[Bound(operand, instruction.kind == K::GroupEnd)] = position;
        ++ip;
        continue;
      case K::Char:
        if (position <= length_ && static_cast<int32_t>(text_[position]) == operand) {
          ++position;
          ++ip;
          continue;
        }
        break;
      case K::AnyChar:
        if (position < length_) {
          ++position;
          ++ip;
          continue;
        }
        break;
      case K::CharSet:
      case K::NotCharSet: {
        if (operand <= ip || operand > count_ || (operand - ip - 1) % 2 != 0) {
          return RunOutcome::InvalidRun;
        }
        if (position >= length_) break;
        const int32_t c = static_cast<int32_t>(text_[position]);
        bool inside = false;
        for (int32_t i = ip + 1; i < operand && !inside; i += 2) {
          inside = c >= code_[i].operand && c <= code_[i + 1].operand;
        }
        if (inside == (instruction.kind == K::CharSet)) {
          ++position;
          ip = operand;
          continue;
        }
        break;
      }
      case K::Jump:
        ip = operand;
        continue;
      case K::PushPos:
        if (!Push(position)) return RunOutcome::StackExhausted;
        ++ip;
        continue;
      case K::PopPos:
        if (top == 0 || !IsPosition(stack_[static_cast<size_t>(top)])) {
          return RunOutcome::InvalidRun;
        }
        position = stack_[static_cast<size_t>(top--)];
        ++ip;
        continue;
      case K::Call:
        if (!Push(ip + 1)) return RunOutcome::StackExhausted;
        ip = operand;
        continue;
      case K::Return:
        break;
      case K::PushSlot:
        if (!IsSlot(operand)) return RunOutcome::InvalidRun;
        if (!Push(slots_[operand])) return RunOutcome::StackExhausted;
        ++ip;
        continue;
      case K::PopSlot:
        if (!IsSlot(operand) || top == 0) return RunOutcome::InvalidRun;
        slots_[operand] = stack_[static_cast<size_t>(top--)];
        ++ip;
        continue;
      case K::SavePos:
      case K::SaveStackTop:
        if (!IsSlot(operand)) return RunOutcome::InvalidRun;
        slots_[operand] = instruction.kind == K::SavePos ? position : top;
        ++ip;
        continue;
      case K::RestorePos:
        if (!IsSlot(operand) || !IsPosition(slots_[operand])) return RunOutcome::InvalidRun;
        position = slots_[operand];
        ++ip;
        continue;
      case K::RestoreStackTop:
        if (!IsSlot(operand) || slots_[operand] < 0 || slots_[operand] > top) {
          return RunOutcome::InvalidRun;
        }
        top = slots_[operand];
        ++ip;
        continue;
      case K::FailIfNoProgress:
        if (!IsSlot(operand)) return RunOutcome::InvalidRun;
        if (position != slots_[operand]) {
          ++ip;
          continue;
        }
        break;
      case K::BackReference: {
        if (!IsGroup(operand)) return RunOutcome::InvalidRun;
        const int32_t from = bounds_[Bound(operand, false)];
        const int32_t to = bounds_[Bound(operand, true)];
        // A group that took no text (yet) stands for the empty string.
        const int32_t size = from >= 0 && to >= from ? to - from : 0;
        if (size > length_ + 1 - position) break;
        int32_t i = 0;
        while (i < size && text_[from + i] == text_[position + i]) ++i;
        if (i == size) {
          position += size;
          ++ip;
          continue;
        }
        break;
      }
      case K::Fail:
        return RunOutcome::NoMatch;
      case K::Advance:
        if (!NextStart(current)) return RunOutcome::NoMatch;
        top = 0;
        position = current;
        ip = 0;
        continue;
      case K::Match:
        return RunOutcome::Matched;
      case K::PushGroup:
        if (!IsGroup(operand)) return RunOutcome::InvalidRun;
        if (!Push(bounds_[Bound(operand, false)]) || !Push(bounds_[Bound(operand, true)])) {
          return RunOutcome::StackExhausted;
        }
        ++ip;
        continue;
      case K::PopGroup: {
        if (!IsGroup(operand) || top < 2) return RunOutcome::InvalidRun;
        const int32_t end = stack_[static_cast<size_t>(top--)];
        const int32_t from = stack_[static_cast<size_t>(top--)];
        if ((end != -1 && !IsPosition(end)) || (from != -1 && !IsPosition(from))) {
          return RunOutcome::InvalidRun;
        }
        bounds_[Bound(operand, false)] = from;
        bounds_[Bound(operand, true)] = end;
        ++ip;
        continue;
      }
      default:
        return RunOutcome::InvalidRun;
    }
    // Backtrack: resume at the index on top of the stack.
    if (top == 0) return RunOutcome::NoMatch;
    ip = stack_[static_cast<size_t>(top--)];
  }
}

}  // namespace

bool PatternMachine::Run(const PatternProgram& program, const wchar_t* folded, size_t length,
                         size_t start, const wchar_t* original, MatchContext& context,
                         size_t& stop, const StartFilter* filter) {
  context.matchBegin_ = nullptr;
  context.matchEnd_ = nullptr;
  context.groups_.clear();
  context.top_ = 0;
  context.stepsTaken_ = 0;
  stop = start;
  // Every group and slot takes instructions of its own, so larger counts mean a broken program.
  const size_t instructions = program.instructions.size();
  if (length > kMaxTextLength || start > length || program.groupCount > instructions ||
      program.slotCount > instructions || instructions > kMaxTextLength) {
    context.outcome_ = RunOutcome::InvalidRun;
    return false;
  }
  try {
    context.groups_.resize(program.groupCount);
    context.bounds_.assign(2 * static_cast<size_t>(program.groupCount), -1);
    context.slots_.assign(program.slotCount, 0);
    if (context.stack_.size() < MatchContext::kInitialStackEntries) {
      context.stack_.resize(MatchContext::kInitialStackEntries);
    }
  } catch (const std::bad_alloc&) {
    context.groups_.clear();
    context.outcome_ = RunOutcome::StackExhausted;
    return false;
  }
  Execution execution(program, folded, static_cast<int32_t>(length), context.bounds_,
                      context.slots_, context.stack_, context.stackLimit_, context.stepLimit_,
                      filter);
  const RunOutcome outcome = execution.Execute(static_cast<int32_t>(start));
  context.outcome_ = outcome;
  context.top_ = execution.top;
  context.stepsTaken_ = execution.steps;
  context.matchBegin_ = original + execution.begin;
  context.matchEnd_ = original + execution.position;
  for (size_t i = 0; i < context.groups_.size(); ++i) {
    const int32_t from = context.bounds_[2 * i];
    const int32_t to = context.bounds_[2 * i + 1];
    context.groups_[i] = from >= 0 && to >= 0 ? MatchGroup{original + from, original + to}
                                              : MatchGroup{};
  }
  stop = static_cast<size_t>(execution.position);
  return outcome == RunOutcome::Matched;
}

MatchContext::MatchContext(size_t stackLimit, uint64_t stepLimit)
    : stackLimit_(stackLimit), stepLimit_(stepLimit), stack_(kInitialStackEntries, 0) {}

MatchGroup MatchContext::Group(size_t index) const {
  if (index >= groups_.size()) throw std::out_of_range("capture group number out of range");
  return groups_[index];
}

}  // namespace orv
