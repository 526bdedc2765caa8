#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pattern/pattern_compiler.h"
#include "pattern/pattern_context.h"
#include "pattern/pattern_program.h"
#include "pattern/pattern_start_filter.h"
#include "text/ascii_case.h"

namespace orv {

// A pattern compiled for the backtracking machine; matches without regard to letter case.
//
// Syntax: ^ first (match at the start only), $ last (match the text's end), . [set] [^set]
// (group) {capture group} !atom (negative look-ahead) \N (back-reference) \letter (abbreviation:
// a b c d h n q w z) \other (literal), x|y, greedy * + ? and lazy *? +? ??. An unmatched ), ] or }
// ends the pattern, and so does a bar with nothing after it (its left side is dropped too) or a !
// with nothing after it; a trailing \ stands for itself.
class PatternMatcher {
 public:
  // Compiles the zero-terminated pattern (lower-cased first), replacing any earlier program.
  // Returns PatternError::None or the first error, also kept as LastError(); a null pattern gives
  // NullPattern. After an error the matcher holds no program and Match returns false.
  [[nodiscard]] PatternError Compile(const wchar_t* pattern);

  // Searches the zero-terminated text, from its start on (at its start only for a pattern
  // beginning with ^). True on a match; context then holds the match bounds and capture groups as
  // positions in text. end, when given, receives the position just past the match, or where the
  // search stopped. False at once for a null text or context or when no program is compiled.
  [[nodiscard]] bool Match(const wchar_t* text, MatchContext* context,
                           const wchar_t** end = nullptr) const;

  // Match over original[start, length), given folded, the FoldCase copy of original[0, length)
  // (zero-terminated, no other zeros). Positions in context refer to original; end receives the
  // offset where the run stopped. Lets a caller fold a text once for many searches.
  [[nodiscard]] bool MatchFolded(const wchar_t* original, const wchar_t* folded, size_t length,
                                 size_t start, MatchContext& context, size_t& end) const;

  PatternError LastError() const { return lastError_; }
  // The compiled program, executed from index 0; empty when no compile succeeded.
  const std::vector<Instruction>& Instructions() const { return program_.instructions; }
  // Capture groups {...}, numbered from 0 in the order of their opening braces.
  uint32_t GroupCount() const { return program_.groupCount; }
  // Memory slots the program uses: one per greedy quantifier, two per look-ahead.
  uint32_t SlotCount() const { return program_.slotCount; }
  // Always false: every compile makes the matcher ignore letter case.
  bool CaseSensitive() const { return caseSensitive_; }

 private:
  PatternProgram program_;
  StartFilter startFilter_;
  PatternError lastError_ = PatternError::NullPattern;
  bool caseSensitive_ = false;
};

// The C runtime's towlower of c, for a character outside ASCII.
wchar_t FoldWideChar(wchar_t c);

// The C runtime's towlower of c in the default locale (ASCII is mapped without a call).
inline wchar_t FoldChar(wchar_t c) {
  if (static_cast<unsigned long>(c) < 0x80) return AsciiLower(c);
  return FoldWideChar(c);
}

// Copy of text[0, length) with every character passed through FoldChar.
// Throws std::bad_alloc when the copy cannot be allocated.
std::wstring FoldCase(const wchar_t* text, size_t length);

}  // namespace orv
