#include <gtest/gtest.h>

#include <cwchar>
#include <stdexcept>
#include <string>

#include "pattern/pattern_compiler.h"
#include "pattern/pattern_machine.h"
#include "pattern/pattern_matcher.h"
#include "pattern/pattern_start_filter.h"
#include "text/utf8.h"

namespace {
using namespace orv;

using K = InstructionKind;

// Outcome of one Match: "-" when nothing matched, else the matched text, and with a capture
// group "<matched>=<group 0>" (group 0 unset: "<matched>=?").
std::string Search(const wchar_t* pattern, const wchar_t* text) {
  PatternMatcher matcher;
  if (matcher.Compile(pattern) != PatternError::None) return "compile error";
  MatchContext context;
  if (!matcher.Match(text, &context)) return "-";
  // After an end anchor the match ends one past the terminator; show the text part only.
  const wchar_t* limit = text + std::wcslen(text);
  std::wstring result(context.MatchBegin(),
                      context.MatchEnd() > limit ? limit : context.MatchEnd());
  if (context.GroupCount() > 0) {
    const MatchGroup group = context.Group(0);
    result += group.begin != nullptr ? L"=" + std::wstring(group.begin, group.end) : L"=?";
  }
  return ToUtf8(result);
}

struct Case {
  const wchar_t* pattern;
  const wchar_t* text;
  const char* expected;
};

void ExpectSearches(const Case* begin, const Case* end) {
  for (const Case* c = begin; c != end; ++c) {
    EXPECT_EQ(Search(c->pattern, c->text), c->expected)
        << ToUtf8(c->pattern) << " over \"" << ToUtf8(c->text) << "\"";
  }
}

TEST(PatternMatch, AlternationBindsTighterThanSequence) {
  const Case cases[] = {
      {L"ab|cd", L"abd", "abd"},  {L"ab|cd", L"acd", "acd"},     {L"ab|cd", L"ab", "-"},
      {L"ab|cd", L"cd", "-"},     {L"(ab)|(cd)", L"ab", "ab"},   {L"(ab)|(cd)", L"xcd", "cd"},
      {L"a|b|c", L"xxc", "c"},    {L"{a|bc}d", L"bcd", "bcd=bc"}, {L"x(a|ab)c", L"xabc", "xabc"},
      // A bar with no element before it is a literal.
      {L"{|a}", L"x|a", "|a=|a"},
  };
  ExpectSearches(std::begin(cases), std::end(cases));
}

TEST(PatternMatch, AnchorsHoldTheMatchToTheTextsEnds) {
  const Case cases[] = {
      {L"^{x}", L"yx", "-"},  {L"{x}", L"yx", "x=x"}, {L"^{y}", L"yx", "y=y"},
      {L"a^", L"ba^", "a^"},  {L"a$b", L"a$b", "a$b"}, {L"{b}$", L"abb", "b=b"},
      {L"{b}$", L"abc", "-"}, {L"^$", L"", ""},        {L"^$", L"a", "-"},
  };
  ExpectSearches(std::begin(cases), std::end(cases));

  PatternMatcher matcher;
  ASSERT_EQ(matcher.Compile(L"{b}$"), PatternError::None);
  MatchContext context;
  const wchar_t* text = L"ab";
  const wchar_t* end = nullptr;
  ASSERT_TRUE(matcher.Match(text, &context, &end));
  EXPECT_EQ(end, text + 3);  // one past the terminator
  EXPECT_EQ(context.MatchBegin(), text + 1);
  EXPECT_EQ(context.MatchEnd(), text + 3);
  EXPECT_EQ(context.Group(0).begin, text + 1);
  EXPECT_EQ(context.Group(0).end, text + 2);
}

TEST(PatternMatch, GreedyTakesMostAndLazyTakesLeast) {
  const Case cases[] = {
      {L"{<.+>}", L"<a><b>", "<a><b>=<a><b>"}, {L"{<.+?>}", L"<a><b>", "<a>=<a>"},
      {L"{a+}", L"baaa", "aaa=aaa"},            {L"{a+?}", L"baaa", "a=a"},
      {L"{a*}b", L"aab", "aab=aa"},             {L"{a*?}b", L"aab", "aab=aa"},
      {L"{a?}", L"a", "a=a"},                   {L"{a??}", L"a", "="},
      {L"{a??}b", L"ab", "ab=a"},               {L"{.*?}$", L"xy", "xy=xy"},
      {L"x{a*}", L"xbaa", "x="},                {L"{(ab)+}", L"ababa", "abab=abab"},
      {L"{[0-9]+?}x", L"12x", "12x=12"},        {L"{a*}a", L"aaa", "aaa=aa"},
  };
  ExpectSearches(std::begin(cases), std::end(cases));
}

TEST(PatternMatch, IgnoresCaseAndKeepsTheTextsCase) {
  const Case cases[] = {
      {L"{ABC}", L"xaBcx", "aBc=aBc"},         {L"{[A-C]+}", L"xCaBz", "CaB=CaB"},
      {L"{[^a-z]+}", L"abXY12", "12=12"},      {L"{[a-z]+}-\\0", L"Abc-aBC", "Abc-aBC=Abc"},
      {L"{ab}\\0", L"abAB", "abAB=ab"},        {L"{ab}\\0", L"abac", "-"},
      {L"{a}{b}\\1\\0", L"abBA", "abBA=a"},    {L"{a*}x\\0", L"aaxa", "axa=a"},
  };
  ExpectSearches(std::begin(cases), std::end(cases));
}

TEST(PatternMatch, NegativeLookAheadConsumesNothing) {
  const Case cases[] = {
      {L"a!b", L"ab", "-"},           {L"a!b", L"ac", "a"},         {L"a!b", L"abac", "a"},
      {L"{!x.}", L"xay", "a=a"},      {L"{(!(ab).)+}", L"abxab", "bx=bx"},
      {L"{!(ab).}+", L"abxab", "bx=x"}, {L"a!b$", L"a", "a"},  {L"a!b$", L"ab", "-"},
      {L"{\\d+}!\\.", L"1.5 27", "5=5"},
  };
  ExpectSearches(std::begin(cases), std::end(cases));
}

TEST(PatternMatch, AbbreviationsMatchTheirClasses) {
  const Case cases[] = {
      {L"{\\a+}", L"--Ab9--", "Ab9=Ab9"},     {L"{\\b+}", L"x \t y", " \t = \t "},
      {L"{\\c+}", L"12aZ3", "aZ=aZ"},         {L"{\\d+}", L"ab123c", "123=123"},
      {L"{\\h+}", L"xyz0fAg", "0fA=0fA"},     {L"{\\w}", L"12Abc3", "Abc=Abc"},
      {L"{\\z}", L"ab0123c", "0123=0123"},    {L"{\\D}", L"a7", "7=7"},
      {L"a\\nb", L"a\rb", "a\rb"},            {L"a\\nb", L"a\r\nb", "a\r\nb"},
      {L"a\\nb", L"a\nb", "a\nb"},            {L"a\\nb", L"ab", "-"},
      {L"a\\nb", L"a\n\rb", "-"},             {L"a\\n", L"a\r\n", "a\r"},
      {L"{\\q}", L"say \"hi there\" now", "\"hi there\"=\"hi there\""},
      {L"{\\q}", L"say 'hi' now", "-"},       {L"{\\q}", L"\"\"", "\"\"=\"\""},
      // Other escapes stand for their character, \t included outside sets.
      {L"{\\.\\*}", L"a.*", ".*=.*"},         {L"\\t", L"\tt", "t"},
      {L"{[\\t]}", L"a\tb", "\t=\t"},         {L"{[\\]\\-]+}", L"a]-]b", "]-]=]-]"},
      {L"{[!-\\]+}", L"a!#\\b", "!#\\=!#\\"}, {L"a\\", L"xa\\", "a\\"},
  };
  ExpectSearches(std::begin(cases), std::end(cases));
}

TEST(PatternMatch, EmptyPatternAndEmptyText) {
  const Case cases[] = {
      {L"", L"abc", ""}, {L"", L"", ""}, {L"a", L"", "-"}, {L"a*", L"", ""}, {L"$", L"", ""},
  };
  ExpectSearches(std::begin(cases), std::end(cases));
}

TEST(PatternMatch, RefusesWhatCannotRun) {
  PatternMatcher matcher;
  MatchContext context;
  EXPECT_FALSE(matcher.Match(L"a", &context));  // nothing compiled
  ASSERT_EQ(matcher.Compile(L"{a}"), PatternError::None);
  EXPECT_FALSE(matcher.Match(nullptr, &context));
  EXPECT_FALSE(matcher.Match(L"a", nullptr));
  EXPECT_THROW(context.Group(0), std::out_of_range);
  ASSERT_TRUE(matcher.Match(L"a", &context));
  EXPECT_NO_THROW(context.Group(0));
  EXPECT_THROW(context.Group(1), std::out_of_range);
  const wchar_t* end = nullptr;
  EXPECT_FALSE(matcher.Match(L"xyz", &context, &end));
  EXPECT_EQ(context.Group(0).begin, nullptr);
  EXPECT_EQ(context.Group(0).end, nullptr);
}

TEST(PatternMatch, LimitsEndTheRunWithoutAMatch) {
  const std::wstring text = std::wstring(5000, L'a') + L"b";
  PatternMatcher matcher;
  ASSERT_EQ(matcher.Compile(L"{a*}b"), PatternError::None);

  MatchContext roomy;
  ASSERT_TRUE(matcher.Match(text.c_str(), &roomy));
  EXPECT_EQ(roomy.LastOutcome(), RunOutcome::Matched);
  EXPECT_GT(roomy.StackCapacity(), 3 * 5000u);

  MatchContext small(1000);
  EXPECT_FALSE(matcher.Match(text.c_str(), &small));
  EXPECT_EQ(small.LastOutcome(), RunOutcome::StackExhausted);
  EXPECT_LE(small.StackCapacity(), 1000u);

  // Exponential backtracking is cut off by a step limit.
  ASSERT_EQ(matcher.Compile(L"(a+)+b"), PatternError::None);
  const std::wstring hostile(40, L'a');
  MatchContext bounded(MatchContext::kDefaultStackLimit, 100000);
  EXPECT_FALSE(matcher.Match(hostile.c_str(), &bounded));
  EXPECT_EQ(bounded.LastOutcome(), RunOutcome::StepLimitReached);
}

TEST(PatternMatch, InconsistentProgramsEndWithoutAMatch) {
  const wchar_t* text = L"abc";
  struct Case {
    const char* name;
    PatternProgram program;
  };
  const Case cases[] = {
      {"jump past the end", {{{K::Call, 2}, {K::Advance, 0}, {K::Jump, 99}}, 0, 0}},
      {"negative jump", {{{K::Call, 2}, {K::Advance, 0}, {K::Jump, -5}}, 0, 0}},
      {"group out of range", {{{K::Call, 2}, {K::Advance, 0}, {K::GroupBegin, 3}}, 1, 0}},
      {"back-reference out of range", {{{K::Call, 2}, {K::Fail, 0}, {K::BackReference, 1}}, 1, 0}},
      {"slot out of range", {{{K::Call, 2}, {K::Advance, 0}, {K::SavePos, 7}}, 0, 1}},
      {"pop of an empty stack", {{{K::PopPos, 0}}, 0, 0}},
      {"pop of a wild position", {{{K::Jump, 9}, {K::Nop, 0}, {K::Nop, 0}, {K::Nop, 0},
                                   {K::Nop, 0}, {K::Nop, 0}, {K::Nop, 0}, {K::Nop, 0},
                                   {K::Nop, 0}, {K::Call, 10}, {K::PopPos, 0}}, 0, 0}},
      {"set running past the end", {{{K::Call, 2}, {K::Advance, 0}, {K::CharSet, 9}}, 0, 0}},
      {"stack top above top", {{{K::SaveStackTop, 0}, {K::Call, 2}, {K::Call, 3},
                                {K::SaveStackTop, 1}, {K::RestoreStackTop, 0},
                                {K::RestoreStackTop, 1}}, 0, 2}},
      {"unknown kind", {{{static_cast<K>(5), 0}}, 0, 0}},
      {"more groups than instructions", {{{K::Match, 0}}, 5, 0}},
      {"empty program", {{}, 0, 0}},
  };
  for (const Case& c : cases) {
    MatchContext context;
    size_t stop = 0;
    EXPECT_FALSE(PatternMachine::Run(c.program, text, 3, 0, text, context, stop)) << c.name;
    EXPECT_EQ(context.LastOutcome(), RunOutcome::InvalidRun) << c.name;
  }
}

}  // namespace

namespace {

TEST(PatternStartFilter, KeepsTheCharactersAnAttemptCanBeginWith) {
  struct Case {
    const wchar_t* pattern;
    const wchar_t* accepted;
    const wchar_t* rejected;
  };
  const Case cases[] = {
      {L"{<html>}", L"<", L"h>/ \r\0"},
      {L"a|b*c", L"abc", L"d*|"},
      {L"{[0-9]+}x", L"0589", L"x/:a"},
      {L"Set-Cookie:\\b*{.+?}\\n", L"s", L"S-e \t"},
      {L"(x|y)?b", L"xyb", L"ca"},
  };
  for (const Case& c : cases) {
    PatternProgram program;
    ASSERT_EQ(CompilePattern(c.pattern, program), PatternError::None);
    const StartFilter filter(program);
    for (const wchar_t* p = c.accepted; *p != 0; ++p) {
      EXPECT_TRUE(filter.Accepts(*p)) << ToUtf8(c.pattern) << " " << ToUtf8(std::wstring(1, *p));
    }
    for (const wchar_t* p = c.rejected; *p != 0; ++p) {
      EXPECT_FALSE(filter.Accepts(*p)) << ToUtf8(c.pattern) << " " << ToUtf8(std::wstring(1, *p));
    }
  }
  // Whatever can begin with any character, or match nothing at all, passes everything.
  for (const wchar_t* pattern : {L"x?", L"!a", L"(!a)?b", L".b", L"[^a]", L"{a?}\\0", L"", L"^a"}) {
    PatternProgram program;
    ASSERT_EQ(CompilePattern(pattern, program), PatternError::None);
    EXPECT_TRUE(StartFilter(program).AcceptsAll()) << ToUtf8(pattern);
  }
}

TEST(PatternStartFilter, SkippingGivesTheOutcomeOfAttempting) {
  // The look-ahead's element succeeds without reading, so every attempt leaves group 0 set.
  const wchar_t* patterns[] = {L"{<html>}", L"ab", L"a|b*c", L"{[0-9]+}x", L"!{}a|b", L"c$"};
  const wchar_t* texts[] = {L"", L"x", L"xyz<html", L"zzab", L"aab bbc", L"12 34x", L"acc", L"abc"};
  for (const wchar_t* pattern : patterns) {
    PatternProgram program;
    ASSERT_EQ(CompilePattern(pattern, program), PatternError::None);
    const StartFilter filter(program);
    for (const wchar_t* text : texts) {
      const size_t length = std::wcslen(text);
      MatchContext skipping;
      MatchContext attempting;
      size_t skippingEnd = 0;
      size_t attemptingEnd = 0;
      const bool a =
          PatternMachine::Run(program, text, length, 0, text, skipping, skippingEnd, &filter);
      const bool b = PatternMachine::Run(program, text, length, 0, text, attempting, attemptingEnd);
      const std::string where = ToUtf8(pattern) + " over " + ToUtf8(text);
      EXPECT_EQ(a, b) << where;
      EXPECT_EQ(skippingEnd, attemptingEnd) << where;
      EXPECT_EQ(skipping.MatchBegin(), attempting.MatchBegin()) << where;
      EXPECT_EQ(skipping.MatchEnd(), attempting.MatchEnd()) << where;
      for (size_t i = 0; i < skipping.GroupCount(); ++i) {
        EXPECT_EQ(skipping.Group(i).begin, attempting.Group(i).begin) << where;
        EXPECT_EQ(skipping.Group(i).end, attempting.Group(i).end) << where;
      }
    }
  }
}

}  // namespace
