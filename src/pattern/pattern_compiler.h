#pragma once
#include <cstddef>
#include <cstdint>

#include "pattern/pattern_program.h"

namespace orv {

// Outcome of compiling a pattern; None means the program may be run.
enum class PatternError : int32_t {
  None = 0,
  OutOfMemory = 1,      // the program or the pattern copy cannot be allocated, or the pattern
                        // nests deeper or compiles larger than the compiler allows
  MissingBrace = 2,     // a capture group { has no closing }
  MissingParen = 3,     // a group ( has no closing )
  MissingBracket = 4,   // a set [ has no closing ], or a range has no upper bound
  BadAbbreviation = 5,  // the expansion of a \ abbreviation fails to compile
  EmptySet = 6,         // [] or [^]
  BadBackReference = 7, // \N names a capture group not yet opened
  ReversedRange = 8,    // a range's upper bound is below its lower bound
  EmptyRepeat = 9,      // *, +, *? or +? on an element that can match the empty string
  NullPattern = 10,     // no pattern text was given
};

// Deepest nesting of groups, alternatives, look-aheads and abbreviations the compiler accepts.
inline constexpr size_t kMaxPatternNesting = 256;
// Largest program, in instructions, the compiler builds.
inline constexpr size_t kMaxProgramInstructions = size_t{1} << 18;

// How the compiler obtains the code of an element once it learns what surrounds it (a following
// bar or quantifier). Both give the same program; Recompile parses the element again, which
// costs time exponential in the nesting depth and serves to cross-check Relocate.
enum class CompileStrategy { Relocate, Recompile };

// Compiles the zero-terminated pattern, lower-cased with FoldChar first, into program (replaced).
// Returns PatternError::None, or the first error with program left empty; a null pattern gives
// NullPattern, nesting beyond kMaxPatternNesting or a program beyond kMaxProgramInstructions
// gives OutOfMemory.
[[nodiscard]] PatternError CompilePattern(const wchar_t* pattern, PatternProgram& program,
                                          CompileStrategy strategy = CompileStrategy::Relocate);

}  // namespace orv
