#include "pattern/pattern_compiler.h"

#include <cwchar>
#include <initializer_list>
#include <new>
#include <string>

#include "pattern/pattern_matcher.h"

namespace orv {

namespace {

using K = InstructionKind;

struct Abbreviation {
  wchar_t letter;
  const wchar_t* expansion;
};

// Looked up in this order. Only the first element of an expansion is compiled, so \q takes the
// double-quoted form alone.
const Abbreviation kAbbreviations[] = {
    {L'a', L"([a-zA-Z0-9])"}, {L'b', L"([ \t])"},         {L'c', L"([a-zA-Z])"},
    {L'd', L"([0-9])"},       {L'h', L"([0-9a-fA-F])"},   {L'n', L"(\r|(\r?\n))"},
    {L'q', L"(\"[^\"]*\")|('[^']*')"}, {L'w', L"([a-zA-Z]+)"}, {L'z', L"([0-9]+)"},
};

bool IsTargetKind(K kind) {
  return kind == K::Jump || kind == K::Call || kind == K::CharSet || kind == K::NotCharSet;
}

bool IsSlotKind(K kind) {
  const int32_t value = static_cast<int32_t>(kind);
  return value >= static_cast<int32_t>(K::PushSlot) &&
         value <= static_cast<int32_t>(K::FailIfNoProgress);
}

class Compiler {
 public:
  Compiler(PatternProgram& program, CompileStrategy strategy)
      : program_(program), code_(program.instructions), strategy_(strategy) {}

  PatternError Run(const std::wstring& pattern) {
    source_ = pattern.c_str();
    length_ = pattern.size();
    inPattern_ = true;
    if (!Emit(K::Call)) return error_;
    if (Peek() == L'^') {
      ++pos_;
      if (!Emit(K::Fail)) return error_;
    } else if (!Emit(K::Advance)) {
      return error_;
    }
    bool canBeEmpty = true;
    if (!Sequence(canBeEmpty)) return error_;
    code_[0].operand = 2;
    if (!Emit(K::Match)) return error_;
    return PatternError::None;
  }

 private:
  struct Mark {
    size_t size;
    uint32_t groups;
    uint32_t slots;
  };

  class DepthGuard {
   public:
    explicit DepthGuard(size_t& depth) : depth_(depth) { ++depth_; }
    ~DepthGuard() { --depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

   private:
    size_t& depth_;
  };

  wchar_t Peek(size_t ahead = 0) const {
    return pos_ + ahead < length_ ? source_[pos_ + ahead] : L'\0';
  }
  bool AtEnd() const { return pos_ >= length_; }
  bool Fail(PatternError error) {
    error_ = error;
    return false;
  }
  Mark Here() const { return Mark{code_.size(), program_.groupCount, program_.slotCount}; }
  void Undo(const Mark& mark) {
    code_.resize(mark.size);
    program_.groupCount = mark.groups;
    program_.slotCount = mark.slots;
  }
  int32_t Index() const { return static_cast<int32_t>(code_.size()); }

  // Makes room for count more instructions; capacity grows by half of itself at a time.
  bool Reserve(size_t count) {
    const size_t needed = code_.size() + count;
    if (needed > kMaxProgramInstructions) return Fail(PatternError::OutOfMemory);
    if (needed <= code_.capacity()) return true;
    size_t capacity = code_.capacity() + code_.capacity() / 2;
    if (capacity < needed) capacity = needed;
    try {
      code_.reserve(capacity);
    } catch (const std::bad_alloc&) {
      return Fail(PatternError::OutOfMemory);
    }
    return true;
  }

  bool Emit(K kind, int32_t operand = 0) {
    if (!Reserve(1)) return false;
    code_.push_back(Instruction{kind, operand});
    return true;
  }

  // Inserts items before index at; targets inside the moved code follow it.
  bool Insert(size_t at, std::initializer_list<Instruction> items) {
    if (!Reserve(items.size())) return false;
    code_.insert(code_.begin() + static_cast<std::ptrdiff_t>(at), items);
    const int32_t shift = static_cast<int32_t>(items.size());
    for (size_t i = at + items.size(); i < code_.size(); ++i) {
      if (IsTargetKind(code_[i].kind)) code_[i].operand += shift;
    }
    return true;
  }

  void ShiftSlots(size_t from, int32_t by) {
    for (size_t i = from; i < code_.size(); ++i) {
      if (IsSlotKind(code_[i].kind)) code_[i].operand += by;
    }
  }

  int32_t NewSlot() { return static_cast<int32_t>(program_.slotCount++); }

  // Elements until the text ends or an element yields nothing.
  bool Sequence(bool& canBeEmpty) {
    canBeEmpty = true;
    for (;;) {
      bool yielded = false;
      bool unitEmpty = false;
      if (!AlternationUnit(yielded, unitEmpty)) return false;
      if (!yielded) return true;
      canBeEmpty = canBeEmpty && unitEmpty;
    }
  }

  // One quantified element, or element|unit:
  //   PushPos, Call L, PopPos, Jump R, L: element, Jump E, R: unit, E:
  bool AlternationUnit(bool& yielded, bool& canBeEmpty) {
    DepthGuard guard(depth_);
    if (depth_ > kMaxPatternNesting) return Fail(PatternError::OutOfMemory);
    const Mark mark = Here();
    const size_t elementPos = pos_;
    bool leftEmpty = false;
    if (strategy_ == CompileStrategy::Recompile) {
      const int32_t at = Index();
      if (!Emit(K::PushPos) || !Emit(K::Call, at + 4) || !Emit(K::PopPos) || !Emit(K::Jump)) {
        return false;
      }
      if (!QuantifiedElement(yielded, leftEmpty)) return false;
      if (!yielded) {
        Undo(mark);
        return true;
      }
      if (Peek() != L'|') {
        Undo(mark);
        pos_ = elementPos;
        return QuantifiedElement(yielded, canBeEmpty);
      }
    } else {
      if (!QuantifiedElement(yielded, leftEmpty)) return false;
      if (!yielded || Peek() != L'|') {
        canBeEmpty = leftEmpty;
        return true;
      }
      const int32_t at = static_cast<int32_t>(mark.size);
      if (!Insert(mark.size, {{K::PushPos, 0}, {K::Call, at + 4}, {K::PopPos, 0}, {K::Jump, 0}})) {
        return false;
      }
    }
    const size_t endJump = code_.size();
    if (!Emit(K::Jump)) return false;
    ++pos_;  // the bar
    const int32_t rightStart = Index();
    bool rightEmpty = false;
    if (!AlternationUnit(yielded, rightEmpty)) return false;
    if (!yielded) {
      Undo(mark);
      return true;
    }
    code_[mark.size + 3].operand = rightStart;
    code_[endJump].operand = Index();
    canBeEmpty = leftEmpty || rightEmpty;
    return true;
  }

  // An atom with an optional quantifier: *, +, ?, *?, +?, ??.
  bool QuantifiedElement(bool& yielded, bool& canBeEmpty) {
    const size_t atomPos = pos_;
    const Mark mark = Here();
    bool atomEmpty = false;
    if (!Atom(yielded, atomEmpty)) return false;
    if (!yielded) return true;
    const wchar_t quantifier = Peek();
    if (quantifier != L'*' && quantifier != L'+' && quantifier != L'?') {
      canBeEmpty = atomEmpty;
      return true;
    }
    const bool lazy = Peek(1) == L'?';
    const size_t afterPos = pos_ + (lazy ? 2 : 1);
    if (quantifier != L'?' && atomEmpty) return Fail(PatternError::EmptyRepeat);

    bool ok = false;
    if (quantifier == L'+') {
      // The element once as it stands, then a loop over a second copy with the same groups.
      program_.groupCount = mark.groups;
      const Mark second = Here();
      ok = lazy ? LazyLoop(atomPos, second, false) : Greedy(atomPos, second, false, true);
      canBeEmpty = lazy;
    } else if (quantifier == L'*') {
      ok = lazy ? LazyLoop(atomPos, mark, true) : Greedy(atomPos, mark, true, true);
      canBeEmpty = true;
    } else {
      ok = lazy ? LazyOptional(atomPos, mark, true) : Greedy(atomPos, mark, true, false);
      canBeEmpty = true;
    }
    pos_ = afterPos;
    return ok;
  }

  // Compiles the atom at atomPos again (after an undo or for a second copy).
  bool AtomAgain(size_t atomPos) {
    pos_ = atomPos;
    bool yielded = false;
    bool canBeEmpty = false;
    return Atom(yielded, canBeEmpty);
  }

  // The atom's code starts at mark.size when compiled is true; otherwise it is compiled here.
  //   B: PushSlot m, SavePos m, PushPos, Call X, PopPos, PopSlot m, Jump E,
  //   X: atom, FailIfNoProgress m, SavePos m, [Jump B,] E:
  bool Greedy(size_t atomPos, const Mark& mark, bool compiled, bool loop) {
    int32_t slot = 0;
    const int32_t begin = static_cast<int32_t>(mark.size);
    if (compiled && strategy_ == CompileStrategy::Relocate) {
      slot = static_cast<int32_t>(mark.slots);
      ShiftSlots(mark.size, 1);
      ++program_.slotCount;
      if (!Insert(mark.size, {{K::PushSlot, slot},
                              {K::SavePos, slot},
                              {K::PushPos, 0},
                              {K::Call, begin + 7},
                              {K::PopPos, 0},
                              {K::PopSlot, slot},
                              {K::Jump, 0}})) {
        return false;
      }
    } else {
      if (compiled) Undo(mark);
      slot = NewSlot();
      if (!Emit(K::PushSlot, slot) || !Emit(K::SavePos, slot) || !Emit(K::PushPos) ||
          !Emit(K::Call, begin + 7) || !Emit(K::PopPos) || !Emit(K::PopSlot, slot) ||
          !Emit(K::Jump) || !AtomAgain(atomPos)) {
        return false;
      }
    }
    if (!Emit(K::FailIfNoProgress, slot) || !Emit(K::SavePos, slot)) return false;
    if (loop && !Emit(K::Jump, begin)) return false;
    code_[mark.size + 6].operand = Index();
    return true;
  }

  //   C: Call E, atom, Jump C, E:
  bool LazyLoop(size_t atomPos, const Mark& mark, bool compiled) {
    const int32_t call = static_cast<int32_t>(mark.size);
    if (!LeadingCall(atomPos, mark, compiled)) return false;
    if (!Emit(K::Jump, call)) return false;
    code_[mark.size].operand = Index();
    return true;
  }

  //   Call E, atom, E:
  bool LazyOptional(size_t atomPos, const Mark& mark, bool compiled) {
    if (!LeadingCall(atomPos, mark, compiled)) return false;
    code_[mark.size].operand = Index();
    return true;
  }

  // Puts a Call (target set by the caller) before the atom's code.
  bool LeadingCall(size_t atomPos, const Mark& mark, bool compiled) {
    if (compiled && strategy_ == CompileStrategy::Relocate) {
      return Insert(mark.size, {{K::Call, 0}});
    }
    if (compiled) Undo(mark);
    return Emit(K::Call) && AtomAgain(atomPos);
  }

  bool Atom(bool& yielded, bool& canBeEmpty) {
    DepthGuard guard(depth_);
    if (depth_ > kMaxPatternNesting) return Fail(PatternError::OutOfMemory);
    yielded = true;
    canBeEmpty = false;
    const wchar_t c = Peek();
    if (AtEnd() || c == L')' || c == L']' || c == L'}') {
      yielded = false;
      return true;
    }
    switch (c) {
      case L'$':
        ++pos_;
        return Emit(K::Char, inPattern_ && AtEnd() ? 0 : static_cast<int32_t>(c));
      case L'.':
        ++pos_;
        return Emit(K::AnyChar);
      case L'[':
        return Set();
      case L'(':
        return Group(canBeEmpty);
      case L'{':
        return CaptureGroup(canBeEmpty);
      case L'!':
        return LookAhead(yielded, canBeEmpty);
      case L'\\':
        return Escape(canBeEmpty);
      default:
        ++pos_;
        return Emit(K::Char, static_cast<int32_t>(c));
    }
  }

  //   CharSet|NotCharSet E, Nop lo, Nop hi, ..., E:
  bool Set() {
    ++pos_;
    const size_t at = code_.size();
    K kind = K::CharSet;
    if (Peek() == L'^') {
      kind = K::NotCharSet;
      ++pos_;
    }
    if (!Emit(kind)) return false;
    if (Peek() == L']') return Fail(PatternError::EmptySet);
    for (;;) {
      if (AtEnd()) return Fail(PatternError::MissingBracket);
      wchar_t low = Peek();
      if (low == L']') {
        ++pos_;
        break;
      }
      if (low == L'\\') {
        ++pos_;
        if (AtEnd()) return Fail(PatternError::MissingBracket);
        low = Peek() == L't' ? L'\t' : Peek();
      }
      ++pos_;
      wchar_t high = low;
      if (Peek() == L'-') {
        const wchar_t bound = Peek(1);
        if (pos_ + 1 >= length_ || bound == L']') return Fail(PatternError::MissingBracket);
        high = bound;
        pos_ += 2;
        if (high < low) return Fail(PatternError::ReversedRange);
      }
      if (!Emit(K::Nop, static_cast<int32_t>(low)) || !Emit(K::Nop, static_cast<int32_t>(high))) {
        return false;
      }
    }
    code_[at].operand = Index();
    return true;
  }

  //   Call B, Return, B: body (or Nop)
  bool Group(bool& canBeEmpty) {
    ++pos_;
    const int32_t at = Index();
    if (!Emit(K::Call, at + 2) || !Emit(K::Return)) return false;
    if (!Body(at + 2, canBeEmpty)) return false;
    if (Peek() != L')') return Fail(PatternError::MissingParen);
    ++pos_;
    return true;
  }

  //   PushGroup n, GroupBegin n, Call B, PopGroup n, Return, B: body (or Nop), GroupEnd n
  bool CaptureGroup(bool& canBeEmpty) {
    ++pos_;
    const int32_t group = static_cast<int32_t>(program_.groupCount++);
    const int32_t at = Index();
    if (!Emit(K::PushGroup, group) || !Emit(K::GroupBegin, group) || !Emit(K::Call, at + 5) ||
        !Emit(K::PopGroup, group) || !Emit(K::Return)) {
      return false;
    }
    if (!Body(at + 5, canBeEmpty)) return false;
    if (Peek() != L'}') return Fail(PatternError::MissingBrace);
    ++pos_;
    return Emit(K::GroupEnd, group);
  }

  bool Body(int32_t start, bool& canBeEmpty) {
    if (!Sequence(canBeEmpty)) return false;
    return Index() != start || Emit(K::Nop);
  }

  //   SavePos s, SaveStackTop t, Call X, RestorePos s, RestoreStackTop t, Jump E,
  //   X: atom, RestorePos s, RestoreStackTop t, Return, E:
  bool LookAhead(bool& yielded, bool& canBeEmpty) {
    ++pos_;
    const Mark mark = Here();
    const int32_t position = NewSlot();
    const int32_t top = NewSlot();
    const int32_t at = Index();
    if (!Emit(K::SavePos, position) || !Emit(K::SaveStackTop, top) || !Emit(K::Call, at + 6) ||
        !Emit(K::RestorePos, position) || !Emit(K::RestoreStackTop, top) || !Emit(K::Jump)) {
      return false;
    }
    bool atomEmpty = false;
    if (!Atom(yielded, atomEmpty)) return false;
    if (!yielded) {
      Undo(mark);
      return true;
    }
    if (!Emit(K::RestorePos, position) || !Emit(K::RestoreStackTop, top) || !Emit(K::Return)) {
      return false;
    }
    code_[static_cast<size_t>(at) + 5].operand = Index();
    canBeEmpty = true;
    return true;
  }

  bool Escape(bool& canBeEmpty) {
    ++pos_;
    if (AtEnd()) return Emit(K::Char, L'\\');  // a trailing backslash stands for itself
    const wchar_t c = Peek();
    if (c >= L'0' && c <= L'9') {
      uint32_t group = 0;
      while (Peek() >= L'0' && Peek() <= L'9') {
        if (group <= 1000000) group = group * 10 + static_cast<uint32_t>(Peek() - L'0');
        ++pos_;
      }
      if (group >= program_.groupCount) return Fail(PatternError::BadBackReference);
      canBeEmpty = true;
      return Emit(K::BackReference, static_cast<int32_t>(group));
    }
    ++pos_;
    for (const Abbreviation& abbreviation : kAbbreviations) {
      if (abbreviation.letter == c) return Expand(abbreviation.expansion, canBeEmpty);
    }
    return Emit(K::Char, static_cast<int32_t>(c));
  }

  // The expansion's first quantified element, in place of the abbreviation.
  bool Expand(const wchar_t* expansion, bool& canBeEmpty) {
    const wchar_t* source = source_;
    const size_t length = length_;
    const size_t pos = pos_;
    const bool inPattern = inPattern_;
    source_ = expansion;
    length_ = std::wcslen(expansion);
    pos_ = 0;
    inPattern_ = false;
    bool yielded = false;
    const bool ok = QuantifiedElement(yielded, canBeEmpty);
    source_ = source;
    length_ = length;
    pos_ = pos;
    inPattern_ = inPattern;
    if (!ok && error_ != PatternError::OutOfMemory) error_ = PatternError::BadAbbreviation;
    return ok;
  }

  PatternProgram& program_;
  std::vector<Instruction>& code_;
  const CompileStrategy strategy_;
  const wchar_t* source_ = nullptr;
  size_t length_ = 0;
  size_t pos_ = 0;
  bool inPattern_ = true;  // false while compiling an abbreviation's expansion
  size_t depth_ = 0;
  PatternError error_ = PatternError::None;
};

}  // namespace

PatternError CompilePattern(const wchar_t* pattern, PatternProgram& program,
                            CompileStrategy strategy) {
  program.instructions.clear();
  program.groupCount = 0;
  program.slotCount = 0;
  if (pattern == nullptr) return PatternError::NullPattern;
  PatternError error = PatternError::None;
  try {
    const std::wstring folded = FoldCase(pattern, std::wcslen(pattern));
    Compiler compiler(program, strategy);
    error = compiler.Run(folded);
  } catch (const std::bad_alloc&) {
    error = PatternError::OutOfMemory;
  }
  if (error != PatternError::None) {
    program.instructions.clear();
    program.groupCount = 0;
    program.slotCount = 0;
  }
  return error;
}

}  // namespace orv
