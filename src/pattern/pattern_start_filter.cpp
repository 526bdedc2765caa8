#include "pattern/pattern_start_filter.h"

namespace orv {

namespace {

using K = InstructionKind;

}  // namespace

StartFilter::StartFilter(const PatternProgram& program) {
  const std::vector<Instruction>& code = program.instructions;
  const int32_t size = static_cast<int32_t>(code.size());
  if (size < 3 || code[0].kind != K::Call || code[1].kind != K::Advance) return;
  std::vector<bool> visited(code.size(), false);
  std::vector<int32_t> pending = {code[0].operand};
  std::vector<std::pair<int32_t, int32_t>> ranges;
  while (!pending.empty()) {
    const int32_t i = pending.back();
    pending.pop_back();
    if (i < 0 || i >= size) return;
    if (visited[static_cast<size_t>(i)]) continue;
    visited[static_cast<size_t>(i)] = true;
    const Instruction& in = code[static_cast<size_t>(i)];
    switch (in.kind) {
      case K::Nop:
      case K::GroupBegin:
      case K::GroupEnd:
      case K::PushPos:
      case K::PopPos:
      case K::PushSlot:
      case K::PopSlot:
      case K::SavePos:
      case K::SaveStackTop:
      case K::RestorePos:
      case K::FailIfNoProgress:
      case K::PushGroup:
      case K::PopGroup:
        pending.push_back(i + 1);
        break;
      case K::Jump:
        pending.push_back(in.operand);
        break;
      case K::Call:  // the callee, and the resume point a failure comes back to
        pending.push_back(in.operand);
        pending.push_back(i + 1);
        break;
      case K::Return:
      case K::Fail:
        break;
      case K::Char:
        ranges.emplace_back(in.operand, in.operand);
        break;
      case K::CharSet:
        if (in.operand <= i || in.operand > size || (in.operand - i - 1) % 2 != 0) return;
        for (int32_t j = i + 1; j < in.operand; j += 2) {
          ranges.emplace_back(code[static_cast<size_t>(j)].operand,
                              code[static_cast<size_t>(j) + 1].operand);
        }
        break;
      // A look-ahead whose element succeeds without reading cuts the stack, so capture groups
      // set inside it keep their bounds even though the attempt fails: such an attempt is not
      // without effect. Also AnyChar, NotCharSet, BackReference, Match and anything unknown.
      default:
        return;
    }
    if (ranges.size() > kMaxRanges) return;
  }
  all_ = false;
  ranges_ = std::move(ranges);
}

}  // namespace orv
