#pragma once
#include <cstdint>
#include <vector>

namespace orv {

// What one instruction of a compiled pattern does; the values are part of the program's format.
enum class InstructionKind : int32_t {
  Nop = 0,              // nothing; also carries one bound of a CharSet/NotCharSet range
  GroupBegin = 1,       // capture group begin := position
  GroupEnd = 2,         // capture group end := position
  Char = 3,             // one character equal to the operand (0: the terminator)
  AnyChar = 4,          // any character but the terminator
  CharSet = 7,          // one character inside a range; operand: index after the ranges
  NotCharSet = 8,       // one character outside every range; operand: index after the ranges
  Jump = 13,            // continue at the operand
  PushPos = 14,         // push the position
  PopPos = 15,          // position := popped value
  Call = 16,            // push the next index, continue at the operand
  Return = 17,          // backtrack
  PushSlot = 20,        // push slot[operand]
  PopSlot = 21,         // slot[operand] := popped value
  SavePos = 22,         // slot[operand] := position
  SaveStackTop = 23,    // slot[operand] := stack top
  RestorePos = 24,      // position := slot[operand]
  RestoreStackTop = 25, // stack top := slot[operand]
  FailIfNoProgress = 26,// backtrack when position == slot[operand]
  BackReference = 27,   // the text of capture group operand again, ignoring case
  Fail = 28,            // stop without a match
  Advance = 29,         // retry from the next start position, or stop at the text's end
  Match = 30,           // stop with a match
  PushGroup = 31,       // push the bounds of capture group operand
  PopGroup = 32,        // pop the bounds of capture group operand
};

// One step of a compiled pattern: a kind and its operand (index, slot, group or character).
struct Instruction {
  InstructionKind kind = InstructionKind::Nop;
  int32_t operand = 0;
};

inline bool operator==(const Instruction& a, const Instruction& b) {
  return a.kind == b.kind && a.operand == b.operand;
}
inline bool operator!=(const Instruction& a, const Instruction& b) { return !(a == b); }

// A compiled pattern: executed from index 0, with its numbers of capture groups and memory slots.
struct PatternProgram {
  std::vector<Instruction> instructions;
  uint32_t groupCount = 0;
  uint32_t slotCount = 0;
};

}  // namespace orv
