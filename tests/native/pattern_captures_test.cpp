#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "pattern/pattern_captures.h"
#include "pattern/pattern_matcher.h"
#include "text/utf8.h"

namespace {
using namespace orv;

using Texts = std::vector<std::wstring>;

std::string Show(const Texts& texts) {
  std::string shown;
  for (const std::wstring& text : texts) shown += "[" + ToUtf8(text) + "]";
  return shown;
}

const wchar_t kHeaders[] =
    L"HTTP/1.1 302 Found\r\n"
    L"Date: Mon, 07 Dec 2026 08:10:42 GMT\r\n"
    L"Content-Type: text/html; CHARSET=UTF-8\r\n"
    L"content-length: 1234\r\n"
    L"Location: 8080\r\n"
    L"Set-Cookie: sid=AbC123; Path=/; HttpOnly\r\n"
    L"set-cookie: lang=en\r\n"
    L"SET-COOKIE: SID=abc123; path=/; httponly\r\n"
    L"Set-Cookie:\ttheme=Dark\r\n"
    L"Content-Length: 1234\r\n"
    L"CONTENT-LENGTH: 99\r\n"
    L"Cache-Control: no-cache\r\n"
    L"\r\n";

const wchar_t kPage[] =
    L"<!DOCTYPE html>\r\n<HTML lang=\"en\"><head><meta charset=utf-8></head>\r\n"
    L"<body><p>Location: 12 is not a header</p><html></body></Html>\r\n";

TEST(FindAllCaptures, ProductionPatternsOnHeadersAndPages) {
  struct Case {
    const wchar_t* pattern;
    const wchar_t* text;
    Texts expected;
  };
  const Case cases[] = {
      {L"charset={[A-Za-z0-9\\-_]+}", kHeaders, {L"UTF-8"}},
      {L"charset={[A-Za-z0-9\\-_]+}", L"text/html; CHARSET=UTF-8", {L"UTF-8"}},
      {L"charset={[A-Za-z0-9\\-_]+}", L"text/html; charset=\"utf-8\"", {}},
      {L"Content-Length: {[0-9]+}", kHeaders, {L"1234", L"99"}},
      {L"Location: {[0-9]+}", kHeaders, {L"8080"}},
      {L"Set-Cookie:\\b*{.+?}\\n", kHeaders,
       {L"sid=AbC123; Path=/; HttpOnly", L"lang=en", L"theme=Dark"}},
      {L"Set-Cookie:\\b*{.+?}\\n", L"Set-Cookie: a=1\r\nSet-Cookie: b=2\r\n", {L"a=1", L"b=2"}},
      {L"Set-Cookie:\\b*{.+?}\\n", L"Set-Cookie: a=1\nSet-Cookie: b=2\n", {L"a=1", L"b=2"}},
      {L"Set-Cookie:\\b*{.+?}\\n", L"Set-Cookie: a=1\rSet-Cookie: b=2", {L"a=1"}},
      {L"{<html>}", kPage, {L"<html>"}},
      {L"{</html>}", kPage, {L"</Html>"}},
      {L"{<html>}", L"x<html>y<HTML>z<Html>", {L"<html>"}},
  };
  for (const Case& c : cases) {
    Texts results = {L"stale"};
    EXPECT_TRUE(FindAllCaptures(c.pattern, c.text, results)) << ToUtf8(c.pattern);
    EXPECT_EQ(Show(results), Show(c.expected)) << ToUtf8(c.pattern) << " over "
                                               << ToUtf8(c.text);
  }
}

TEST(FindAllCaptures, ReportsFalseWithNoResultsForUnusableInput) {
  struct Case {
    std::wstring pattern;
    std::wstring text;
  };
  const Case cases[] = {
      {L"", L"abc"}, {L"{a}", L""}, {L"", L""}, {L"{a", L"abc"}, {L"{[z-a]}", L"abc"},
  };
  for (const Case& c : cases) {
    Texts results = {L"stale"};
    EXPECT_FALSE(FindAllCaptures(c.pattern, c.text, results)) << ToUtf8(c.pattern);
    EXPECT_TRUE(results.empty()) << ToUtf8(c.pattern);
  }
}

TEST(FindAllCaptures, EndsOnEveryKindOfMatch) {
  struct Case {
    std::wstring pattern;
    std::wstring text;
    Texts expected;
  };
  const Case cases[] = {
      {L"{x}", L"abc", {}},
      {L"^{x}", L"yx", {}},
      {L"{x}", L"yx", {L"x"}},
      {L"{a})b", L"xa", {L"a"}},
      // The working copy ends at the first zero character.
      {L"{[a-z]}", std::wstring(L"a\0b", 3), {L"a"}},
      {L"{b}$", L"ab", {L"b"}},
      // The first group counts; a match without it adds nothing.
      {L"{a}|{b}", L"ab", {L"a"}},
      {L"x{a}?", L"xxa", {L"a"}},
      // Patterns the callers never pass: no group, or matching the empty string.
      {L"a", L"aaa", {}},
      {L"{a*}", L"bbb", {L""}},
      {L"{a*}", L"aab", {L"aa", L""}},
      {L"{b??}", L"bbb", {L""}},
      {L"{!x}", L"yyy", {L""}},
  };
  for (const Case& c : cases) {
    Texts results;
    EXPECT_TRUE(FindAllCaptures(c.pattern, c.text, results)) << ToUtf8(c.pattern);
    EXPECT_EQ(Show(results), Show(c.expected)) << ToUtf8(c.pattern) << " over "
                                               << ToUtf8(c.text);
  }
}

// The captures as a fresh Match from each previous end gives them, folding the rest of the text
// again on every call.
Texts CapturesMatchByMatch(const wchar_t* pattern, const std::wstring& text) {
  PatternMatcher matcher;
  Texts results;
  if (matcher.Compile(pattern) != PatternError::None) return results;
  MatchContext context;
  const wchar_t* start = text.c_str();
  const wchar_t* const limit = text.c_str() + text.size();
  const wchar_t* end = nullptr;
  while (matcher.Match(start, &context, &end)) {
    const MatchGroup group = context.Group(0);
    if (group.begin != nullptr) {
      const std::wstring capture(group.begin, group.end);
      bool seen = false;
      for (const std::wstring& result : results) {
        seen = seen || (result.size() == capture.size() &&
                        std::equal(result.begin(), result.end(), capture.begin(),
                                   [](wchar_t a, wchar_t b) {
                                     return std::towlower(a) == std::towlower(b);
                                   }));
      }
      if (!seen) results.push_back(capture);
    }
    if (end >= limit || end <= start) break;
    start = end;
  }
  return results;
}

TEST(FindAllCaptures, FoldingOnceGivesTheResultsOfMatchingOneByOne) {
  std::wstring text;
  for (int i = 0; i < 200; ++i) {
    text += L"Set-Cookie: k" + std::to_wstring(i % 37) + L"=V" + std::to_wstring(i % 11) +
            (i % 3 == 0 ? L"\r\n" : i % 3 == 1 ? L"\n" : L"\r");
    text += i % 5 == 0 ? L"<HTML>" : L"<html>";
    text += L"Content-Length: " + std::to_wstring(i * 7919 % 1000) + L"\r\n";
  }
  const wchar_t* patterns[] = {
      L"charset={[A-Za-z0-9\\-_]+}", L"Content-Length: {[0-9]+}", L"Set-Cookie:\\b*{.+?}\\n",
      L"{<html>}",                   L"{k\\d}=v{\\d}",             L"{[a-z]+}\\n",
      L"^{s.}",                      L"{\\z}",
  };
  for (const wchar_t* pattern : patterns) {
    Texts results;
    ASSERT_TRUE(FindAllCaptures(pattern, text, results)) << ToUtf8(pattern);
    EXPECT_EQ(Show(results), Show(CapturesMatchByMatch(pattern, text))) << ToUtf8(pattern);
  }
  Texts results;
  ASSERT_TRUE(FindAllCaptures(L"Content-Length: {[0-9]+}", text, results));
  EXPECT_GT(results.size(), 100u);
}

TEST(FindAllCaptures, ManyMatchesOverALargeTextFinish) {
  std::wstring text;
  for (int i = 0; i < 20000; ++i) text += i % 2 ? L"<html>..." : L"<HTML>,,,";
  Texts results;
  ASSERT_TRUE(FindAllCaptures(L"{<html>}", text, results));
  EXPECT_EQ(Show(results), "[<HTML>]");
  // Distinct captures are kept without comparing each against all before it.
  std::wstring numbers;
  for (int i = 0; i < 20000; ++i) numbers += L"n" + std::to_wstring(i) + L";";
  ASSERT_TRUE(FindAllCaptures(L"n{[0-9]+}", numbers + numbers, results));
  ASSERT_EQ(results.size(), 20000u);
  EXPECT_EQ(results.back(), L"19999");
}

}  // namespace

namespace {

TEST(FindAllCaptures, BacktrackingBeyondTheBudgetKeepsWhatWasFound) {
  // One cookie, then a cookie header without a line end after 60000 blanks: each blank given back
  // by \b* sends .+? to the end of the text again, quadratic in the number of blanks.
  const std::wstring text =
      L"Set-Cookie: a=1\r\nSet-Cookie:" + std::wstring(60000, L' ') + L"b=2";
  Texts results;
  ASSERT_TRUE(FindAllCaptures(L"Set-Cookie:\\b*{.+?}\\n", text, results));
  EXPECT_EQ(Show(results), "[a=1]");

  PatternMatcher matcher;
  ASSERT_EQ(matcher.Compile(L"Set-Cookie:\\b*{.+?}\\n"), PatternError::None);
  MatchContext context(MatchContext::kDefaultStackLimit, 5000000);
  results.clear();
  CollectCaptures(matcher, text.c_str(), text.size(), context, results, 1000000);
  EXPECT_EQ(Show(results), "[a=1]");
  EXPECT_EQ(context.LastOutcome(), RunOutcome::StepLimitReached);
  EXPECT_LE(context.StepsTaken(), 1000000u);
  EXPECT_EQ(context.StepLimit(), 5000000u);

  // A linear search over a large text stays far inside its budget.
  std::wstring headers;
  size_t cookies = 0;
  for (; headers.size() < 200000; ++cookies) {
    headers += L"Set-Cookie: k" + std::to_wstring(cookies) + L"=v; Path=/\r\nX-Other: 1\r\n";
  }
  ASSERT_TRUE(FindAllCaptures(L"Set-Cookie:\\b*{.+?}\\n", headers, results));
  EXPECT_EQ(results.size(), cookies);
}

}  // namespace
