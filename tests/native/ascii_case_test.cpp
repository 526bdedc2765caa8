// Letter case of protocol words and switches: only A-Z fold, whatever the C runtime would do.
#include <gtest/gtest.h>

#include <string>

#include "text/ascii_case.h"
#include "text/utf8.h"
#include "text/web_address.h"

namespace {
using namespace orv;

TEST(AsciiCase, OnlyAsciiLettersFold) {
  struct Case {
    std::wstring text;
    std::wstring prefix;
    bool starts;
    bool equal;
  };
  const Case cases[] = {
      {L"HTTP://h", L"http://", true, false},
      {L"hTtPs://h", L"https://", true, false},
      {L"GET", L"get", true, true},
      {L"PoSt", L"POST", true, true},
      {L"-NS", L"-ns", true, true},
      {L"-n", L"-ns", false, false},
      {L"", L"", true, true},
      {L"x", L"", true, false},
      {L"utf-8x", L"UTF-8", true, false},
      // Characters whose Unicode case mapping lands on an ASCII letter stay themselves.
      {L"PO\u017FT", L"POST", false, false},   // LATIN SMALL LETTER LONG S (upper case: S)
      {L"\u212Aey", L"key", false, false},     // KELVIN SIGN (lower case: k)
      {L"\u0130d", L"id", false, false},       // LATIN CAPITAL LETTER I WITH DOT ABOVE (lower case: i)
      {L"\u00C9T\u00C9", L"\u00E9t\u00E9", false, false},  // letters outside ASCII are not folded
      {L"[\\]", L"{|}", false, false},         // the six characters between Z and a are not letters
      {L"@", L"`", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StartsWithIgnoringAsciiCase(c.text, c.prefix), c.starts) << ToUtf8(c.text) << " / " << ToUtf8(c.prefix);
    EXPECT_EQ(EqualsIgnoringAsciiCase(c.text, c.prefix), c.equal) << ToUtf8(c.text) << " / " << ToUtf8(c.prefix);
  }
  for (int c = 0; c < 0x80; ++c) {
    const bool upper = c >= 'A' && c <= 'Z';
    EXPECT_EQ(AsciiLower(static_cast<char>(c)), upper ? c + 32 : c) << c;
    EXPECT_EQ(AsciiLower(static_cast<wchar_t>(c)), upper ? c + 32 : c) << c;
  }
  EXPECT_EQ(AsciiLower(static_cast<char>(0xC9)), static_cast<char>(0xC9));
}

TEST(WebUrl, PlainHttpIsTheSchemeInAnyCase) {
  struct Case {
    const wchar_t* url;
    bool plain;
  };
  const Case cases[] = {
      {L"http://h/i.exe", true},  {L"HTTP://h", true},   {L"Http://", true},
      {L"https://h/i.exe", false}, {L"http:/h", false},  {L" http://h", false},
      {L"httpx://h", false},       {L"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsPlainHttpUrl(c.url), c.plain) << ToUtf8(c.url);
  }
}

}  // namespace
