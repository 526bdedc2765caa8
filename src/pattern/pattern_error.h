#pragma once
#include <cstdint>

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

}  // namespace orv
