#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pattern/pattern_compiler.h"
#include "pattern/pattern_matcher.h"
#include "text/utf8.h"

namespace {
using namespace orv;

using K = InstructionKind;

std::string Dump(const std::vector<Instruction>& program) {
  std::string text;
  for (const Instruction& instruction : program) {
    if (!text.empty()) text += ", ";
    text += std::to_string(static_cast<int>(instruction.kind)) + ":" +
            std::to_string(instruction.operand);
  }
  return text;
}

// The prologue of an unanchored program and its closing Match around body.
std::vector<Instruction> Unanchored(std::vector<Instruction> body) {
  std::vector<Instruction> program = {{K::Call, 2}, {K::Advance, 0}};
  program.insert(program.end(), body.begin(), body.end());
  program.push_back({K::Match, 0});
  return program;
}

TEST(PatternProgram, InstructionKindsKeepTheirNumbers) {
  const std::pair<K, int> kinds[] = {
      {K::Nop, 0},           {K::GroupBegin, 1},       {K::GroupEnd, 2},
      {K::Char, 3},          {K::AnyChar, 4},          {K::CharSet, 7},
      {K::NotCharSet, 8},    {K::Jump, 13},            {K::PushPos, 14},
      {K::PopPos, 15},       {K::Call, 16},            {K::Return, 17},
      {K::PushSlot, 20},     {K::PopSlot, 21},         {K::SavePos, 22},
      {K::SaveStackTop, 23}, {K::RestorePos, 24},      {K::RestoreStackTop, 25},
      {K::FailIfNoProgress, 26}, {K::BackReference, 27}, {K::Fail, 28},
      {K::Advance, 29},      {K::Match, 30},           {K::PushGroup, 31},
      {K::PopGroup, 32},
  };
  for (const auto& kind : kinds) EXPECT_EQ(static_cast<int>(kind.first), kind.second);
  EXPECT_EQ(sizeof(Instruction), 8u);
}

TEST(PatternProgram, ConstructsCompileToTheirInstructions) {
  struct Case {
    const wchar_t* pattern;
    std::vector<Instruction> program;
    uint32_t groups;
    uint32_t slots;
  };
  const Case cases[] = {
      {L"A", Unanchored({{K::Char, 'a'}}), 0, 0},
      {L"^a", {{K::Call, 2}, {K::Fail, 0}, {K::Char, 'a'}, {K::Match, 0}}, 0, 0},
      {L"b$", Unanchored({{K::Char, 'b'}, {K::Char, 0}}), 0, 0},
      {L"[a-cX]", Unanchored({{K::CharSet, 7}, {K::Nop, 'a'}, {K::Nop, 'c'}, {K::Nop, 'x'},
                              {K::Nop, 'x'}}), 0, 0},
      {L"[^\\]\\t]", Unanchored({{K::NotCharSet, 7}, {K::Nop, ']'}, {K::Nop, ']'},
                                 {K::Nop, '\t'}, {K::Nop, '\t'}}), 0, 0},
      {L"(a)", Unanchored({{K::Call, 4}, {K::Return, 0}, {K::Char, 'a'}}), 0, 0},
      {L"()", Unanchored({{K::Call, 4}, {K::Return, 0}, {K::Nop, 0}}), 0, 0},
      {L"{a}", Unanchored({{K::PushGroup, 0}, {K::GroupBegin, 0}, {K::Call, 7}, {K::PopGroup, 0},
                           {K::Return, 0}, {K::Char, 'a'}, {K::GroupEnd, 0}}), 1, 0},
      {L"{a}\\0", Unanchored({{K::PushGroup, 0}, {K::GroupBegin, 0}, {K::Call, 7},
                              {K::PopGroup, 0}, {K::Return, 0}, {K::Char, 'a'},
                              {K::GroupEnd, 0}, {K::BackReference, 0}}), 1, 0},
      {L"a|b", Unanchored({{K::PushPos, 0}, {K::Call, 6}, {K::PopPos, 0}, {K::Jump, 8},
                           {K::Char, 'a'}, {K::Jump, 9}, {K::Char, 'b'}}), 0, 0},
      {L"ab|cd", Unanchored({{K::Char, 'a'}, {K::PushPos, 0}, {K::Call, 7}, {K::PopPos, 0},
                             {K::Jump, 9}, {K::Char, 'b'}, {K::Jump, 10}, {K::Char, 'c'},
                             {K::Char, 'd'}}), 0, 0},
      {L"a*", Unanchored({{K::PushSlot, 0}, {K::SavePos, 0}, {K::PushPos, 0}, {K::Call, 9},
                          {K::PopPos, 0}, {K::PopSlot, 0}, {K::Jump, 13}, {K::Char, 'a'},
                          {K::FailIfNoProgress, 0}, {K::SavePos, 0}, {K::Jump, 2}}), 0, 1},
      {L"a?", Unanchored({{K::PushSlot, 0}, {K::SavePos, 0}, {K::PushPos, 0}, {K::Call, 9},
                          {K::PopPos, 0}, {K::PopSlot, 0}, {K::Jump, 12}, {K::Char, 'a'},
                          {K::FailIfNoProgress, 0}, {K::SavePos, 0}}), 0, 1},
      {L"a+", Unanchored({{K::Char, 'a'}, {K::PushSlot, 0}, {K::SavePos, 0}, {K::PushPos, 0},
                          {K::Call, 10}, {K::PopPos, 0}, {K::PopSlot, 0}, {K::Jump, 14},
                          {K::Char, 'a'}, {K::FailIfNoProgress, 0}, {K::SavePos, 0},
                          {K::Jump, 3}}), 0, 1},
      {L".+?", Unanchored({{K::AnyChar, 0}, {K::Call, 6}, {K::AnyChar, 0}, {K::Jump, 3}}), 0, 0},
      {L"a??", Unanchored({{K::Call, 4}, {K::Char, 'a'}}), 0, 0},
      {L"!a", Unanchored({{K::SavePos, 0}, {K::SaveStackTop, 1}, {K::Call, 8},
                          {K::RestorePos, 0}, {K::RestoreStackTop, 1}, {K::Jump, 12},
                          {K::Char, 'a'}, {K::RestorePos, 0}, {K::RestoreStackTop, 1},
                          {K::Return, 0}}), 0, 2},
      // The loop's slot comes before the slots of the element it repeats.
      {L"(a*b)*", Unanchored({{K::PushSlot, 0}, {K::SavePos, 0}, {K::PushPos, 0}, {K::Call, 9},
                              {K::PopPos, 0}, {K::PopSlot, 0}, {K::Jump, 26},
                              {K::Call, 11}, {K::Return, 0},
                              {K::PushSlot, 1}, {K::SavePos, 1}, {K::PushPos, 0}, {K::Call, 18},
                              {K::PopPos, 0}, {K::PopSlot, 1}, {K::Jump, 22}, {K::Char, 'a'},
                              {K::FailIfNoProgress, 1}, {K::SavePos, 1}, {K::Jump, 11},
                              {K::Char, 'b'},
                              {K::FailIfNoProgress, 0}, {K::SavePos, 0}, {K::Jump, 2}}), 0, 2},
      // Both copies of a repeated capture group use the same group number.
      {L"{a}+", Unanchored({{K::PushGroup, 0}, {K::GroupBegin, 0}, {K::Call, 7}, {K::PopGroup, 0},
                            {K::Return, 0}, {K::Char, 'a'}, {K::GroupEnd, 0},
                            {K::PushSlot, 0}, {K::SavePos, 0}, {K::PushPos, 0}, {K::Call, 16},
                            {K::PopPos, 0}, {K::PopSlot, 0}, {K::Jump, 26},
                            {K::PushGroup, 0}, {K::GroupBegin, 0}, {K::Call, 21},
                            {K::PopGroup, 0}, {K::Return, 0}, {K::Char, 'a'}, {K::GroupEnd, 0},
                            {K::FailIfNoProgress, 0}, {K::SavePos, 0}, {K::Jump, 9}}), 1, 1},
      // An abbreviation compiles its expansion.
      {L"\\B", Unanchored({{K::Call, 4}, {K::Return, 0}, {K::CharSet, 9}, {K::Nop, ' '},
                           {K::Nop, ' '}, {K::Nop, '\t'}, {K::Nop, '\t'}}), 0, 0},
      // The unmatched ) ends the pattern; the bar with nothing after it drops its left side.
      {L"{a})b", Unanchored({{K::PushGroup, 0}, {K::GroupBegin, 0}, {K::Call, 7},
                             {K::PopGroup, 0}, {K::Return, 0}, {K::Char, 'a'},
                             {K::GroupEnd, 0}}), 1, 0},
      {L"ab|", Unanchored({{K::Char, 'a'}}), 0, 0},
      {L"(ab|)", Unanchored({{K::Call, 4}, {K::Return, 0}, {K::Char, 'a'}}), 0, 0},
      {L"*|", Unanchored({}), 0, 0},
  };
  for (const Case& c : cases) {
    PatternMatcher matcher;
    ASSERT_EQ(matcher.Compile(c.pattern), PatternError::None) << ToUtf8(c.pattern);
    EXPECT_EQ(Dump(matcher.Instructions()), Dump(c.program)) << ToUtf8(c.pattern);
    EXPECT_EQ(matcher.GroupCount(), c.groups) << ToUtf8(c.pattern);
    EXPECT_EQ(matcher.SlotCount(), c.slots) << ToUtf8(c.pattern);
    EXPECT_FALSE(matcher.CaseSensitive());
  }
}

TEST(PatternProgram, CompileErrorsAreReportedAndLeaveNoProgram) {
  struct Case {
    const wchar_t* pattern;
    PatternError error;
  };
  const Case cases[] = {
      {L"{[]}", PatternError::EmptySet},          {L"{[^]}", PatternError::EmptySet},
      {L"{[a-]}", PatternError::MissingBracket},  {L"{[ab", PatternError::MissingBracket},
      {L"[a-", PatternError::MissingBracket},     {L"[\\", PatternError::MissingBracket},
      {L"{[z-a]}", PatternError::ReversedRange},  {L"{a", PatternError::MissingBrace},
      {L"{a)", PatternError::MissingBrace},       {L"(a", PatternError::MissingParen},
      {L"(a}", PatternError::MissingParen},       {L"{(a*)*}", PatternError::EmptyRepeat},
      {L"(a?)+", PatternError::EmptyRepeat},      {L"()*?", PatternError::EmptyRepeat},
      {L"(b*)+?", PatternError::EmptyRepeat},     {L"!a*", PatternError::EmptyRepeat},
      {L"{a}\\0*", PatternError::EmptyRepeat},    {L"(a+?)*", PatternError::EmptyRepeat},
      {L"\\1{a}", PatternError::BadBackReference}, {L"{a}\\1", PatternError::BadBackReference},
      {L"\\0", PatternError::BadBackReference},
      {L"{a}\\99999999999", PatternError::BadBackReference},
  };
  for (const Case& c : cases) {
    PatternMatcher matcher;
    EXPECT_EQ(matcher.Compile(c.pattern), c.error) << ToUtf8(c.pattern);
    EXPECT_EQ(matcher.LastError(), c.error) << ToUtf8(c.pattern);
    EXPECT_TRUE(matcher.Instructions().empty()) << ToUtf8(c.pattern);
    MatchContext context;
    EXPECT_FALSE(matcher.Match(L"aaaa", &context)) << ToUtf8(c.pattern);
  }
  PatternMatcher matcher;
  EXPECT_EQ(matcher.Compile(nullptr), PatternError::NullPattern);
  EXPECT_EQ(matcher.Compile(L"{a}(b?)\\0"), PatternError::None);
  EXPECT_EQ(matcher.LastError(), PatternError::None);
  EXPECT_EQ(matcher.Compile(L"(a"), PatternError::MissingParen);
  EXPECT_TRUE(matcher.Instructions().empty());
  EXPECT_EQ(matcher.GroupCount(), 0u);
}

TEST(PatternProgram, HostilePatternsFailCleanly) {
  const std::wstring deep = std::wstring(100000, L'(') + L"a" + std::wstring(100000, L')');
  const std::wstring alternatives = [] {
    std::wstring text = L"a";
    for (int i = 0; i < 50000; ++i) text += L"|a";
    return text;
  }();
  std::wstring doubling = L"a";
  for (int i = 0; i < 40; ++i) doubling = L"(" + doubling + L")+";
  for (const std::wstring& pattern : {deep, alternatives, doubling}) {
    PatternMatcher matcher;
    EXPECT_EQ(matcher.Compile(pattern.c_str()), PatternError::OutOfMemory) << pattern.size();
  }
  // Well inside the limits the same shapes compile.
  const std::wstring nested = std::wstring(100, L'(') + L"a" + std::wstring(100, L')');
  PatternMatcher matcher;
  EXPECT_EQ(matcher.Compile(nested.c_str()), PatternError::None);
}

TEST(PatternProgram, RelocatingGivesTheProgramOfRecompiling) {
  const wchar_t* patterns[] = {
      L"charset={[A-Za-z0-9\\-_]+}", L"Content-Length: {[0-9]+}", L"Location: {[0-9]+}",
      L"Set-Cookie:\\b*{.+?}\\n",     L"{<html>}",                 L"{</html>}",
      L"((a|b)*c|d+?)?e|f??",         L"{x(y|z)+}|!{q\\0}w*",      L"\\w+\\z*?\\q|\\n?\\a",
      L"(((a|b)|(c|d))|e)+|",         L"!(a*b)c|d*",               L"{(!\\d.)?}|[^x-z]+?\\0",
  };
  for (const wchar_t* pattern : patterns) {
    PatternProgram relocated;
    PatternProgram recompiled;
    const PatternError a = CompilePattern(pattern, relocated, CompileStrategy::Relocate);
    const PatternError b = CompilePattern(pattern, recompiled, CompileStrategy::Recompile);
    EXPECT_EQ(a, PatternError::None) << ToUtf8(pattern);
    EXPECT_EQ(a, b) << ToUtf8(pattern);
    EXPECT_EQ(Dump(relocated.instructions), Dump(recompiled.instructions)) << ToUtf8(pattern);
    EXPECT_EQ(relocated.slotCount, recompiled.slotCount) << ToUtf8(pattern);
    EXPECT_EQ(relocated.groupCount, recompiled.groupCount) << ToUtf8(pattern);
  }
}

}  // namespace
