#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "http/response_headers.h"
#include "pattern/pattern_captures.h"
#include "text/utf8.h"

namespace {
using namespace orv;

std::string Show(const std::wstring& text) {
  std::string shown;
  for (char c : ToUtf8(text)) {
    if (c == '\r') shown += "\\r";
    else if (c == '\n') shown += "\\n";
    else if (c == '\t') shown += "\\t";
    else if (c == '\0') shown += "\\0";
    else shown += c;
  }
  return "\"" + shown + "\"";
}

std::string Show(const std::vector<std::wstring>& list) {
  std::string shown = "[";
  for (const std::wstring& item : list) shown += Show(item) + " ";
  return shown + "]";
}

const HeaderSearch kAllSearches[] = {HeaderSearch::Charset, HeaderSearch::ContentLength, HeaderSearch::Location,
                                     HeaderSearch::SetCookie};

struct Extracted {
  std::wstring charset;
  uint32_t contentLength = 0;
  std::wstring location;
  std::wstring cookies;
};

Extracted Extract(const std::wstring& headers, bool forceCharset = false, Extracted start = {}) {
  ExtractHeaderFields(headers, forceCharset,
                      HeaderFields{start.charset, start.contentLength, start.location, start.cookies});
  return start;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST(HeaderFields, PicksCharsetLengthLocationAndCookies) {
  struct Case {
    const wchar_t* headers;
    const wchar_t* charset;
    uint32_t contentLength;
    const wchar_t* location;
    const wchar_t* cookies;
  };
  const Case cases[] = {
      {L"HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=UTF-8\r\nContent-Length: 1234\r\n\r\n", L"UTF-8", 1234,
       L"", L""},
      {L"HTTP/1.1 200 OK\r\ncontent-type: text/plain; CHARSET=iso-8859-1\r\ncontent-length: 5\r\n\r\n",
       L"iso-8859-1", 5, L"", L""},
      // The first charset in header order wins, whatever header holds it.
      {L"X-Note: charset=latin_1\r\nContent-Type: text/html; charset=utf-8\r\n\r\n", L"latin_1", 0, L"", L""},
      {L"Content-Type: text/html; charset=\"utf-8\"\r\n\r\n", L"", 0, L"", L""},
      {L"Content-Length:12\r\nContent-Length: x5\r\n\r\n", L"", 0, L"", L""},
      {L"Content-Length: 99999999999999999999\r\n\r\n", L"", 4294967295u, L"", L""},
      {L"Location: http://example.com/302\r\n\r\n", L"", 0, L"", L""},
      {L"Location: 302abc\r\n\r\n", L"", 0, L"302", L""},
      {L"Set-Cookie: a=1\r\nSet-Cookie: b=2\r\n\r\n", L"", 0, L"", L"a=1; b=2;"},
      {L"Set-Cookie: a=1\r\nSet-Cookie: a=1\r\n\r\n", L"", 0, L"", L"a=1;"},
      {L"Set-Cookie: SID=Ab\r\nset-cookie: sid=aB\r\nSET-COOKIE: x=1\r\n\r\n", L"", 0, L"", L"SID=Ab; x=1;"},
      {L"Set-Cookie: sid=x; Path=/; HttpOnly\r\n\r\n", L"", 0, L"", L"sid=x; Path=/; HttpOnly;"},
      {L"Set-Cookie:\t  c=3  \r\n\r\n", L"", 0, L"", L"c=3;"},
      {L"Set-Cookie: d=4;\r\n\r\n", L"", 0, L"", L"d=4;"},
      {L"HTTP/1.1 204 No Content\r\nServer: x\r\n\r\n", L"", 0, L"", L""},
  };
  for (const Case& c : cases) {
    const Extracted got = Extract(c.headers);
    EXPECT_EQ(got.charset, c.charset) << Show(c.headers);
    EXPECT_EQ(got.contentLength, c.contentLength) << Show(c.headers);
    EXPECT_EQ(got.location, c.location) << Show(c.headers);
    EXPECT_EQ(got.cookies, c.cookies) << Show(c.headers);
  }
}

TEST(HeaderFields, KeepsOldValuesWhereNothingIsFoundAndAccumulatesCookies) {
  Extracted before;
  before.charset = L"UTF-8";
  before.contentLength = 77;
  before.location = L"12";
  before.cookies = L"a=1; b=2;";
  Extracted got = Extract(L"HTTP/1.1 200 OK\r\nSet-Cookie: c=3\r\n\r\n", false, before);
  EXPECT_EQ(got.charset, L"UTF-8");
  EXPECT_EQ(got.contentLength, 77u);
  EXPECT_EQ(got.location, L"12");
  EXPECT_EQ(got.cookies, L"a=1; b=2;c=3;");

  got = Extract(L"Content-Type: text/html; charset=iso-8859-1\r\n\r\n", true, before);
  EXPECT_EQ(got.charset, L"UTF-8");  // forced: the header is ignored
  got = Extract(L"Content-Type: text/html; charset=iso-8859-1\r\n\r\n", false, before);
  EXPECT_EQ(got.charset, L"iso-8859-1");
  got = Extract(L"", false, before);
  EXPECT_EQ(got.cookies, L"a=1; b=2;");
}

TEST(AppendCookies, JoinsTrimsAndEndsWithOneSemicolon) {
  struct Case {
    const wchar_t* before;
    std::vector<std::wstring> captures;
    const wchar_t* after;
  };
  const Case cases[] = {
      {L"", {L"a=1", L"b=2"}, L"a=1; b=2;"},
      {L"", {}, L""},
      {L"  keep  ", {}, L"  keep  "},
      {L"x=0;", {L"y=1"}, L"x=0;y=1;"},
      {L" ", {L"  a=1 "}, L"a=1;"},
      {L"", {L"a=1;"}, L"a=1;"},
      {L"", {L"   "}, L""},
      {L"", {L"a=1;", L"b=2;"}, L"a=1;; b=2;"},
      {L"", {L"\ta=1\t"}, L"\ta=1\t;"},  // only spaces are trimmed
  };
  for (const Case& c : cases) {
    std::wstring cookies = c.before;
    AppendCookies(cookies, c.captures);
    EXPECT_EQ(cookies, c.after) << Show(c.before) << " + " << Show(c.captures);
  }
}

// The search by stretches must give exactly what one FindAllCaptures over the whole block gives.
TEST(SearchHeaders, AgreesWithOneSearchOverTheWholeText) {
  const std::wstring tricky[] = {
      L"charset=abccharset=x",
      L"charset=;charset=a",
      L"CHARSET=Utf-8; charset=utf-8",
      L"Content-Length: 12Content-Length: 5",
      L"content-length: 7\r\nContent-Length: 7\r\n",
      L"Location: 3Location: 4",
      L"Set-Cookie: a; Set-Cookie: b\r\n",
      L"Set-Cookie: \r",
      L"Set-Cookie:  \r",
      L"Set-Cookie:\r",
      L"Set-Cookie:\r\n",
      L"Set-Cookie:\n\nX: y\r\n",
      L"Set-Cookie:\nSet-Cookie: z\r\n",
      L"set-cookie:x\rY\r\n",
      L"Set-Cookie: abc",
      L"Set-Cookie: \t \t",
      L"Set-Cookie:",
      L"Set-Cookie: a\0b\r\nSet-Cookie: c\r\n",
      std::wstring(L"Set-Cookie: a\r\n\0Set-Cookie: c\r\n", 31),
      L"Set-Cookie: v=1\n\rSet-Cookie: w=2\n",
      L"Set-Set-Cookie: q\r\n",
  };
  for (const std::wstring& text : tricky) {
    for (HeaderSearch search : kAllSearches) {
      std::vector<std::wstring> expected, got;
      const bool expectedOk = FindAllCaptures(HeaderSearchPattern(search), text, expected);
      ASSERT_TRUE(expectedOk) << "the pattern search is not available";
      EXPECT_TRUE(SearchHeaders(text, search, static_cast<size_t>(-1), got));
      EXPECT_EQ(got, expected) << Show(text) << " with " << ToUtf8(HeaderSearchPattern(search)) << ": "
                               << Show(got) << " vs " << Show(expected);
    }
  }

  // Random texts built from the pieces that matter to the four patterns.
  const wchar_t* pieces[] = {L"Set-Cookie:", L"set-cookie:", L"charset=", L"CharSet=", L"Content-Length: ",
                             L"Location: ",  L" ",           L"\t",       L"\r",       L"\n",
                             L"\r\n",        L"a",           L"B",        L"1",        L"-",
                             L"_",           L"=",           L";",        L":",        L"\u00e9"};
  std::mt19937 random(20261207);
  for (int round = 0; round < 3000; ++round) {
    std::wstring text;
    const int count = 1 + static_cast<int>(random() % 24);
    for (int i = 0; i < count; ++i) text += pieces[random() % (sizeof(pieces) / sizeof(pieces[0]))];
    for (HeaderSearch search : kAllSearches) {
      std::vector<std::wstring> expected, got;
      ASSERT_TRUE(FindAllCaptures(HeaderSearchPattern(search), text, expected));
      EXPECT_TRUE(SearchHeaders(text, search, static_cast<size_t>(-1), got));
      ASSERT_EQ(got, expected) << Show(text) << " with " << ToUtf8(HeaderSearchPattern(search));
    }
  }
}

TEST(SearchHeaders, EmptyTextIsNotSearchedAndMaxResultsStopsEarly) {
  std::vector<std::wstring> found{L"stale"};
  EXPECT_FALSE(SearchHeaders(L"", HeaderSearch::SetCookie, 5, found));
  EXPECT_TRUE(found.empty());
  ASSERT_TRUE(SearchHeaders(L"Set-Cookie: a\r\nSet-Cookie: b\r\nSet-Cookie: c\r\n", HeaderSearch::SetCookie, 2, found));
  EXPECT_EQ(found, (std::vector<std::wstring>{L"a", L"b"}));
}

TEST(CutOffPage, OpeningTagWithoutClosingTag) {
  const std::wstring pad(4090, L'x');
  struct Case {
    std::wstring text;
    bool cutOff;
  };
  const Case cases[] = {
      {L"<html><body>half", true},
      {L"<HTML><BODY>half", true},
      {L"<html></html>", false},
      {L"<Html>text</HTML>", false},
      {L"plain text", false},
      {L"", false},
      {L"</html>", false},
      {L"<html >no closing", false},
      {std::wstring(L"abc\0<html>", 10), false},  // the search ends at the first NUL
      {pad + L"<html>", true},                   // spans the first piece boundary
      {pad + pad + L"<html>" + pad + L"</ht", true},
      {L"<html>" + pad + pad + L"</html>", false},
      {L"<html>" + pad + L"</html>", false},
      {L"<html>" + std::wstring(4089, L'y') + L"</html>" + pad, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsCutOffPage(c.text), c.cutOff) << Show(c.text.substr(0, 40)) << " length " << c.text.size();
  }
}

// Texts that would make a search over the whole text slow stay linear.
TEST(SearchHeaders, HostileSizesFinishQuickly) {
  std::wstring manyCookies = L"HTTP/1.1 200 OK\r\n";
  for (int i = 0; i < 5000; ++i) manyCookies += L"Set-Cookie: c" + std::to_wstring(i) + L"=v\r\n";
  manyCookies += L"\r\n";
  auto start = std::chrono::steady_clock::now();
  Extracted got = Extract(manyCookies);
  EXPECT_LT(SecondsSince(start), 20.0);
  EXPECT_EQ(got.cookies.compare(0, 16, L"c0=v; c1=v; c2=v"), 0);
  // "cN=v" joined by "; ", plus the final ";".
  EXPECT_EQ(got.cookies.size(), 5000u * 5 + 10 * 1 + 90 * 2 + 900 * 3 + 4000 * 4 - 1);

  std::wstring oneLine = L"X: ";
  for (int i = 0; i < 20000; ++i) oneLine += L"charset=a Content-Length: 1 Location: 2 Set-Cookie:";
  oneLine += L"\r\n\r\n";
  start = std::chrono::steady_clock::now();
  got = Extract(oneLine);
  EXPECT_LT(SecondsSince(start), 20.0);
  EXPECT_EQ(got.charset, L"a");
  EXPECT_EQ(got.contentLength, 1u);
  EXPECT_EQ(got.location, L"2");
  // One value: from after the first "Set-Cookie:" to the line end, plus ";".
  EXPECT_EQ(got.cookies.size(), oneLine.size() - 3 - 51 - 4 + 1);

  std::wstring tags;
  for (int i = 0; i < 1024 * 1024 / 6; ++i) tags += L"<html>";
  start = std::chrono::steady_clock::now();
  EXPECT_TRUE(IsCutOffPage(tags));
  EXPECT_FALSE(IsCutOffPage(tags + L"</html>"));
  EXPECT_LT(SecondsSince(start), 20.0);
}
