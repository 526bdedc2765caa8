#pragma once
#include <cstddef>

#include "pattern/pattern_error.h"
#include "pattern/pattern_program.h"

namespace orv {

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
